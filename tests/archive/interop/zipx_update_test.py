#!/usr/bin/env python3
"""Archives made at test time by zip, 7z and Python's zipfile, changed through `zipx add`, `delete`
and `delete-at`, then checked: every entry the change did not touch keeps its stored name bytes, its
flags and its contents (Python's zipfile), testzip passes, and so do `unzip -t` and `7z t`.

usage: zipx_update_test.py ZIPX CASE"""
import fcntl
import os
import shutil
import socket
import stat
import struct
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ziptools  # noqa: E402
from ziptools import get, put  # noqa: E402

NAMES = ["plain.txt", "Привет/файл.txt", "café.txt", "日本語/データ.bin"]


def raw_name(info):
    return info.filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")


def model(path):
    """(stored name bytes, flags, contents) of every entry, in directory order."""
    with zipfile.ZipFile(path) as z:
        return [(raw_name(i), i.flag_bits, z.read(i)) for i in z.infolist()]


def checked(path, stub=False):
    """Problems other readers find in the archive."""
    problems = []
    with zipfile.ZipFile(path) as z:
        bad = z.testzip()
        if bad:
            problems.append("testzip: " + bad)
    r = subprocess.run(["unzip", "-t", "-qq", path], capture_output=True)
    if r.returncode not in ((0, 1) if stub else (0,)):
        problems.append("unzip -t: %d %s" % (r.returncode, (r.stdout + r.stderr).decode(errors="replace")))
    r = subprocess.run(["7z", "t", "-bd", path], capture_output=True)
    if r.returncode != 0:
        problems.append("7z t: %d %s" % (r.returncode, r.stdout.decode(errors="replace")[-500:]))
    return problems


def zipx(binary, *args):
    try:
        return subprocess.run([binary, *args], capture_output=True, timeout=60)
    except subprocess.TimeoutExpired:  # a FIFO read for ever
        return subprocess.CompletedProcess(args, -1, b"", b"timed out")


def node(path):
    """What must not change of a path: its kind, inode, device number and (for a file) its bytes;
    None when nothing is there."""
    try:
        st = os.lstat(path)
    except FileNotFoundError:
        return None
    data = open(path, "rb").read() if stat.S_ISREG(st.st_mode) else None
    return stat.S_IFMT(st.st_mode), st.st_ino, st.st_rdev, data


def make_node(path, kind):
    """A folder, FIFO, socket or character device at path; False when this system cannot make it."""
    if kind == "folder":
        os.mkdir(path)
    elif kind == "fifo":
        os.mkfifo(path)
    elif kind == "socket":
        s = socket.socket(socket.AF_UNIX)
        s.bind(path)
        s.close()
    else:
        try:
            os.mknod(path, stat.S_IFCHR | 0o666, os.makedev(1, 3))
        except PermissionError:
            return False
    return True


def write_tree(root, names):
    for n, name in enumerate(names):
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(("entry %d: %s\n" % (n, name)).encode() * (50 + 400 * n))


def make_python(path, work, case):
    if case == "python_streamed":  # an unseekable output gets data descriptors
        with open(path, "wb") as raw:
            class Unseekable:
                def write(self, b):
                    return raw.write(b)

                def flush(self):
                    raw.flush()
            with zipfile.ZipFile(Unseekable(), "w", zipfile.ZIP_DEFLATED) as z:
                for n, name in enumerate(NAMES):
                    z.writestr(name, b"streamed %d\n" % n * 300)
        return
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for n, name in enumerate(NAMES):
            z.writestr(name, b"utf-8 %d\n" % n * 300)
        # A name stored in cp866 without the UTF-8 flag, and two entries of one name.
        z.writestr(zipfile.ZipInfo("Файл-866.txt".encode("cp866").decode("cp437")), b"cp866 name\n")
        z.writestr("twice.txt", b"first of two\n")
        z.writestr("twice.txt", b"second of two\n")
        if case == "python_zip64":
            z.writestr(zipfile.ZipInfo("z64.bin"), b"z" * 1000, compress_type=zipfile.ZIP_STORED)
            with z.open("forced.bin", "w", force_zip64=True) as f:
                f.write(b"forced zip64 sizes\n" * 100)


