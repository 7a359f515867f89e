#!/usr/bin/env python3
"""Interoperability of `zipx extract` with archives that Info-ZIP zip, 7z and Python's zipfile
write at test time: the extracted tree must equal the source byte for byte, with modification
times (to the two seconds of a DOS time) and read-only attributes; archives the library refuses
must end in exit 1 without writing outside the target folder or touching an existing file."""
import argparse
import os
import random
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

SKIP = 77
PASSWORD = "Pa55-word"
FIXED_TIME = time.mktime((2021, 6, 15, 10, 20, 30, 0, 0, -1))


def make_tree(root):
    """Text and incompressible data, small and large, nested folders, an empty file and folder,
    and a read-only file."""
    rnd = random.Random(1234)
    files = {
        "readme.txt": b"".join(b"line %d of the readme\r\n" % i for i in range(2000)),
        "empty.dat": b"",
        "noise.bin": bytes(rnd.getrandbits(8) for _ in range(300_000)),
        "data/page.html": b"<html><body>" + b"text " * 50_000 + b"</body></html>",
        "data/sub/deep.bin": bytes(rnd.getrandbits(8) for _ in range(70_000)),
        "data/sub/small.txt": b"x",
        "ro/readonly.txt": b"do not change me\n",
    }
    for name, data in files.items():
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(root, "emptydir"), exist_ok=True)
    for dirpath, _, filenames in os.walk(root):
        for name in filenames:
            os.utime(os.path.join(dirpath, name), (FIXED_TIME, FIXED_TIME))
    os.chmod(os.path.join(root, "ro/readonly.txt"), 0o444)


def snapshot(root):
    """Relative path -> (kind, bytes, mtime, read-only)."""
    result = {}
    for dirpath, dirnames, filenames in os.walk(root):
        for name in dirnames:
            rel = os.path.relpath(os.path.join(dirpath, name), root)
            result[rel] = ("dir", None, None, None)
        for name in filenames:
            path = os.path.join(dirpath, name)
            st = os.stat(path)
            with open(path, "rb") as f:
                data = f.read()
            result[os.path.relpath(path, root)] = ("file", data, st.st_mtime, not st.st_mode & stat.S_IWUSR)
    return result


def compare_trees(src, dst):
    a, b = snapshot(src), snapshot(dst)
    problems = []
    if sorted(a) != sorted(b):
        problems.append("names differ: only in source %s, only in output %s"
                        % (sorted(set(a) - set(b)), sorted(set(b) - set(a))))
    for name in sorted(set(a) & set(b)):
        ka, da, ta, ra = a[name]
        kb, db, tb, rb = b[name]
        if ka != kb:
            problems.append("%s: %s vs %s" % (name, ka, kb))
        elif ka == "file":
            if da != db:
                problems.append("%s: contents differ (%d vs %d bytes)" % (name, len(da), len(db)))
            if abs(ta - tb) > 2:
                problems.append("%s: time %s vs %s" % (name, time.ctime(ta), time.ctime(tb)))
            if ra != rb:
                problems.append("%s: read-only %s vs %s" % (name, ra, rb))
    return problems


def run(cmd, cwd=None, env=None, preexec=None):
    return subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, preexec_fn=preexec)


def need(tool):
    if shutil.which(tool) is None:
        print("%s is not installed" % tool)
        sys.exit(SKIP)


def zipx_extract(zipx, archive, dest, password=None, preexec=None):
    env = dict(os.environ)
    env.pop("ZIPX_PASSWORD", None)
    if password is not None:
        env["ZIPX_PASSWORD"] = password
    return run([zipx, "extract", archive, dest], env=env, preexec=preexec)


def top_level(src):
    return sorted(os.listdir(src))


def make_with_zip(src, archive, *options):
    need("zip")
    r = run(["zip", "-r", "-q", *options, archive, *top_level(src)], cwd=src)
    assert r.returncode == 0, r.stderr.decode()


