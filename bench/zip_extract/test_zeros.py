#!/usr/bin/env python3
"""Speed of `zipx test` against `unzip -t` on an archive holding one 1 GiB entry of zeros (about
1 MB packed). The test decodes and checks the entry and keeps nothing: target zipx / unzip <= 1.0.

usage: test_zeros.py [--build BUILD_DIR] [--runs N]"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile


def make_archive(path, mebibytes=1024):
    zeros = bytes(1 << 20)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("zeros.bin", "w", force_zip64=True) as f:
            for _ in range(mebibytes):
                f.write(zeros)


def seconds(cmd):
    start = time.perf_counter()
    r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        raise SystemExit("%s failed: %s" % (cmd[0], r.stderr.decode(errors="replace")))
    return elapsed


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
        make_archive(archive)
        print("archive: %.1f MB for 1 GiB of zeros" % (os.path.getsize(archive) / 1e6))
        commands = {"zipx test": [zipx, "test", archive], "unzip -tqq": ["unzip", "-tqq", archive]}
        times = {name: [] for name in commands}
        for _ in range(args.runs):  # turns, so a slow spell of the machine falls on both alike
            for name, cmd in commands.items():
                times[name].append(seconds(cmd))
        medians = {name: statistics.median(t) for name, t in times.items()}
        for name, value in medians.items():
            print("%-12s %7.3f s" % (name, value))
        ratio = medians["zipx test"] / medians["unzip -tqq"]
        print("zipx / unzip: %.3f (target <= 1.00)" % ratio)
        return 0 if ratio <= 1.0 else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
