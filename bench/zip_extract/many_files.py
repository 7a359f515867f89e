#!/usr/bin/env python3
"""Extraction of many small files, where the cost of each file-system call per entry shows:
`zipx extract` against `unzip -o -qq` on the same archive in the same run, the two taking turns.

Cases:
  empty-50k    50,000 small files into one empty folder (archive made by zip)
  add-5k       5,000 new files into a folder that already holds 50,000 (archive made by zip)
  python-70k   a 70,000-entry archive made by Python's zipfile, into an empty folder (one folder
               of 70,000 names)
  cycle-50     100,000 entries cycling over 50 folders (f0/1, f1/1, ... f49/1, f0/2, ...), by
               Python's zipfile: an order that reads a folder per entry unless every folder's
               index is kept
  cycle-5000   5,000 folders of 20 files in the same round-robin order, by Python's zipfile
  cycle-20000  20,000 folders of 5 files in that order: more folders than the kernel watches for
               one process, so most are trusted by their stamps

Prints the median of several runs of each tool and the ratio. Target: zipx within 1.5x of unzip.
With --before, an earlier build's zipx is timed once per case in the same run, for comparison.
With --watches N, zipx watches at most N folders (TOME_FOLDER_WATCHES; 0: every folder is trusted
by its stamp).

Every run extracts into a folder of its own; the folders are removed only after the case, so that
no run pays for the deletion of the one before. A run that passes --timeout seconds is stopped and
shown as "> T".

usage: many_files.py [--build BUILD_DIR] [--before BUILD_DIR] [--runs N] [--case NAME ...]
                     [--timeout T] [--watches N] [--keep]"""
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


def small_body(n):
    return (b"<html><body><p>page %d</p>" % n) + b"x" * (n % 700) + b"</body></html>\n"


def write_files(folder, names):
    os.makedirs(folder, exist_ok=True)
    for n, name in enumerate(names):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(small_body(n))


def zip_folder(folder, archive):
    """zip -r of the folder's content; the names are fed on stdin, as many don't fit a command line."""
    names = "\n".join(sorted(os.listdir(folder))) + "\n"
    subprocess.run(["zip", "-q", "-@", archive], cwd=folder, input=names.encode(), check=True)


def python_zip(archive, count):
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        for n in range(count):
            z.writestr("data/p%05d.htm" % n, small_body(n))


def python_zip_cycling(archive, folders, per_folder):
    """Entries in round-robin order over the folders, as a writer that walks several trees at once
    leaves them; no folder entries, so the extraction makes the folders."""
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        n = 0
        for i in range(1, per_folder + 1):
            for f in range(folders):
                z.writestr("f%d/%d" % (f, i), small_body(n))
                n += 1


CYCLES = {"cycle-50": (50, 2_000), "cycle-5000": (5_000, 20), "cycle-20000": (20_000, 5)}
CASES = ["empty-50k", "add-5k", "python-70k"] + list(CYCLES)


def prepare(case, work):
    """The archive and the folder an extraction starts from (None: an empty folder)."""
    archive = os.path.join(work, case + ".zip")
    if case == "empty-50k":
        src = os.path.join(work, "src-50k")
        write_files(src, ["f%05d.htm" % n for n in range(50_000)])
        zip_folder(src, archive)
        return archive, None
    if case == "add-5k":
        base = os.path.join(work, "base-50k")
        write_files(base, ["old%05d.htm" % n for n in range(50_000)])
        src = os.path.join(work, "src-5k")
        write_files(src, ["new%05d.htm" % n for n in range(5_000)])
        zip_folder(src, archive)
        return archive, base
    if case == "python-70k":
        python_zip(archive, 70_000)
        return archive, None
    if case in CYCLES:
        python_zip_cycling(archive, *CYCLES[case])
        return archive, None
    raise SystemExit("unknown case " + case)


def time_once(cmd, out_dir, base, timeout):
    if base is None:
        os.makedirs(out_dir)
    else:
        # Hard links: the folder's 50,000 entries are there without copying their bytes.
        subprocess.run(["cp", "-al", base, out_dir], check=True)
    subprocess.run(["sync"])
    start = time.perf_counter()
    try:
        r = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired:
        return float("inf")
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        raise SystemExit("%s failed: %s" % (cmd[0], r.stderr.decode(errors="replace")))
    return elapsed


def shown(seconds, timeout):
    return ("%7.3f s" % seconds) if seconds != float("inf") else "  > %.0f s" % timeout


def time_case(case, work, args, zipx, before):
    archive, base = prepare(case, work)
    commands = {
        "zipx": lambda out: [zipx, "extract", archive, out],
        "unzip": lambda out: ["unzip", "-o", "-qq", archive, "-d", out],
    }
    times = {name: [] for name in commands}
    outs = []
    for run in range(args.runs):
        for name, cmd in commands.items():
            outs.append(os.path.join(work, "out-%s-%s-%d" % (case, name, run)))
            times[name].append(time_once(cmd(outs[-1]), outs[-1], base, args.timeout))
    earlier = None
    if before:
        outs.append(os.path.join(work, "out-%s-before" % case))
        earlier = time_once([before, "extract", archive, outs[-1]], outs[-1], base, args.timeout)
    z = statistics.median(times["zipx"])
    u = statistics.median(times["unzip"])
    line = "%-11s zipx %s   unzip %7.3f s   ratio %.2f (target <= 1.50)" % (case, shown(z, args.timeout), u, z / u)
    if earlier is not None:
        line += "   before: zipx %s, ratio %s" % (shown(earlier, args.timeout),
                                                  "%.2f" % (earlier / u) if earlier != float("inf") else "> %.0f" % (args.timeout / u))
    print(line, flush=True)
    for out in outs:
        shutil.rmtree(out, ignore_errors=True)
    subprocess.run(["sync"])


def main():
    parser = bench_arguments(runs=3)
    parser.add_argument("--before", help="build folder of an earlier zipx to time once per case")
    parser.add_argument("--case", action="append", choices=CASES)
    parser.add_argument("--timeout", type=float, default=None)
    parser.add_argument("--watches", type=int, help="the most folders zipx watches; 0: none")
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    if args.watches is not None:
        os.environ["TOME_FOLDER_WATCHES"] = str(args.watches)
    zipx = tool_of(args.build)
    before = tool_of(args.before) if args.before else None
    if not shutil.which("unzip"):
        raise SystemExit("unzip is needed for the comparison")

    work = tempfile.mkdtemp(prefix="zip-many-files-")
    try:
        for case in args.case or CASES:
            time_case(case, work, args, zipx, before)
    finally:
        if args.keep:
            print("kept " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