def make_archive(case, work):
    src = os.path.join(work, "src")
    write_tree(src, NAMES)
    path = os.path.join(work, "a.zip")
    top = sorted(os.listdir(src))
    if case.startswith("zip"):
        ziptools.need_tool("zip")
        options = {"zip_plain": [], "zip_descriptors": ["-fd"], "zip_zip64": ["-fz"], "zip_stub": []}[case]
        subprocess.run(["zip", "-q", "-r", *options, path, *top], cwd=src, check=True)
        if case == "zip_stub":
            with open(path, "rb") as f:
                data = f.read()
            with open(path, "wb") as f:
                f.write(b"#!/bin/sh\necho a stub in front\nexit 0\n" + b"\0" * 3000 + data)
            subprocess.run(["zip", "-q", "-A", path], check=True)  # offsets count from the file start
    elif case.startswith("7z"):
        ziptools.need_tool("7z")
        subprocess.run(["7z", "a", "-tzip", "-bd", "-y", path, *top], cwd=src, check=True, stdout=subprocess.DEVNULL)
    else:
        make_python(path, work, case)
    return path


def run_case(binary, case, work):
    ziptools.need_tool("unzip", "7z")
    path = make_archive(case, work)
    stub = case == "zip_stub"
    before = model(path)
    problems = checked(path, stub)

    adds = os.path.join(work, "adds")
    write_tree(adds, ["new.txt", "newdir/inner.txt"])
    r = zipx(binary, "add", path, adds, "new.txt", "newdir")
    if r.returncode != 0:
        return problems + ["add: " + r.stderr.decode(errors="replace")]
    after = model(path)
    if after[:len(before)] != before:
        problems.append("add changed kept entries: %s" % [a[:2] for a in after[:len(before)]])
    added = [(name, data) for name, _, data in after[len(before):]]
    expected = [(b"new.txt", open(os.path.join(adds, "new.txt"), "rb").read()), (b"newdir/", b""),
                (b"newdir/inner.txt", open(os.path.join(adds, "newdir/inner.txt"), "rb").read())]
    if added != expected:
        problems.append("added entries: %s" % [(n, len(d)) for n, d in added])
    problems += checked(path, stub)

    # A disk name the system's code page cannot hold is refused, and the archive stays.
    os.makedirs(os.path.join(adds, "漢字"))
    unchanged = open(path, "rb").read()
    r = zipx(binary, "add", path, adds, "漢字")
    if r.returncode != 1 or b"Native error" not in r.stderr or open(path, "rb").read() != unchanged:
        problems.append("a name outside the code page: exit %d %s" % (r.returncode, r.stderr.decode(errors="replace")))

    deleted = "twice.txt" if any(e[0] == b"twice.txt" for e in after) else "plain.txt"
    r = zipx(binary, "delete", path, deleted)
    now = model(path)
    want = [e for e in after if e[0] != deleted.encode()]
    if r.returncode != 0 or now != want or len(want) == len(after):
        problems.append("delete %s: exit %d, names %s" % (deleted, r.returncode, [e[0] for e in now]))
    problems += checked(path, stub)

    r = zipx(binary, "delete-at", path, "0", str(len(now) - 1))
    last = model(path)
    if r.returncode != 0 or last != now[1:-1]:
        problems.append("delete-at: exit %d, names %s" % (r.returncode, [e[0] for e in last]))
    problems += checked(path, stub)
    r = zipx(binary, "delete-at", path, str(len(last)))
    if r.returncode != 1 or model(path) != last:
        problems.append("delete-at past the end: exit %d" % r.returncode)
    return problems