def make_with_7z(src, archive, *options):
    need("7z")
    r = run(["7z", "a", "-tzip", "-bd", "-y", *options, archive, *top_level(src)], cwd=src)
    assert r.returncode == 0, r.stdout.decode() + r.stderr.decode()


def make_with_python(src, archive):
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        for dirpath, dirnames, filenames in os.walk(src):
            for name in sorted(dirnames) + sorted(filenames):
                path = os.path.join(dirpath, name)
                z.write(path, os.path.relpath(path, src))


def expect_same(zipx, src, archive, work, password=None):
    dest = os.path.join(work, "out")
    r = zipx_extract(zipx, archive, dest, password)
    if r.returncode != 0:
        return ["zipx failed: " + r.stderr.decode(errors="replace")]
    return compare_trees(src, dest)


def expect_refused(zipx, archive, work, native=None):
    dest = os.path.join(work, "out")
    os.makedirs(dest)
    r = zipx_extract(zipx, archive, dest)
    problems = []
    if r.returncode != 1:
        problems.append("exit %d, expected 1" % r.returncode)
    if native is not None and ("Native error: %05d" % native) not in r.stderr.decode(errors="replace"):
        problems.append("no native error %d in: %s" % (native, r.stderr.decode(errors="replace")))
    # Writers fall back to storing entries that do not shrink; only those may be written, and
    # exactly as stored.
    with zipfile.ZipFile(archive) as z:
        readable = {i.filename: i for i in z.infolist()
                    if i.compress_type in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED)
                    and not i.flag_bits & 1 and not i.is_dir()}
        for name, v in snapshot(dest).items():
            if v[0] != "file":
                continue
            if name not in readable:
                problems.append("refused entry written: %s" % name)
            elif v[1] != z.read(readable[name]):
                problems.append("%s: wrong contents" % name)
    return problems


def patch_central(data, name, offset_in_header, fmt, value):
    """Changes one field of the central header of the entry called name."""
    pos = data.find(b"PK\x01\x02")
    while pos >= 0:
        name_len = struct.unpack_from("<H", data, pos + 28)[0]
        if data[pos + 46:pos + 46 + name_len] == name:
            struct.pack_into(fmt, data, pos + offset_in_header, value)
            return
        pos = data.find(b"PK\x01\x02", pos + 4)
    raise AssertionError("no central header for %r" % name)


def compare_listing(zipx, archive):
    """`zipx list` prints what zipfile reads from the central directory."""
    r = run([zipx, "list", archive])
    if r.returncode != 0:
        return ["zipx list failed: " + r.stderr.decode(errors="replace")]
    with zipfile.ZipFile(archive) as z:
        expected = ["%s\t%d\t%d\t%08x\t%d" % (i.filename, i.file_size, i.compress_size, i.CRC, i.header_offset)
                    for i in z.infolist()]
    got = r.stdout.decode().splitlines()
    return [] if got == expected else ["listing differs:", *got[:5], "expected:", *expected[:5]]


