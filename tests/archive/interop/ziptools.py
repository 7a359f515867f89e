"""Shared helpers of the archive interoperability tests: sample files, the external tools, running
zipdir and the listing Python's zipfile expects of it."""
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

SKIP = 77  # CTest's SKIP_RETURN_CODE for these tests


def need_tool(*names):
    for name in names:
        if shutil.which(name) is None:
            print(f"{name} is not installed")
            raise SystemExit(SKIP)


def make_sample_tree(root):
    """A folder of mixed files: text, incompressible bytes, an empty file, nested folders."""
    rng = random.Random(5)
    os.makedirs(os.path.join(root, "docs", "deep"), exist_ok=True)
    os.makedirs(os.path.join(root, "empty dir"), exist_ok=True)
    with open(os.path.join(root, "readme.txt"), "w") as f:
        f.write("The quick brown fox jumps over the lazy dog.\n" * 400)
    with open(os.path.join(root, "docs", "notes with spaces.txt"), "w") as f:
        f.write("".join(f"line {i}\n" for i in range(3000)))
    with open(os.path.join(root, "docs", "deep", "random.bin"), "wb") as f:
        f.write(bytes(rng.getrandbits(8) for _ in range(70000)))
    with open(os.path.join(root, "empty.dat"), "wb"):
        pass
    return root


def run(args, cwd=None, stdin=None, stdout=None, timeout=300):
    subprocess.run(args, cwd=cwd, stdin=stdin, stdout=stdout, check=True, timeout=timeout)


def put(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def get(path, *missing):
    """path's bytes; missing (when given) if there is no such file."""
    if missing and not os.path.isfile(path):
        return missing[0]
    with open(path, "rb") as f:
        return f.read()


ESCAPE = re.compile(r"<([Uu]\+[0-9A-Fa-f]{4,8}|[0-9A-Fa-f]{2})>")


def escaped(chars):
    """cp1251 text of (character, is a broken byte) pairs; when any character has no place in cp1251
    or the text reads as holding an escape, each such one, and each '<', becomes <U+XXXX> (<XX>)."""
    fits = [not broken and c != "\0" and c.encode("cp1251", "ignore") != b"" for c, broken in chars]
    lt = not all(fits) or ESCAPE.search("".join(c for c, _ in chars))
    return "".join("<%02X>" % ord(c) if broken else "<U+%04X>" % ord(c) if not ok or (c == "<" and lt) else c
                   for (c, broken), ok in zip(chars, fits))


def reading(info):
    """(characters, read as UTF-8, raw bytes): UTF-8 when flagged, or when well-formed UTF-8 with a byte
    above 0x7F that no DOS or Windows host (0, 6, 10, 11, 14) wrote; others from cp866."""
    raw = info.filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")
    chars = [(chr(ord(c) - 0xDC00), True) if 0xDC80 <= ord(c) <= 0xDCFF else (c, False)
             for c in raw.decode("utf-8", "surrogateescape")]
    well_formed = not raw.isascii() and not any(broken for _, broken in chars)
    if info.flag_bits & 0x800 or (well_formed and info.create_system not in (0, 6, 10, 11, 14)):
        return chars, True, raw
    return [(c, False) for c in raw.decode("cp866")], False, raw


def display_names(infos):
    """The names as zipdir prints them; one read from cp866 that shows as a UTF-8 name of other bytes
    gives way: each character outside ASCII, and each '<', written with eight hex digits."""
    readings = [reading(i) for i in infos]
    names = [escaped(chars) for chars, _, _ in readings]
    utf8 = {name: raw for name, (_, is_utf8, raw) in zip(names, readings) if is_utf8}
    for n, (chars, is_utf8, raw) in enumerate(readings):
        if not is_utf8 and utf8.get(names[n], raw) != raw:
            names[n] = "".join(c if ord(c) < 0x80 and c not in "<\0" else "<U+%08X>" % ord(c) for c, _ in chars)
    return names


def expected_listing(path):
    with zipfile.ZipFile(path) as archive:
        infos = archive.infolist()
        return [f"{name}\t{i.file_size}\t{i.compress_size}\t{i.CRC:08x}\t{i.header_offset}"
                for name, i in zip(display_names(infos), infos)]


def zipdir_listing(zipdir, path, timeout=300):
    result = subprocess.run([zipdir, path], capture_output=True, timeout=timeout)
    return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8", "replace")


def compare(zipdir, path):
    """zipdir's listing of path line by line against infolist(); returns the number of entries."""
    expected = expected_listing(path)
    code, out, err = zipdir_listing(zipdir, path)
    if code != 0:
        raise AssertionError(f"zipdir failed on {path} with {code}: {err}")
    actual = out.splitlines()
    for n, (want, got) in enumerate(zip(expected, actual)):
        if want != got:
            raise AssertionError(f"{path} entry {n}:\n  expected {want!r}\n  zipdir   {got!r}")
    if len(expected) != len(actual):
        raise AssertionError(f"{path}: {len(expected)} entries expected, zipdir listed {len(actual)}")
    return len(expected)


def report(prefix, check):
    """Runs check(work) in a new scratch folder that is removed afterwards, prints each problem it
    returns and gives the exit code: 1 when there was any."""
    work = tempfile.mkdtemp(prefix=prefix)
    try:
        problems = check(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for p in problems:
        print(p)
    sys.stdout.flush()
    return 1 if problems else 0