def colliding_names(binary, work):
    """Names whose characters the system's code page lacks come out escaped, each its own file. The
    archive is made by `zipx add`, then changed by Python."""
    path = os.path.join(work, "cjk.zip")
    write_tree(os.path.join(work, "src"), ["made.txt"])
    r = zipx(binary, "add", path, os.path.join(work, "src"), "made.txt")
    if r.returncode != 0 or [e[0] for e in model(path)] != [b"made.txt"]:
        return ["zipx add made no new archive: " + r.stderr.decode(errors="replace")]
    with zipfile.ZipFile(path, "a") as z:
        z.writestr("日本.txt", b"first\n")
        z.writestr("中文.txt", b"second\n")
    out = os.path.join(work, "out")
    os.makedirs(out)
    r = zipx(binary, "extract", path, out)
    files = {n: open(os.path.join(out, n), "rb").read() for n in os.listdir(out)}
    made = open(os.path.join(work, "src", "made.txt"), "rb").read()
    want = {"made.txt": made, "<U+65E5><U+672C>.txt": b"first\n", "<U+4E2D><U+6587>.txt": b"second\n"}
    if r.returncode != 0 or files != want:
        return ["escaped names: exit %d, files %s" % (r.returncode, files)]
    return []


def linux_names(binary, work):
    """Names that zip stores as raw UTF-8 without the flag come out as they went in; add and delete keep
    every entry's stored name bytes (a replaced one gains the UTF-8 flag), and unzip still finds the
    copied ones (it takes the flag of an entry made on a DOS host for a code page's)."""
    ziptools.need_tool("zip", "unzip")
    names = ["Привет.txt", "Папка/файл.txt", "ascii.txt"]
    path, src = zip_archive(work, names)
    out, back, copied = os.path.join(work, "out"), os.path.join(work, "back"), os.path.join("Папка", "файл.txt")
    r = zipx(binary, "list", path)
    listed = sorted(line.split("\t")[0] for line in r.stdout.decode().splitlines())
    problems = [] if r.returncode == 0 and listed == sorted(["Папка/", *names]) else ["list: %s" % listed]
    r = zipx(binary, "extract", path, out)
    problems += ["extract: exit %d, %s missing" % (r.returncode, n) for n in names
                 if get(os.path.join(out, n), None) != get(os.path.join(src, n))]
    before = model(path)
    write_tree(out, ["new.txt"])
    for args in [("add", path, out, "new.txt", "Привет.txt"), ("delete", path, "ascii.txt")]:
        r = zipx(binary, *args)
        if r.returncode != 0:
            problems.append("%s: exit %d %s" % (args[0], r.returncode, r.stderr))
    kept = [e[:2] for e in model(path)]
    if kept != [(n, f | (0x800 if n == "Привет.txt".encode() else 0)) for n, f, _ in before if n != b"ascii.txt"] + \
            [(b"new.txt", 0)]:
        problems.append("stored names after add and delete: %s" % kept)
    subprocess.run(["unzip", "-q", path, "-d", back], check=True)
    if get(os.path.join(back, copied), None) != get(os.path.join(src, copied)):
        problems.append("unzip: %s missing or changed" % copied)
    return problems + checked(path)


def merged_sources(binary, work):
    """Files whose names differ only in case or a trailing dot never become one entry: the first is
    added, the second refused with both names and a failing exit. Trailing blanks keep names apart."""
    ziptools.need_tool("zip")
    problems = []
    for n, (files, stored, refused) in enumerate([
            (["README", "readme"], [b"README"], [("readme", "README")]),
            (["x", "x."], [b"x"], [("x.", "x")]),
            (["Sub/a", "sub/a"], [b"Sub/", b"Sub/a"], [("sub", "Sub"), ("sub/a", "Sub/a")]),
            (["y", "y "], [b"y", b"y "], [])]):
        base = os.path.join(work, "base%d" % n)
        write_tree(base, files)
        path = base + ".zip"
        r = zipx(binary, "add", path, base, ".")
        entries = model(path) if os.path.exists(path) else []
        contents = {e[0]: e[2] for e in entries}
        complaints = r.stderr.decode().splitlines()
        named = all(any('"%s"' % a in c and '"%s"' % b in c for c in complaints) for a, b in refused)
        if r.returncode != (1 if refused else 0) or not named or [e[0] for e in entries] != stored or \
                any(contents[n] != get(os.path.join(base, n.decode())) for n in stored if n[-1:] != b"/"):
            problems.append("add %s: exit %d %s, stored %s" % (files, r.returncode, complaints, list(contents)))
    return problems


