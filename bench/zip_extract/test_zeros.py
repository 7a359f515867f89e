#!/usr/bin/env python3
"""Speed of `zipx test` against `unzip -t` on an archive holding one 1 GiB entry of zeros (about
1 MB packed). The test decodes and checks the entry and keeps nothing: target zipx / unzip <= 1.0.

usage: test_zeros.py [--build BUILD_DIR] [--runs N]"""
import argparse
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_bench import median_times  # noqa: E402
from zip64_zeros import make_archive  # noqa: E402


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(here, "..", "..", "build"))
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    zipx = os.path.join(args.build, "bin", "zipx")
    if not os.access(zipx, os.X_OK) or not shutil.which("unzip"):
        raise SystemExit("needs %s and unzip" % zipx)
    work = tempfile.mkdtemp(prefix="zip-test-bench-")
    try:
        archive = os.path.join(work, "zeros.zip")
        make_archive(archive, 1)
        print("archive: %.1f MB for 1 GiB of zeros" % (os.path.getsize(archive) / 1e6))
        commands = {"zipx test": [zipx, "test", archive], "unzip -tqq": ["unzip", "-tqq", archive]}
        medians = median_times(commands, os.path.join(work, "out"), args.runs)
        for name, value in medians.items():
            print("%-12s %7.3f s" % (name, value))
        ratio = medians["zipx test"] / medians["unzip -tqq"]
        print("zipx / unzip: %.3f (target <= 1.00)" % ratio)
        return 0 if ratio <= 1.0 else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
