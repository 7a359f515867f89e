#!/usr/bin/env python3
"""Archives made at test time by Info-ZIP zip, 7z and Python's zipfile: zipdir's listing must equal
Python's zipfile.infolist() line by line.

usage: interop_test.py ZIPDIR CASE     (CASE: one of CASES below, or "all")
"""
import io
import os
import struct
import sys
import tempfile
import warnings
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ziptools  # noqa: E402
from ziptools import need_tool, run  # noqa: E402


def zip_tree(work, out, *options):
    need_tool("zip")
    tree = ziptools.make_sample_tree(os.path.join(work, "tree"))
    run(["zip", "-q", "-r", *options, out, "."], cwd=tree)


def stub_bytes():
    stub = bytearray(b"MZ" + bytes(range(256)) * 20)
    stub[1000:1004] = b"PK\x03\x04"  # a stray signature inside the stub
    return bytes(stub)


def case_zip_plain(work, out):
    zip_tree(work, out)


def case_zip_store(work, out):
    zip_tree(work, out, "-0")


def case_zip_max(work, out):
    zip_tree(work, out, "-9")


def case_zip_zip64(work, out):
    zip_tree(work, out, "-fz")


def case_zip_encrypted(work, out):
    zip_tree(work, out, "-e", "-P", "secret")


def case_zip_streamed(work, out):
    """Read from a pipe and written to a pipe: sizes and CRCs go to data descriptors."""
    need_tool("zip")
    tree = ziptools.make_sample_tree(os.path.join(work, "tree"))
    piped = os.path.join(work, "piped.zip")
    with open(os.path.join(tree, "readme.txt"), "rb") as source, open(piped, "wb") as sink:
        import subprocess

        zipper = subprocess.Popen(["zip", "-q", "-", "-"], stdin=source, stdout=subprocess.PIPE)
        sink.write(zipper.stdout.read())
        if zipper.wait(timeout=300) != 0:
            raise AssertionError("zip failed")
    os.replace(piped, out)


def case_zip_streamed_tree(work, out):
    need_tool("zip")
    tree = ziptools.make_sample_tree(os.path.join(work, "tree"))
    import subprocess

    zipper = subprocess.Popen(["zip", "-q", "-r", "-", "."], cwd=tree, stdout=subprocess.PIPE)
    data = zipper.stdout.read()
    if zipper.wait(timeout=300) != 0:
        raise AssertionError("zip failed")
    with open(out, "wb") as f:
        f.write(data)


def prepend_stub(work, out):
    plain = os.path.join(work, "plain.zip")
    zip_tree(work, plain)
    with open(out, "wb") as f:
        f.write(stub_bytes())
        with open(plain, "rb") as p:
            f.write(p.read())


def case_zip_stub(work, out):
    prepend_stub(work, out)


def case_zip_stub_adjusted(work, out):
    prepend_stub(work, out)
    run(["zip", "-q", "-A", out])


def case_zip_comment(work, out):
    """The longest archive comment, 65,535 bytes, put on an archive zip made."""
    zip_tree(work, out)
    with open(out, "r+b") as f:
        data = f.read()
        end = data.rfind(b"PK\x05\x06")
        assert end == len(data) - 22, "zip wrote an unexpected comment"
        f.seek(end + 20)
        f.write(struct.pack("<H", 65535))
        f.seek(0, os.SEEK_END)
        f.write((b"comment line\r\n" * 5000)[:65535])


def case_7z_deflate(work, out):
    need_tool("7z")
    tree = ziptools.make_sample_tree(os.path.join(work, "tree"))
    run(["7z", "a", "-tzip", "-bd", out, "."], cwd=tree, stdout=open(os.devnull, "w"))


def case_7z_store(work, out):
    need_tool("7z")
    tree = ziptools.make_sample_tree(os.path.join(work, "tree"))
    run(["7z", "a", "-tzip", "-mx0", "-bd", out, "."], cwd=tree, stdout=open(os.devnull, "w"))


def case_python_zip64(work, out):
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(5):
            with z.open(f"forced/{i}.txt", "w", force_zip64=True) as f:
                f.write(b"zip64 entry %d\n" % i * (i + 1) * 100)
        z.writestr("plain.txt", b"not forced")


