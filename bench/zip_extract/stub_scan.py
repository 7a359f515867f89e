#!/usr/bin/env python3
"""Speed of reading an archive behind a large stub that is full of local header signatures: the
stub is searched for whole entries before it is taken for a self-extractor's program. `zipx list`
of a small archive behind stubs of 50 and 200 MB, each stub once of sized headers and once of
streamed ones (which also search the descriptors). Targets: linear in the stub (the 200 MB stub
takes at most 4.5x the 50 MB one), and at least 100 MB of stub a second.

usage: stub_scan.py [--build BUILD_DIR] [--runs N]"""
import io
import os
import shutil
import struct
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_bench import bench_arguments, median_times, tool_of  # noqa: E402


def make_archive(path, stub_bytes, streamed):
    """A one-entry archive behind a stub of local headers that lead nowhere (names of one byte, no
    data, then a byte of no record), with descriptor signatures between them when streamed."""
    unit = b"PK\x03\x04" + struct.pack("<HHHHHIIIHH", 20, 8 if streamed else 0, 8, 0, 0, 0, 0, 9, 1, 0) + b"nx"
    if streamed:
        unit += b"PK\x07\x08" + struct.pack("<III", 0, 12345, 0)
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        z.writestr("a.txt", b"behind the stub\n")
    with open(path, "wb") as f:
        f.write(unit * (stub_bytes // len(unit)) + out.getvalue())


def main():
    args = bench_arguments(runs=3).parse_args()
    zipx = tool_of(args.build)
    work = tempfile.mkdtemp(prefix="zip-stub-bench-")
    try:
        for streamed in (False, True):
            times = {}
            for mb in (50, 200):
                archive = os.path.join(work, "stub%d.zip" % mb)
                make_archive(archive, mb << 20, streamed)
                times[mb] = median_times({"zipx": [zipx, "list", archive]}, os.path.join(work, "out"),
                                         args.runs)["zipx"]
                print("%s stub of %d MB: %.2f s, %.0f MB/s" % (
                    "streamed" if streamed else "sized", mb, times[mb], mb / times[mb]))
            print("  200 MB / 50 MB: %.2fx" % (times[200] / times[50]))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
