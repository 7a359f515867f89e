#!/usr/bin/env python3
"""Changes of many entries of a 70,000-entry archive (Python's zipfile, stored), where a look-up
that walks every entry per name or index shows: one entry against 20,000, in the same run, for

  delete      `zipx delete` by name
  delete-at   `zipx delete-at` by index
  add         `zipx add` of files that replace entries of the same names

The entries changed start with the first, so the commit rewrites the whole archive in both runs of
a case and the difference is the cost of the look-ups and removals. Every run starts from a fresh
copy of the archive; the runs of a case take turns. Target: 20,000 within 3x one, for delete and
delete-at (add also writes each new entry, so its ratio is shown only). With --before, an earlier
build's zipx is timed once per case as well; a run that passes --timeout seconds shows as "> T".

usage: delete_many.py [--build BUILD_DIR] [--before BUILD_DIR] [--runs N] [--entries N] [--many N]
                      [--case NAME ...] [--timeout T]"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_bench import bench_arguments, tool_of  # noqa: E402

CASES = ["delete", "delete-at", "add"]
TARGET = 3.0


def name_of(n):
    return "d%02d/f%05d.txt" % (n // 1000, n)


def make_archive(path, entries):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_STORED) as z:
        for n in range(entries):
            z.writestr(name_of(n), b"entry %d\n" % n)


def picked(count, entries):
    """count entries spread over the archive, the first among them."""
    step = max(entries // count, 1)
    return [n * step for n in range(count)]


def make_sources(src, numbers):
    for n in numbers:
        path = os.path.join(src, name_of(n))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(b"replaced %d\n" % n)


def arguments(case, numbers, src):
    if case == "delete":
        return ["delete", None] + [name_of(n) for n in numbers]
    if case == "delete-at":
        return ["delete-at", None] + [str(n) for n in numbers]
    return ["add", None, src] + [name_of(n) for n in numbers]


def time_once(zipx, args, archive, copy, timeout):
    shutil.copyfile(archive, copy)
    cmd = [zipx] + [copy if a is None else a for a in args]
    start = time.perf_counter()
    try:
        r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired:
        return float("inf")
    if r.returncode != 0:
        raise SystemExit("%s failed: %s" % (" ".join(cmd[:3]), r.stderr.decode(errors="replace")[:500]))
    return time.perf_counter() - start


def shown(seconds, timeout):
    return "%7.3f s" % seconds if seconds != float("inf") else "  > %.0f s" % timeout


def main():
    parser = bench_arguments(runs=3)
    parser.add_argument("--before", help="build folder of an earlier zipx to time once per case")
    parser.add_argument("--entries", type=int, default=70_000)
    parser.add_argument("--many", type=int, default=20_000)
    parser.add_argument("--case", action="append", choices=CASES)
    parser.add_argument("--timeout", type=float, default=None)
    args = parser.parse_args()
    zipx = tool_of(args.build)
    before = tool_of(args.before) if args.before else None

    work = tempfile.mkdtemp(prefix="zip-delete-many-")
    missed = False
    try:
        archive, copy, src = (os.path.join(work, n) for n in ("many.zip", "copy.zip", "src"))
        make_archive(archive, args.entries)
        make_sources(src, picked(args.many, args.entries))
        for case in args.case or CASES:
            one, many = (arguments(case, picked(k, args.entries), src) for k in (1, args.many))
            times = {"one": [], "many": []}
            for _ in range(args.runs):
                for label, a in (("one", one), ("many", many)):
                    times[label].append(time_once(zipx, a, archive, copy, args.timeout))
            t1, tn = statistics.median(times["one"]), statistics.median(times["many"])
            ratio = tn / t1
            line = "%-9s 1: %s   %d: %s   ratio %.2f" % (case, shown(t1, args.timeout), args.many,
                                                       shown(tn, args.timeout), ratio)
            if case != "add":
                line += " (target <= %.2f)" % TARGET
                missed = missed or ratio > TARGET
            if before:
                line += "   before: 1: %s, %d: %s" % (shown(time_once(before, one, archive, copy, args.timeout), args.timeout),
                                                      args.many, shown(time_once(before, many, archive, copy, args.timeout), args.timeout))
            print(line, flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
