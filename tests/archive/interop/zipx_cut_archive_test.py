#!/usr/bin/env python3
"""What a streaming writer (Python's zipfile or `zip -` writing to a pipe) leaves when cut off before
its directory: entries with data descriptors, read through the rebuild. When every entry decodes to
what its descriptor says and the entries fill the file, `zipx delete` and `add` may write: the
result passes unzip -t, 7z t and Python's testzip, and every kept entry holds its data. An entry
whose descriptor is cut off or disagrees with its data refuses every change, its own delete
included: exit 1 with code 35 and the entry's name, the archive as it was (bytes and inode).

usage: zipx_cut_archive_test.py ZIPX WRITER"""
import os
import subprocess
import sys
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ziptools  # noqa: E402
from zipx_update_test import checked, model  # noqa: E402

NAMES = ["one.txt", "two.txt", "three.txt"]


def contents(n):
    return b"streamed entry %d\n" % n * (200 + 300 * n)


def streamed(writer, work):
    """The whole archive as the writer streams it to a pipe."""
    if writer == "python":
        class Pipe:  # no seek and no tell: zipfile writes data descriptors
            def __init__(self):
                self.data = b""

            def write(self, b):
                self.data += b
                return len(b)

            def flush(self):
                pass
        pipe = Pipe()
        with zipfile.ZipFile(pipe, "w", zipfile.ZIP_DEFLATED) as z:
            for n, name in enumerate(NAMES):
                z.writestr(name, contents(n))
        return pipe.data
    ziptools.need_tool("zip")
    src = os.path.join(work, "src")
    os.makedirs(src)
    for n, name in enumerate(NAMES):
        with open(os.path.join(src, name), "wb") as f:
            f.write(contents(n))
    return subprocess.run(["zip", "-q", "-", *NAMES], cwd=src, stdout=subprocess.PIPE, check=True).stdout


def cut_variants(whole):
    """name -> (archive bytes, the entry whose sizes are not known or None)."""
    body = whole[:whole.find(b"PK\x01\x02")]
    first, last = body.find(b"PK\x07\x08"), body.rfind(b"PK\x07\x08")
    damaged = bytearray(body)
    damaged[first + 4] ^= 0x55  # the first descriptor's CRC
    return {"cut before the directory": (body, None),
            "last descriptor cut off": (body[:last + 6], NAMES[-1]),
            "first descriptor's CRC damaged": (bytes(damaged), NAMES[0])}


def zipx(binary, *args):
    return subprocess.run([binary, *args], capture_output=True)


def kept_problems(path, names):
    """Problems of a changed archive: other readers' complaints, kept entries that lost data."""
    problems = checked(path)
    have = {name.decode(): data for name, _, data in model(path)}
    for name in names:
        if have.get(name) != contents(NAMES.index(name)):
            problems.append("%s lost its data" % name)
    return problems


def run_variant(binary, work, data, broken):
    path = os.path.join(work, "cut.zip")
    with open(path, "wb") as f:
        f.write(data)
    adds = os.path.join(work, "adds")
    os.makedirs(adds, exist_ok=True)
    with open(os.path.join(adds, "new.txt"), "wb") as f:
        f.write(b"added to a cut archive\n")
    problems = []
    if broken is None:
        for args in (["delete", path, NAMES[0]], ["add", path, adds, "new.txt"]):
            r = zipx(binary, *args)
            if r.returncode != 0:
                problems.append("%s: exit %d %s" % (args[0], r.returncode, r.stderr.decode(errors="replace")))
        return problems + kept_problems(path, NAMES[1:])

    other = next(name for name in NAMES if name != broken)
    before = os.stat(path).st_ino
    for args in (["delete", path, other], ["add", path, adds, "new.txt"], ["delete", path, broken]):
        r = zipx(binary, *args)
        err = r.stderr.decode(errors="replace")
        with open(path, "rb") as f:
            same = f.read() == data and os.stat(path).st_ino == before
        if r.returncode != 1 or "Native error: 00035" not in err or broken not in err or not same:
            problems.append("%s %s: exit %d, archive unchanged %s: %s" % (args[0], args[-1], r.returncode, same, err))
    return problems


def main():
    binary, writer = sys.argv[1], sys.argv[2]
    for tool in ("unzip", "7z"):
        ziptools.need_tool(tool)

    def check(work):
        problems = []
        for variant, (data, broken) in cut_variants(streamed(writer, work)).items():
            folder = os.path.join(work, variant.replace(" ", "_").replace("'", ""))
            os.makedirs(folder)
            problems += ["%s: %s" % (variant, p) for p in run_variant(binary, folder, data, broken)]
        return problems
    return ziptools.report("zacut-", check)


if __name__ == "__main__":
    sys.exit(main())
