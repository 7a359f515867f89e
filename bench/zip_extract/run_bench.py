#!/usr/bin/env python3
"""Extraction speed of `zipx extract` against `unzip -o -qq`, `7z x` and the raw zlib limit
(zip_extract_raw) on a 200 MB archive of mixed files: text and incompressible data, small and
large. The tools take turns within each run, so that all meet the same state of the machine;
prints the median of each tool's runs and the ratios of the medians. Targets: zipx no slower
than unzip, and within 1.1x of the raw limit.

With --before, an earlier build's zipx takes its turns too, for comparison.

usage: run_bench.py [--build BUILD_DIR] [--before BUILD_DIR] [--runs N] [--keep]"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def make_tree(root, total=200 << 20, small_files=3000):
    """About 200 MB: half text (compressible), half random bytes; thousands of small files
    (200 bytes to 20 KB) and large ones (2 to 12 MB) for the rest."""
    rnd = random.Random(42)
    words = [("w%d" % i).encode() for i in range(5000)]
    text = b" ".join(rnd.choice(words) for _ in range(200_000)) + b"\n"
    written = 0
    n = 0
    while written < total:
        small = n < small_files
        size = rnd.randint(200, 20_000) if small else rnd.randint(2 << 20, 12 << 20)
        is_text = n % 2 == 0
        folder = os.path.join(root, "d%02d" % (n % 17), "s%d" % (n % 5))
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, "f%05d.%s" % (n, "txt" if is_text else "bin"))
        with open(path, "wb") as f:
            if is_text:
                start = rnd.randrange(len(text))
                left = size
                while left > 0:
                    piece = text[start:start + left]
                    f.write(piece)
                    left -= len(piece)
                    start = 0
            else:
                f.write(os.urandom(size))
        written += size
        n += 1
    return n


def time_once(cmd, out_dir):
    shutil.rmtree(out_dir, ignore_errors=True)
    os.makedirs(out_dir)
    subprocess.run(["sync"])
    start = time.perf_counter()
    r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        raise SystemExit("%s failed: %s" % (cmd[0], r.stderr.decode(errors="replace")))
    return elapsed


def median_times(commands, out_dir, runs):
    """Median of several rounds; in each the tools take turns, so that a slow spell of the
    machine falls on all of them alike and none gains from the state left by the one before."""
    times = {name: [] for name in commands}
    for _ in range(runs):
        for name, cmd in commands.items():
            times[name].append(time_once(cmd, out_dir))
    return {name: statistics.median(t) for name, t in times.items()}


def bench_arguments(runs):
    """The options every benchmark here takes: the build folder and how many timed runs."""
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(here, "..", "..", "build"))
    parser.add_argument("--runs", type=int, default=runs)
    return parser


def tool_of(build, name="zipx"):
    tool = os.path.join(build, "bin", name)
    if not os.access(tool, os.X_OK):
        raise SystemExit("build %s first" % tool)
    return tool


def main():
    parser = bench_arguments(runs=3)
    parser.add_argument("--before", help="build folder of an earlier zipx to time alongside")
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    zipx = tool_of(args.build)
    raw = tool_of(args.build, "zip_extract_raw")

    work = tempfile.mkdtemp(prefix="zip-extract-bench-")
    try:
        src = os.path.join(work, "src")
        os.makedirs(src)
        count = make_tree(src)
        archive = os.path.join(work, "bench.zip")
        subprocess.run(["zip", "-r", "-q", archive, "."], cwd=src, check=True)
        print("archive: %d files, %.1f MB" % (count, os.path.getsize(archive) / 1e6))
        out = os.path.join(work, "out")
        commands = {
            "raw zlib limit": [raw, archive, out],
            "zipx extract": [zipx, "extract", archive, out],
        }
        if args.before:
            commands["zipx (before)"] = [os.path.join(args.before, "bin", "zipx"), "extract", archive, out]
        if shutil.which("unzip"):
            commands["unzip -o -qq"] = ["unzip", "-o", "-qq", archive, "-d", out]
        if shutil.which("7z"):
            commands["7z x"] = ["7z", "x", "-y", "-bd", "-o" + out, archive]
        results = median_times(commands, out, args.runs)
        print("median of %d runs each" % args.runs)
        for name, seconds in results.items():
            print("%-16s %7.3f s" % (name, seconds))
        z = results["zipx extract"]
        print("zipx / raw limit: %.3f (target <= 1.10)" % (z / results["raw zlib limit"]))
        if "unzip -o -qq" in results:
            print("zipx / unzip:     %.3f (target <= 1.00)" % (z / results["unzip -o -qq"]))
        if "7z x" in results:
            print("zipx / 7z:        %.3f" % (z / results["7z x"]))
        if "zipx (before)" in results:
            b = results["zipx (before)"]
            print("before: / raw limit %.3f, / unzip %.3f" % (b / results["raw zlib limit"],
                                                               b / results.get("unzip -o -qq", float("nan"))))
    finally:
        if args.keep:
            print("kept " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