def hostile(zipx, work):
    """Traversal and absolute names, a bomb and a damaged entry over an existing file: exit 1,
    nothing outside the target, the existing file untouched, the good entry extracted."""
    archive = os.path.join(work, "hostile.zip")
    with zipfile.ZipFile(archive, "w") as z:
        for name in ["../escape1.txt", "sub/../../escape2.txt", "/tmp/zaextract-abs.txt", "C:\\drive.txt"]:
            z.writestr(zipfile.ZipInfo(name), b"evil")
        z.writestr(zipfile.ZipInfo("keep.txt"), b"replacement")
        info = zipfile.ZipInfo("bomb.bin")
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, b"\0" * (50 << 20))
        z.writestr(zipfile.ZipInfo("good.txt"), b"good")
    data = bytearray(open(archive, "rb").read())
    patch_central(data, b"bomb.bin", 24, "<I", 4096)
    with zipfile.ZipFile(archive) as z:
        keep = z.getinfo("keep.txt")
    data[keep.header_offset + 30 + len(b"keep.txt")] ^= 0xFF  # stored data no longer fits its CRC
    open(archive, "wb").write(bytes(data))

    dest = os.path.join(work, "target", "out")
    os.makedirs(dest)
    with open(os.path.join(dest, "keep.txt"), "wb") as f:
        f.write(b"original")
    before = snapshot(work)
    r = zipx_extract(zipx, archive, dest)
    problems = []
    if r.returncode != 1:
        problems.append("exit %d, expected 1" % r.returncode)
    after = snapshot(work)
    added = sorted(set(after) - set(before))
    if added != [os.path.join("target", "out", "good.txt")]:
        problems.append("unexpected files: %s" % added)
    if after[os.path.join("target", "out", "keep.txt")][1] != b"original":
        problems.append("existing keep.txt was changed")
    if os.path.exists("/tmp/zaextract-abs.txt"):
        problems.append("absolute name was written")
    return problems


def links(zipx, work):
    """What zip -y stores from a tree with a link, into a target holding links of its own: the link
    entry becomes a plain file of the default mode, Unix modes pass the umask, a link of a file's
    name is replaced, and the entry below a link of another case is refused (exit 1, code 20) with
    nothing written outside the target."""
    need("zip")
    src = os.path.join(work, "links-src")
    os.makedirs(os.path.join(src, "Sub"))
    for name, mode in [("shared.txt", 0o666), ("tool.sh", 0o755), ("Sub/f.txt", 0o644)]:
        with open(os.path.join(src, name), "wb") as f:
            f.write(name.encode())
        os.chmod(os.path.join(src, name), mode)
    os.symlink("../../outside", os.path.join(src, "up"))
    archive = os.path.join(work, "links.zip")
    r = run(["zip", "-r", "-y", "-q", archive, "shared.txt", "tool.sh", "up", "Sub"], cwd=src)
    assert r.returncode == 0, r.stderr.decode()

    dest = os.path.join(work, "target", "out")
    outside = os.path.join(work, "target", "outside")
    os.makedirs(dest)
    os.makedirs(outside)
    with open(os.path.join(outside, "victim.txt"), "wb") as f:
        f.write(b"keep")
    os.symlink("../outside", os.path.join(dest, "sub"))
    os.symlink("../outside/victim.txt", os.path.join(dest, "tool.sh"))
    r = zipx_extract(zipx, archive, dest, preexec=lambda: os.umask(0o022))
    problems = []
    if r.returncode != 1 or b"Native error: 00020" not in r.stderr:
        problems.append("exit %d, expected 1 with code 20: %s" % (r.returncode, r.stderr.decode(errors="replace")))
    if sorted(os.listdir(outside)) != ["victim.txt"] or open(os.path.join(outside, "victim.txt"), "rb").read() != b"keep":
        problems.append("written outside the target: %s" % sorted(os.listdir(outside)))
    for name, mode, data in [("up", 0o644, b"../../outside"), ("shared.txt", 0o644, b"shared.txt"),
                             ("tool.sh", 0o755, b"tool.sh")]:
        st = os.lstat(os.path.join(dest, name))
        if not stat.S_ISREG(st.st_mode) or stat.S_IMODE(st.st_mode) != mode:
            problems.append("%s: mode %o, expected a regular file of %o" % (name, st.st_mode, mode))
        elif open(os.path.join(dest, name), "rb").read() != data:
            problems.append("%s: wrong contents" % name)
    return problems