def zip_archive(work, names=("plain.txt", "Привет/файл.txt")):
    src = os.path.join(work, "src")
    write_tree(src, list(names))
    path = os.path.join(work, "a.zip")
    subprocess.run(["zip", "-q", "-r", path, *sorted(os.listdir(src))], cwd=src, check=True)
    return path, src


def refused_paths(binary, work):
    """Every command on an archive path that is no regular file, or (for the writing commands) is
    missing, fails, names the path, and leaves the path as it was: nothing made, nothing replaced."""
    ziptools.need_tool("zip")
    _, src = zip_archive(work)
    out = os.path.join(work, "out")
    os.mkdir(out)
    commands = [["list"], ["test"], ["extract", out], ["add", src, "plain.txt"], ["delete", "plain.txt"],
                ["delete-at", "0"]]
    problems = []
    for kind in ["missing", "folder", "fifo", "socket", "chardev"]:
        path = os.path.join(work, kind + ".zip")
        if kind != "missing" and not make_node(path, kind):
            continue
        for command in commands:
            if kind == "missing" and command[0] == "add":
                continue  # add makes a new archive
            before = node(path)
            r = zipx(binary, command[0], path, *command[1:])
            if r.returncode != 1 or (kind + ".zip").encode() not in r.stderr or node(path) != before:
                problems.append("%s on a %s: exit %d, %s, node %s" % (command[0], kind, r.returncode,
                                r.stderr.decode(errors="replace").strip(), "kept" if node(path) == before else "changed"))
    return problems


def unchanged_batches(binary, work):
    """A batch that changes nothing leaves the archive as it was, same bytes and same inode; a delete
    whose name, or an add whose every source, is missed fails, says which and makes no archive; links stay."""
    ziptools.need_tool("zip")
    path, src = zip_archive(work)
    os.symlink("a.zip", os.path.join(work, "link.zip"))
    os.link(path, os.path.join(work, "hard.zip"))
    os.mkfifo(os.path.join(src, "pipe"))
    put(os.path.join(src, "PIPE"), b"its entry is the pipe's\n")
    new = os.path.join(work, "new.zip")
    cases = [  # (arguments, exit code, what stderr must hold)
        (["delete", path, "nothing.txt"], 1, b"nothing.txt"),
        (["delete", path, "plain.txt", "nothing.txt"], 1, b"nothing.txt"),
        (["add", path, work, "a.zip"], 0, b""),
        (["add", path, work, "link.zip"], 0, b""),
        (["add", os.path.join(work, "link.zip"), work, "./src/../a.zip"], 0, b""),
        (["add", path, src, "pipe"], 1, b"pipe"),
        (["add", path, src, "pipe", "PIPE"], 1, b"00023"),
        (["add", path, src, "absent.txt"], 1, b"absent.txt"),
        (["add", new, src, "pipe"], 1, b"pipe"),
    ]
    problems = []
    for args, code, said in cases:
        before = node(path), node(args[1])
        r = zipx(binary, *args)
        kept = (node(path), node(args[1])) == before
        if r.returncode != code or said not in r.stderr or not kept:
            problems.append("%s: exit %d %s, archive %s" % (args[:1] + args[2:], r.returncode, r.stderr,
                                                            "kept" if kept else "changed"))
    r = zipx(binary, "delete", os.path.join(work, "link.zip"), "plain.txt")
    if r.returncode != 0 or not os.path.islink(os.path.join(work, "link.zip")) or \
            [e[0] for e in model(path)] != ["Привет/".encode(), "Привет/файл.txt".encode()]:
        problems.append("delete through a link: exit %d %s" % (r.returncode, r.stderr))
    return problems


