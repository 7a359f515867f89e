#!/usr/bin/env python3
"""Memory check: a ZIP64 archive holding one 5 GB entry of zeros must extract with `zipx extract`
in under 64 MB of resident memory. Needs about 5 GB of free disk space for the output.

usage: zip64_zeros.py [--build BUILD_DIR] [--gigabytes N] [--dir WORK_PARENT]"""
import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import zipfile

LIMIT_MB = 64


def make_archive(path, gigabytes):
    zeros = bytes(1 << 20)
    info = zipfile.ZipInfo("zeros.bin", date_time=(2024, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    with zipfile.ZipFile(path, "w", allowZip64=True) as z:
        with z.open(info, "w", force_zip64=True) as f:
            for _ in range(gigabytes << 10):
                f.write(zeros)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(here, "..", "..", "build"))
    parser.add_argument("--gigabytes", type=int, default=5)
    parser.add_argument("--dir", default=None)
    args = parser.parse_args()
    zipx = os.path.join(args.build, "bin", "zipx")
    if not os.access(zipx, os.X_OK):
        raise SystemExit("build %s first" % zipx)
    work = tempfile.mkdtemp(prefix="zip64-zeros-", dir=args.dir)
    try:
        archive = os.path.join(work, "zeros.zip")
        make_archive(archive, args.gigabytes)
        print("archive: %.1f MB for %d GB of zeros" % (os.path.getsize(archive) / 1e6, args.gigabytes))
        out = os.path.join(work, "out")
        os.makedirs(out)
        r = subprocess.run([zipx, "extract", archive, out], stderr=subprocess.PIPE)
        peak_mb = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
        size = os.path.getsize(os.path.join(out, "zeros.bin")) if r.returncode == 0 else -1
        print("exit %d, output %d bytes, peak resident %.1f MB (limit %d MB)"
              % (r.returncode, size, peak_mb, LIMIT_MB))
        ok = r.returncode == 0 and size == args.gigabytes << 30 and peak_mb < LIMIT_MB
        if r.returncode != 0:
            print(r.stderr.decode(errors="replace"))
        print("PASS" if ok else "FAIL")
        return 0 if ok else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
