#!/usr/bin/env python3
"""Archives made at test time by zip, 7z and Python's zipfile, changed through `zipx add`, `delete`
and `delete-at`, then checked: every entry the change did not touch keeps its stored name bytes, its
flags and its contents (Python's zipfile), testzip passes, and so do `unzip -t` and `7z t`.

usage: zipx_update_test.py ZIPX CASE"""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ziptools  # noqa: E402

NAMES = ["plain.txt", "Привет/файл.txt", "café.txt", "日本語/データ.bin"]


def raw_name(info):
    return info.filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")


def model(path):
    """(stored name bytes, flags, contents) of every entry, in directory order."""
    with zipfile.ZipFile(path) as z:
        return [(raw_name(i), i.flag_bits, z.read(i)) for i in z.infolist()]


def checked(path, stub=False):
    """Problems other readers find in the archive."""
    problems = []
    with zipfile.ZipFile(path) as z:
        bad = z.testzip()
        if bad:
            problems.append("testzip: " + bad)
    r = subprocess.run(["unzip", "-t", "-qq", path], capture_output=True)
    if r.returncode not in ((0, 1) if stub else (0,)):
        problems.append("unzip -t: %d %s" % (r.returncode, (r.stdout + r.stderr).decode(errors="replace")))
    r = subprocess.run(["7z", "t", "-bd", path], capture_output=True)
    if r.returncode != 0:
        problems.append("7z t: %d %s" % (r.returncode, r.stdout.decode(errors="replace")[-500:]))
    return problems


def zipx(binary, *args):
    return subprocess.run([binary, *args], capture_output=True)


def write_tree(root, names):
    for n, name in enumerate(names):
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(("entry %d: %s\n" % (n, name)).encode() * (50 + 400 * n))


def make_python(path, work, case):
    if case == "python_streamed":  # an unseekable output gets data descriptors
        with open(path, "wb") as raw:
            class Unseekable:
                def write(self, b):
                    return raw.write(b)

                def flush(self):
                    raw.flush()
            with zipfile.ZipFile(Unseekable(), "w", zipfile.ZIP_DEFLATED) as z:
                for n, name in enumerate(NAMES):
                    z.writestr(name, b"streamed %d\n" % n * 300)
        return
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for n, name in enumerate(NAMES):
            z.writestr(name, b"utf-8 %d\n" % n * 300)
        # A name stored in cp866 without the UTF-8 flag, and two entries of one name.
        z.writestr(zipfile.ZipInfo("Файл-866.txt".encode("cp866").decode("cp437")), b"cp866 name\n")
        z.writestr("twice.txt", b"first of two\n")
        z.writestr("twice.txt", b"second of two\n")
        if case == "python_zip64":
            z.writestr(zipfile.ZipInfo("z64.bin"), b"z" * 1000, compress_type=zipfile.ZIP_STORED)
            with z.open("forced.bin", "w", force_zip64=True) as f:
                f.write(b"forced zip64 sizes\n" * 100)


def make_archive(case, work):
    src = os.path.join(work, "src")
    write_tree(src, NAMES)
    path = os.path.join(work, "a.zip")
    top = sorted(os.listdir(src))
    if case.startswith("zip"):
        ziptools.need_tool("zip")
        options = {"zip_plain": [], "zip_descriptors": ["-fd"], "zip_zip64": ["-fz"], "zip_stub": []}[case]
        subprocess.run(["zip", "-q", "-r", *options, path, *top], cwd=src, check=True)
        if case == "zip_stub":
            with open(path, "rb") as f:
                data = f.read()
            with open(path, "wb") as f:
                f.write(b"#!/bin/sh\necho a stub in front\nexit 0\n" + b"\0" * 3000 + data)
            subprocess.run(["zip", "-q", "-A", path], check=True)  # offsets count from the file start
    elif case.startswith("7z"):
        ziptools.need_tool("7z")
        subprocess.run(["7z", "a", "-tzip", "-bd", "-y", path, *top], cwd=src, check=True, stdout=subprocess.DEVNULL)
    else:
        make_python(path, work, case)
    return path