def file_size_limit(zipx, src, archive, work):
    """Under a file-size limit every entry larger than the limit fails as a write error (code 46),
    never as a damaged entry; the rest is extracted exactly."""
    import resource
    limit = 64 << 10

    def impose():
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))

    make_with_zip(src, archive)
    dest = os.path.join(work, "out")
    r = zipx_extract(zipx, archive, dest, preexec=impose)
    err = r.stderr.decode(errors="replace")
    big = sorted(rel for rel, v in snapshot(src).items() if v[0] == "file" and len(v[1]) > limit)
    problems = []
    if r.returncode != 1 or err.count("Native error: 00046") != len(big) or "Native error: 00008" in err:
        problems.append("exit %d, expected 1 with code 46 for %s: %s" % (r.returncode, big, err))
    for rel in big:
        os.remove(os.path.join(src, rel))
    return problems + compare_trees(src, dest)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zipx", required=True)
    parser.add_argument("--case", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="zaextract-interop-")
    try:
        src = os.path.join(work, "src")
        os.makedirs(src)
        make_tree(src)
        archive = os.path.join(work, "a.zip")
        case = args.case
        if case == "zip_plain":
            make_with_zip(src, archive)
            problems = expect_same(args.zipx, src, archive, work)
        elif case == "zip_store":
            make_with_zip(src, archive, "-0")
            problems = expect_same(args.zipx, src, archive, work)
        elif case == "zip_max":
            make_with_zip(src, archive, "-9")
            problems = expect_same(args.zipx, src, archive, work)
        elif case == "zip_crypt":
            make_with_zip(src, archive, "-e", "-P", PASSWORD)
            problems = expect_same(args.zipx, src, archive, work, PASSWORD)
            wrong = expect_refused(args.zipx, archive, os.path.join(work, "wrong"))
            problems += ["without password: " + p for p in wrong]
        elif case == "zip_split":
            make_with_zip(src, archive, "-s", "64k")
            volumes = [n for n in os.listdir(work) if n.startswith("a.z0")]
            problems = [] if volumes else ["zip made no .z01 volumes"]
            problems += expect_same(args.zipx, src, archive, work)
        elif case == "7z_deflate":
            make_with_7z(src, archive, "-mm=Deflate")
            problems = expect_same(args.zipx, src, archive, work)
        elif case == "7z_store":
            make_with_7z(src, archive, "-mm=Copy")
            problems = expect_same(args.zipx, src, archive, work)
        elif case == "7z_crypt":
            make_with_7z(src, archive, "-mm=Deflate", "-mem=ZipCrypto", "-p" + PASSWORD)
            problems = expect_same(args.zipx, src, archive, work, PASSWORD)
        elif case == "7z_deflate64":
            make_with_7z(src, archive, "-mm=Deflate64")
            problems = expect_refused(args.zipx, archive, work, native=55)
        elif case == "7z_refused":
            problems = []
            for i, options in enumerate([["-mm=BZip2"], ["-mm=LZMA"], ["-mem=AES256", "-p" + PASSWORD]]):
                archive_i = os.path.join(work, "refused%d.zip" % i)
                make_with_7z(src, archive_i, *options)
                sub = os.path.join(work, "refused%d" % i)
                os.makedirs(sub)
                problems += ["%s: %s" % (options[0], p) for p in expect_refused(args.zipx, archive_i, sub)]
        elif case == "python_zipfile":
            make_with_python(src, archive)
            problems = expect_same(args.zipx, src, archive, work)
        elif case == "list":
            make_with_zip(src, archive)
            problems = compare_listing(args.zipx, archive)
        elif case == "hostile":
            problems = hostile(args.zipx, work)
        elif case == "links":
            problems = links(args.zipx, work)
        elif case == "file_size_limit":
            problems = file_size_limit(args.zipx, src, archive, work)
        else:
            print("unknown case " + case)
            return 2
        for p in problems:
            print(p)
        return 1 if problems else 0
    finally:
        for dirpath, dirnames, filenames in os.walk(work):
            for name in dirnames + filenames:
                try:
                    os.chmod(os.path.join(dirpath, name), 0o755)
                except OSError:
                    pass
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