def held_archive(binary, work):
    """While another writer holds the archive, writers fail at once and readers go on; of eight
    writers started at once, every one that reports success has its entry in the archive."""
    ziptools.need_tool("zip")
    path, src = zip_archive(work)
    out = os.path.join(work, "out")
    problems = []
    with open(path, "r+b") as held:
        # An open-file-description lock conflicts with record locks, all that NFS-like file systems keep.
        fcntl.fcntl(held, fcntl.F_OFD_SETLK, struct.pack("hhqqi4x", fcntl.F_WRLCK, os.SEEK_SET, 0, 0, 0))
        before = node(path)
        for args, code in [(["add", path, src, "plain.txt"], 1), (["delete", path, "plain.txt"], 1),
                           (["delete-at", path, "0"], 1), (["list", path], 0), (["test", path], 0),
                           (["extract", path, out], 0)]:
            r = zipx(binary, *args)
            if r.returncode != code or (code == 1 and b"00036" not in r.stderr) or node(path) != before:
                problems.append("%s while held: exit %d %s" % (args[0], r.returncode, r.stderr))
    names = ["w%d.txt" % n for n in range(8)]
    write_tree(src, names)
    writers = [subprocess.Popen([binary, "add", path, src, n], stderr=subprocess.PIPE) for n in names]
    results = [(n, w.wait(60), w.stderr.read()) for n, w in zip(names, writers)]
    stored = [e[0] for e in model(path)]
    for name, code, err in results:
        if (code == 0) != (name.encode() in stored) or (code != 0 and b"00036" not in err):
            problems.append("writer %s: exit %d %s, stored %s" % (name, code, err, name.encode() in stored))
    if not any(code == 0 for _, code, _ in results):
        problems.append("no writer succeeded")
    # The empty file a writer killed while making a new archive leaves is made anew.
    open(os.path.join(work, "killed.zip"), "wb").close()
    r = zipx(binary, "add", os.path.join(work, "killed.zip"), src, "plain.txt")
    if r.returncode != 0 or [e[0] for e in model(os.path.join(work, "killed.zip"))] != [b"plain.txt"]:
        problems.append("an empty archive file: exit %d %s" % (r.returncode, r.stderr))
    return problems + checked(path)


def replaced_names(binary, work):
    """An entry replaced through add keeps its stored name bytes and its UTF-8 flag."""
    ziptools.need_tool("zip")
    path = os.path.join(work, "a.zip")
    names = ["plain.txt", "Привет/файл.txt"]
    with zipfile.ZipFile(path, "w") as z:
        for name in names:  # the second is flagged as UTF-8
            z.writestr(name, b"old\n")
    before = [(e[0], e[1] & 0x800) for e in model(path)]
    src = os.path.join(work, "src")
    write_tree(src, names)
    r = zipx(binary, "add", path, src, *names)
    after = model(path)
    if r.returncode != 0 or [(e[0], e[1] & 0x800) for e in after] != before or \
            [e[2] for e in after] != [open(os.path.join(src, n), "rb").read() for n in names]:
        return ["replace: exit %d %s, entries %s" % (r.returncode, r.stderr, [e[:2] for e in after])]
    return checked(path)


def odd_sources(binary, work):
    """A source that is no regular file is skipped with a warning and a failing exit, never read;
    a link to a regular file is stored with that file's data under the link's name."""
    ziptools.need_tool("zip")
    path, src = zip_archive(work, ["ok.txt"])
    os.symlink("ok.txt", os.path.join(src, "link.txt"))
    odd = [kind for kind in ["fifo", "socket", "chardev"] if make_node(os.path.join(src, kind), kind)]
    r = zipx(binary, "add", path, src, "link.txt", *odd)
    problems = []
    if r.returncode != 1 or any(k.encode() not in r.stderr for k in odd):
        problems.append("odd sources: exit %d %s" % (r.returncode, r.stderr))
    ok = open(os.path.join(src, "ok.txt"), "rb").read()
    if [(e[0], e[2]) for e in model(path)] != [(b"ok.txt", ok), (b"link.txt", ok)]:
        problems.append("odd sources stored: %s" % [e[0] for e in model(path)])
    return problems + checked(path)