def run_case(binary, case, work):
    ziptools.need_tool("unzip")
    ziptools.need_tool("7z")
    path = make_archive(case, work)
    stub = case == "zip_stub"
    before = model(path)
    problems = checked(path, stub)

    adds = os.path.join(work, "adds")
    write_tree(adds, ["new.txt", "newdir/inner.txt"])
    r = zipx(binary, "add", path, adds, "new.txt", "newdir")
    if r.returncode != 0:
        return problems + ["add: " + r.stderr.decode(errors="replace")]
    after = model(path)
    if after[:len(before)] != before:
        problems.append("add changed kept entries: %s" % [a[:2] for a in after[:len(before)]])
    added = [(name, data) for name, _, data in after[len(before):]]
    expected = [(b"new.txt", open(os.path.join(adds, "new.txt"), "rb").read()), (b"newdir/", b""),
                (b"newdir/inner.txt", open(os.path.join(adds, "newdir/inner.txt"), "rb").read())]
    if added != expected:
        problems.append("added entries: %s" % [(n, len(d)) for n, d in added])
    problems += checked(path, stub)

    # A disk name the system's code page cannot hold is refused, and the archive stays.
    os.makedirs(os.path.join(adds, "漢字"))
    unchanged = open(path, "rb").read()
    r = zipx(binary, "add", path, adds, "漢字")
    if r.returncode != 1 or b"Native error" not in r.stderr or open(path, "rb").read() != unchanged:
        problems.append("a name outside the code page: exit %d %s" % (r.returncode, r.stderr.decode(errors="replace")))

    deleted = "twice.txt" if any(e[0] == b"twice.txt" for e in after) else "plain.txt"
    r = zipx(binary, "delete", path, deleted)
    now = model(path)
    want = [e for e in after if e[0] != deleted.encode()]
    if r.returncode != 0 or now != want or len(want) == len(after):
        problems.append("delete %s: exit %d, names %s" % (deleted, r.returncode, [e[0] for e in now]))
    problems += checked(path, stub)

    r = zipx(binary, "delete-at", path, "0", str(len(now) - 1))
    last = model(path)
    if r.returncode != 0 or last != now[1:-1]:
        problems.append("delete-at: exit %d, names %s" % (r.returncode, [e[0] for e in last]))
    problems += checked(path, stub)
    r = zipx(binary, "delete-at", path, str(len(last)))
    if r.returncode != 1 or model(path) != last:
        problems.append("delete-at past the end: exit %d" % r.returncode)
    return problems


def colliding_names(binary, work):
    """Two names that both come out as '??.txt' in the system's code page: the first is extracted,
    the second refused, never written over it. The archive is made by `zipx add`, then changed by
    Python."""
    path = os.path.join(work, "cjk.zip")
    write_tree(os.path.join(work, "src"), ["made.txt"])
    r = zipx(binary, "add", path, os.path.join(work, "src"), "made.txt")
    if r.returncode != 0 or [e[0] for e in model(path)] != [b"made.txt"]:
        return ["zipx add made no new archive: " + r.stderr.decode(errors="replace")]
    with zipfile.ZipFile(path, "a") as z:
        z.writestr("日本.txt", b"first\n")
        z.writestr("中文.txt", b"second\n")
    out = os.path.join(work, "out")
    os.makedirs(out)
    r = zipx(binary, "extract", path, out)
    files = {n: open(os.path.join(out, n), "rb").read() for n in os.listdir(out)}
    made = open(os.path.join(work, "src", "made.txt"), "rb").read()
    if r.returncode != 1 or files != {"made.txt": made, "??.txt": b"first\n"}:
        return ["colliding names: exit %d, files %s" % (r.returncode, files)]
    return []


def main():
    binary, case = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="zaupdate-interop-")
    try:
        problems = colliding_names(binary, work) if case == "colliding_names" else run_case(binary, case, work)
        for p in problems:
            print(p)
        return 1 if problems else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
