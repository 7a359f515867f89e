#!/usr/bin/env python3
"""Speed of `zipx test` against `unzip -t` on an archive holding one 1 GiB entry of zeros (about
1 MB packed). The test decodes and checks the entry and keeps nothing: target zipx / unzip <= 1.0.

usage: test_zeros.py [--build BUILD_DIR] [--runs N]"""
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_bench import bench_arguments, median_times, tool_of  # noqa: E402
from zip64_zeros import make_archive  # noqa: E402


def main():
    args = bench_arguments(runs=5).parse_args()
    zipx = tool_of(args.build)
    if not shutil.which("unzip"):
        raise SystemExit("needs unzip")
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