def base_folder(binary, work):
    """Names are stored relative to the base folder, "." adds what it holds, and the archive never
    adds itself, under any spelling of its name; a name outside the base folder is refused."""
    ziptools.need_tool("zip")
    base = os.path.join(work, "base")
    write_tree(base, ["x.txt", "sub/y.txt"])
    path = os.path.join(base, "a.zip")
    subprocess.run(["zip", "-q", path, "x.txt"], cwd=base, check=True)
    os.symlink("base", os.path.join(work, "alias"))
    write_tree(work, ["outside.txt"])
    problems = []
    for archive, folder, names, code in [
            (path, base, ["."], 0),
            (os.path.join(work, "alias", "a.zip"), base, ["."], 0),
            (path, os.path.join(work, "alias"), ["sub/..", "a.zip"], 0),
            (path, base, ["../outside.txt"], 1),
            (path, os.path.join(base, "sub"), [".."], 1)]:
        r = zipx(binary, "add", archive, folder, *names)
        stored = [e[0] for e in model(path)]
        if r.returncode != code or stored != [b"x.txt", b"sub/", b"sub/y.txt"]:
            problems.append("add %s %s: exit %d %s, names %s" % (folder, names, r.returncode, r.stderr, stored))
    return problems + checked(path)


def write_failures(binary, folder, impose):
    """Problems of add (to a new and to an existing archive), delete and extract run in folder under
    impose (a limit on writes): each must exit 1 with the write error (46), never be killed or say
    that an entry is short (34); the archive stays as it was, or absent when it was, and no
    temporary is left."""
    src = os.path.join(os.path.dirname(folder), "src")
    put(os.path.join(src, "big.bin"), os.urandom(300 << 10))
    old, big, new = (os.path.join(folder, n) for n in ("old.zip", "big.zip", "new.zip"))
    with zipfile.ZipFile(old, "w") as z:
        z.writestr("small.txt", b"small\n")
    with zipfile.ZipFile(big, "w") as z:  # stored: its copy without one entry passes any limit
        z.write(os.path.join(src, "big.bin"), "big.bin")
        z.writestr("small.txt", b"small\n")
    problems = []
    for args, archive in [(["add", new, src, "big.bin"], new), (["add", old, src, "big.bin"], old),
                          (["delete", big, "small.txt"], big), (["extract", big, os.path.join(folder, "out")], big)]:
        before = node(archive)
        r = subprocess.run([binary, *args], capture_output=True, timeout=60, preexec_fn=impose)
        left = [n for n in os.listdir(folder) if n.endswith(".tmp")]
        if r.returncode != 1 or b"00046" not in r.stderr or b"00034" in r.stderr or node(archive) != before or left:
            problems.append("%s %s: exit %d %s, archive changed or temporaries left %s" % (
                args[0], os.path.basename(archive), r.returncode, r.stderr, left))
    return problems


def write_limits(binary, work):
    """A file-size limit (as `ulimit -f` sets it) and a full disk are the write error of every
    writing command; `test` writes nothing, so it passes under the limit."""
    import resource

    def low_limit():
        resource.setrlimit(resource.RLIMIT_FSIZE, (100 << 10, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))

    limit, disk = os.path.join(work, "limit"), os.path.join(work, "disk")
    os.makedirs(limit)
    os.makedirs(disk)
    problems = ["file-size limit: " + p for p in write_failures(binary, limit, low_limit)]
    r = subprocess.run([binary, "test", os.path.join(limit, "big.zip")], capture_output=True, timeout=60,
                       preexec_fn=low_limit)
    if r.returncode != 0:
        problems.append("test under the limit: exit %d %s" % (r.returncode, r.stderr))
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=512k", "tmpfs", disk], capture_output=True).returncode != 0:
        print("full disk not tried: a small file system cannot be mounted here")
        return problems
    try:
        return problems + ["full disk: " + p for p in write_failures(binary, disk, None)]
    finally:
        subprocess.run(["umount", "-l", disk])