def case_python_many(work, out):
    with zipfile.ZipFile(out, "w", zipfile.ZIP_STORED) as z:
        for i in range(70000):
            z.writestr(f"d{i // 1000}/f{i}.txt", b"%d" % i)


class Unseekable(io.RawIOBase):
    def __init__(self):
        self.data = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.data += b
        return len(b)

    def seekable(self):
        return False

    def tell(self):
        raise OSError("unseekable")

    def seek(self, *args):
        raise OSError("unseekable")


def case_python_unseekable(work, out):
    sink = Unseekable()
    with zipfile.ZipFile(sink, "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(20):
            z.writestr(f"streamed/{i}.txt", b"streamed %d " % i * 300)
        z.writestr("folder/", b"")
    with open(out, "wb") as f:
        f.write(sink.data)


def case_python_cp866(work, out):
    """Russian names stored in the OEM code page without the UTF-8 flag, as DOS-era tools wrote them."""
    original = zipfile.ZipInfo._encodeFilenameFlags

    def oem_names(self):
        return self.filename.encode("cp866"), self.flag_bits

    zipfile.ZipInfo._encodeFilenameFlags = oem_names
    try:
        with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
            for name in ["Привет.txt", "Папка/Файл ёлки.txt", "Ўзбек╬.txt", "ascii.txt"]:
                z.writestr(name, name.encode("utf-8") * 10)
    finally:
        zipfile.ZipInfo._encodeFilenameFlags = original


def case_zip_utf8_names(work, out):
    """Names as this system's zip stores them: the file system's UTF-8 bytes without the flag."""
    need_tool("zip")
    tree = os.path.join(work, "tree")
    for name in ["Привет.txt", "Папка/файл.txt", "日本.txt", "中文.txt", "<日>.txt", "<U+65E5>.txt"]:
        os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
        with open(os.path.join(tree, name), "w") as f:
            f.write(name)
    run(["zip", "-q", "-r", out, "."], cwd=tree)


def case_python_raw_names(work, out):
    """Unflagged names: UTF-8 from a Unix host, cp866 bytes that are also well-formed UTF-8 from a DOS
    host (kept in cp866) and from a Unix host (taken as UTF-8), and a Latin-1 byte that reads in cp866
    as a UTF-8 name beside it reads (listed apart)."""
    original = zipfile.ZipInfo._encodeFilenameFlags
    zipfile.ZipInfo._encodeFilenameFlags = lambda self: (self.filename.encode("latin-1"), self.flag_bits)
    try:
        with zipfile.ZipFile(out, "w") as z, warnings.catch_warnings():
            warnings.simplefilter("ignore")  # the two "тем.txt" look alike to zipfile
            for name, encoding, host in [("Привет.txt", "utf-8", 3), ("日本.txt", "utf-8", 3),
                                         ("тем.txt", "cp866", 0), ("тем.txt", "cp866", 3),
                                         ("é.txt", "latin-1", 3), ("щ.txt", "utf-8", 3)]:
                info = zipfile.ZipInfo(name.encode(encoding).decode("latin-1"))
                info.create_system = host
                z.writestr(info, name.encode("utf-8"))
    finally:
        zipfile.ZipInfo._encodeFilenameFlags = original


def case_python_utf8(work, out):
    with zipfile.ZipFile(out, "w") as z:
        z.writestr("Словарь/статья.txt", b"text")
        z.writestr("日本.txt", b"not in cp1251")


CASES = {name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    if len(sys.argv) != 3 or (sys.argv[2] not in CASES and sys.argv[2] != "all"):
        print(__doc__)
        print("cases:", " ".join(CASES))
        return 2
    zipdir = os.path.abspath(sys.argv[1])
    names = list(CASES) if sys.argv[2] == "all" else [sys.argv[2]]
    for name in names:
        with tempfile.TemporaryDirectory(prefix="zadir-interop-") as work:
            out = os.path.join(work, name + ".zip")
            CASES[name](work, out)
            count = ziptools.compare(zipdir, out)
            print(f"{name}: {count} entries match")
    return 0


if __name__ == "__main__":
    sys.exit(main())
