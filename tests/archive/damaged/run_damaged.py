#!/usr/bin/env python3
"""Runs `zipx list`, `test` and `extract` on one archive of the damaged corpus (make_damaged.py).
Testing and extracting fail with exit 1; the target folder already holds keep.txt, which must keep
its bytes; nothing is written outside the target (temporary files included); the target gets at
most 1 MiB and no run takes more than 256 MiB of memory or 60 seconds. Listing fails too, unless
the archive is one whose entries can be listed (LISTED).

usage: run_damaged.py ZIPX ARCHIVE"""
import os
import resource
import shutil
import subprocess
import sys
import tempfile

# Archives that open (the damage shows in an entry) and the names they list.
LISTED = {
    "descriptor_cut_off.zip": ["keep.txt"],
    "damaged_size_field_before_later_entry.zip": ["keep.txt", "later.txt"],
}
# Entries that are undamaged and may be written.
WRITTEN = {"damaged_size_field_before_later_entry.zip": {"later.txt": b"the later entry survives\n"}}
ORIGINAL = b"the file that was there before\n"
MAX_TARGET_BYTES = 1 << 20
MAX_RSS_KIB = 256 << 10
MARKS = ("Sanitizer", "runtime error:", "Segmentation", "Aborted")


def snapshot(root):
    result = {}
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                result[os.path.relpath(path, root)] = f.read()
    return result


def run(zipx, args, work):
    env = dict(os.environ, TMPDIR=os.path.join(work, "tmp"))
    env.pop("ZIPX_PASSWORD", None)
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    r = subprocess.run([zipx, *args], env=env, capture_output=True, timeout=60)
    rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    err = r.stderr.decode(errors="replace")
    problems = []
    if r.returncode < 0 or any(m in err for m in MARKS):
        problems.append("%s crashed (%d): %s" % (args[0], r.returncode, err[:2000]))
    if rss > max(before, MAX_RSS_KIB):
        problems.append("%s took %d KiB of memory" % (args[0], rss))
    return r.returncode, r.stdout.decode(errors="replace"), err, problems


def main():
    zipx, archive = sys.argv[1], os.path.abspath(sys.argv[2])
    case = os.path.basename(archive)
    work = tempfile.mkdtemp(prefix="zadamaged-")
    try:
        os.makedirs(os.path.join(work, "tmp"))
        target = os.path.join(work, "target")
        os.makedirs(target)
        with open(os.path.join(target, "keep.txt"), "wb") as f:
            f.write(ORIGINAL)
        copy = os.path.join(work, case)
        shutil.copyfile(archive, copy)
        problems = []

        code, out, err, p = run(zipx, ["list", copy], work)
        problems += p
        names = [line.split("\t")[0] for line in out.splitlines()]
        if case in LISTED:
            if code != 0 or names != LISTED[case]:
                problems.append("list: exit %d, names %s, expected %s: %s" % (code, names, LISTED[case], err))
        elif code != 1 or "Native error" not in err:
            problems.append("list: exit %d, expected 1 with the library's message: %s" % (code, err))

        for args in (["test", copy], ["extract", copy, target]):
            code, _, err, p = run(zipx, args, work)
            problems += p
            if code != 1:
                problems.append("%s: exit %d, expected 1: %s" % (args[0], code, err))

        files = snapshot(work)
        expected = {os.path.join("target", "keep.txt"): ORIGINAL, case: open(archive, "rb").read()}
        for name, data in WRITTEN.get(case, {}).items():
            expected[os.path.join("target", name)] = data
        if files != expected:
            problems.append("files after the runs: %s, expected %s" % (
                {k: len(v) for k, v in files.items()}, {k: len(v) for k, v in expected.items()}))
        if sum(len(v) for k, v in files.items() if k.startswith("target")) > MAX_TARGET_BYTES:
            problems.append("the target got more than %d bytes" % MAX_TARGET_BYTES)
        for p in problems:
            print(p)
        return 1 if problems else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