def raw_names(path):
    """(name bytes, flags, CRC) of every central header, names zipfile cannot decode included."""
    data = open(path, "rb").read()
    count, _, at = struct.unpack_from("<HII", data, data.rfind(b"PK\x05\x06") + 10)
    entries = []
    for _ in range(count):
        flags, crc, n, m, k = struct.unpack_from("<H6xI8xHHH", data, at + 8)
        entries.append((data[at + 46:at + 46 + n], flags, crc))
        at += 46 + n + m + k
    return entries


MEETING = [b"\xe9.txt", "щ.txt".encode(), b"x<U+4E2D>.txt", "x中.txt".encode(), b"<E9>.txt"]


def meeting_names(binary, work):
    """Names that read alike (an escape's text and the escaped character, a cp866 byte and the UTF-8
    letter it reads as), as bsdtar, zip, 7z and Python write them, list, extract, delete and add apart."""
    ziptools.need_tool("bsdtar", "zip", "7z")
    src = os.path.join(work, "src")
    for n, name in enumerate(MEETING):
        put(os.path.join(os.fsencode(src), name), b"file %d\n" % n)
    bsdtar = ["bsdtar", "--format", "zip", "-cf"]
    problems = []
    for writer, command in [("C", ["env", "LC_ALL=C", *bsdtar]), ("UTF-8", ["env", "LC_ALL=C.UTF-8", *bsdtar]),
                            ("zip", ["zip", "-q"]), ("7z", ["7z", "a", "-tzip", "-bd"]), ("python", None)]:
        path, out = os.path.join(work, writer + ".zip"), os.path.join(work, "out-" + writer)
        if command:
            subprocess.run(command + [path] + [os.fsdecode(n) for n in MEETING], cwd=src, check=True,
                           stdout=subprocess.DEVNULL)
        else:
            with zipfile.ZipFile(path, "w") as z:
                for name in MEETING[1:]:
                    z.write(os.path.join(src, name.decode()), name.decode())
        listed = zipx(binary, "list", path).stdout.splitlines()
        r = zipx(binary, "extract", path, out)
        files = sorted(get(os.path.join(os.fsencode(out), n)) for n in os.listdir(os.fsencode(out)))
        before = raw_names(path)
        if len(set(listed)) != len(listed) or r.returncode != 0 or \
                files != sorted(get(os.path.join(os.fsencode(src), n)) for n, _, _ in before):
            problems.append("%s: listed %s, extract exit %d, files %s" % (writer, listed, r.returncode, files))
        r = zipx(binary, "delete", path, "x<U+4E2D>.txt")
        kept = [e for e in before if e[0] != b"x<U+4E2D>.txt"]
        put(os.path.join(src, "щ.txt"), b"new\n")
        r = zipx(binary, "add", path, src, "щ.txt") if r.returncode == 0 else r
        put(os.path.join(src, "щ.txt"), b"file 1\n")
        after = raw_names(path)
        if r.returncode != 0 or after == kept or [e[0] for e in after] != [e[0] for e in kept] or \
                [e for e in after if e[0] != MEETING[1]] != [e for e in kept if e[0] != MEETING[1]]:
            problems.append("%s: delete x<U+4E2D>.txt, add щ.txt: %s" % (writer, after))
    return problems


SPECIAL = {"colliding_names": colliding_names, "write_limits": write_limits, "refused_paths": refused_paths,
           "unchanged_batches": unchanged_batches, "held_archive": held_archive,
           "replaced_names": replaced_names, "odd_sources": odd_sources, "base_folder": base_folder,
           "linux_names": linux_names, "merged_sources": merged_sources,
           "meeting_names": meeting_names}


def main():
    binary, case = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="zaupdate-interop-")
    try:
        problems = SPECIAL[case](binary, work) if case in SPECIAL else run_case(binary, case, work)
        for p in problems:
            print(p)
        return 1 if problems else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
