#!/usr/bin/env python3
"""No `zipx add`, `delete` or `delete-at` loses what it cannot place. Each CASE:

  foreign_data   data around an archive (random bytes around one local header, a tar holding a
                 zip, bytes after the end record, bytes between entries or before the directory):
                 every change exits 1 with code 35 and leaves the file byte for byte and inode as it
                 was; reading a rebuilt directory warns once and `test` fails.
  cut_sweep      archives cut at every byte: a change either exits 0 with every entry it kept
                 holding its data (other readers agree), or exits 1 and leaves the file as it was.
  sizes_missing  all-ones sizes in the directory that the ZIP64 block does not hold: a change
                 that copies the entry exits 1 with code 8, the file as it was.
  zip64_streamed entries streamed with a ZIP64 block and 24-byte descriptors (Python's zipfile,
                 force_zip64, to an unseekable output), one deleted: unzip -t, 7z t and zipfile
                 pass, every descriptor keeps its length, each local header's version and ZIP64
                 block agree, and a walk over the local headers (ours through the rebuild too)
                 finds every entry.

usage: zipx_unplaced_bytes_test.py ZIPX CASE"""
import io
import os
import random
import struct
import subprocess
import sys
import tarfile
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ziptools  # noqa: E402
from zipx_update_test import checked, zipx  # noqa: E402

RNG = random.Random(21)
ADDED = b"added by the test\n"


def noise(n):
    return bytes(RNG.getrandbits(8) for _ in range(n))


def python_zip(entries, streamed=False, zip64=False):
    """The archive zipfile writes of (name, data, method) entries; streamed: to an unseekable output."""
    class Pipe(io.RawIOBase):
        def __init__(self):
            self.data = b""

        def writable(self):
            return True

        def write(self, b):
            self.data += bytes(b)
            return len(b)
    out = Pipe() if streamed else io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, data, method in entries:
            info = zipfile.ZipInfo(name, (2024, 5, 6, 7, 8, 10))
            info.compress_type = method
            with z.open(info, "w", force_zip64=zip64) as f:
                f.write(data)
    return out.data if streamed else out.getvalue()


def sample_entries():
    return [("f1.txt", b"first\n", zipfile.ZIP_STORED),
            ("f2.bin", noise(300), zipfile.ZIP_STORED),
            ("f3.txt", b"deflated line\n" * 30, zipfile.ZIP_DEFLATED)]


def directory_start(data):
    return struct.unpack_from("<I", data, data.rfind(b"PK\x05\x06") + 16)[0]


def with_gap(data, at, gap):
    """data with gap inserted at offset at (before the directory), the records' offsets moved."""
    start = directory_start(data)
    out = bytearray(data[:at] + gap + data[at:])
    pos = start + len(gap)
    while out[pos:pos + 4] == b"PK\x01\x02":
        offset = struct.unpack_from("<I", out, pos + 42)[0]
        if offset >= at:
            struct.pack_into("<I", out, pos + 42, offset + len(gap))
        pos += 46 + sum(struct.unpack_from("<HHH", out, pos + 28))
    end = out.rfind(b"PK\x05\x06")
    struct.pack_into("<I", out, end + 16, start + len(gap))
    return bytes(out)


def tar_holding(name, data):
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode="w") as t:
        info = tarfile.TarInfo(name)
        info.size = len(data)
        t.addfile(info, io.BytesIO(data))
    return out.getvalue()


def changes(path, work, names):
    """The three kinds of change on path: add new.txt, delete names[0], delete the first entry."""
    adds = os.path.join(work, "adds")
    os.makedirs(adds, exist_ok=True)
    with open(os.path.join(adds, "new.txt"), "wb") as f:
        f.write(ADDED)
    return [["add", path, adds, "new.txt"], ["delete", path, names[0]], ["delete-at", path, "0"]]


def refused_alike(binary, work, label, data, names, code):
    """Every change exits 1 with the code and leaves the file exactly as it was."""
    path = os.path.join(work, "archive.zip")
    problems = []
    for args in changes(path, work, names):
        with open(path, "wb") as f:
            f.write(data)
        inode = os.stat(path).st_ino
        r = zipx(binary, *args)
        with open(path, "rb") as f:
            same = f.read() == data and os.stat(path).st_ino == inode
        err = r.stderr.decode(errors="replace")
        if r.returncode != 1 or "Native error: %05d" % code not in err or not same:
            problems.append("%s: %s: exit %d, file unchanged %s: %s" % (label, args[0], r.returncode, same, err))
    return problems


def read_warnings(binary, work, label, data, rebuilt):
    """list and extract warn once of a rebuilt directory (never else); test fails on it."""
    path = os.path.join(work, "read.zip")
    with open(path, "wb") as f:
        f.write(data)
    problems = []
    for args in (["list", path], ["extract", path, os.path.join(work, "out")], ["test", path]):
        r = zipx(binary, *args)
        warnings = r.stderr.decode(errors="replace").count("no intact central directory")
        if warnings != (1 if rebuilt else 0) or (args[0] == "test" and rebuilt and r.returncode == 0):
            problems.append("%s: %s: exit %d, %d warnings" % (label, args[0], r.returncode, warnings))
    return problems


def foreign_data(binary, work):
    entries = sample_entries()
    whole = python_zip(entries)
    names = [e[0] for e in entries]
    first_end = record_ends(whole)["f1.txt"]
    blob = noise(4000) + whole[:first_end] + noise(6000)  # one local header amid random bytes
    cases = {"random bytes around one local header": (blob, ["f1.txt"], True),
             "a tar holding a zip": (tar_holding("inner.zip", whole), names, True),
             "100 bytes after the end record": (whole + noise(100), names, True),
             "bytes between two entries": (with_gap(whole, first_end, noise(50)), names, False),
             "bytes before the directory": (with_gap(whole, directory_start(whole), noise(50)), names, False)}
    problems = []
    for label, (data, listed, rebuilt) in cases.items():
        problems += refused_alike(binary, work, label, data, listed, 35)
        problems += read_warnings(binary, work, label, data, rebuilt)
    # A whole archive takes every change, and a stub in front of it stays as it is.
    stub = noise(3000)
    for label, data in (("whole archive", whole), ("stub in front", with_gap(whole, 0, stub))):
        for args in changes(os.path.join(work, "whole.zip"), work, names):
            with open(args[1], "wb") as f:
                f.write(data)
            r = zipx(binary, *args)
            with open(args[1], "rb") as f:
                kept = f.read().startswith(data[:data.find(b"PK\x03\x04")])
            if r.returncode != 0 or not kept:
                problems.append("%s: %s: exit %d, front kept %s %s" % (
                    label, args[0], r.returncode, kept, r.stderr.decode(errors="replace")))
    return problems


def entries_of(path):
    with zipfile.ZipFile(path) as z:
        return {i.filename: z.read(i) for i in z.infolist()}


def record_ends(whole):
    """Entry name -> the offset where its local record (descriptor included) ends."""
    with zipfile.ZipFile(io.BytesIO(whole)) as z:
        starts = sorted((i.header_offset, i.filename) for i in z.infolist())
    bounds = [offset for offset, _ in starts[1:]] + [directory_start(whole)]
    return {name: end for (_, name), end in zip(starts, bounds)}


def sweep(binary, work, label, whole, entries, step):
    """Every step-th cut of whole and those next to each record's end, each taking one of the three
    changes in turn. A change may only succeed on the entries the cut holds whole."""
    original = {name: data for name, data, _ in entries}
    names = list(original)
    ends = record_ends(whole)
    path = os.path.join(work, "cut.zip")
    kinds = changes(path, work, names)
    problems = []
    cuts = set(range(30, len(whole), step)) | {end + d for end in ends.values() for d in (-1, 0, 1)}
    for cut in sorted(cuts):
        data = whole[:cut]
        args = kinds[cut % 3]
        with open(path, "wb") as f:
            f.write(data)
        r = zipx(binary, *args)
        with open(path, "rb") as f:
            after = f.read()
        if r.returncode != 0:
            if after != data:
                problems.append("%s cut at %d: %s failed and changed the file" % (label, cut, args[0]))
            continue
        if cut not in ends.values():
            problems.append("%s cut at %d: %s exit 0 dropped the part of an entry" % (label, cut, args[0]))
        expected = {name: data for name, data in original.items() if ends[name] <= cut}
        if args[0] == "add":
            expected["new.txt"] = ADDED
        else:
            expected.pop(names[0], None)
        try:
            have = entries_of(path)
            trouble = checked(path) if expected else []  # unzip -t fails on an empty archive
        except Exception as e:  # noqa: BLE001 - any reader's failure is the finding
            have, trouble = {}, [str(e)]
        if have != expected or trouble:
            problems.append("%s cut at %d: %s exit 0 with %s, other readers: %s" % (
                label, cut, args[0], sorted(have), trouble))
    return problems


def cut_sweep(binary, work):
    for tool in ("unzip", "7z"):
        ziptools.need_tool(tool)
    entries = sample_entries()
    problems = sweep(binary, work, "sized", python_zip(entries), entries, 2)
    streamed = python_zip(entries, streamed=True)
    problems += sweep(binary, work, "streamed", streamed, entries, 4)
    # Cut right before its directory, a streamed archive is whole but for it: it may be repaired.
    path = os.path.join(work, "repair.zip")
    with open(path, "wb") as f:
        f.write(streamed[:streamed.find(b"PK\x01\x02")])
    r = zipx(binary, "delete", path, "f3.txt")
    if r.returncode != 0 or entries_of(path) != {n: d for n, d, _ in entries[:2]}:
        problems.append("cut before the directory: delete exit %d %s" % (r.returncode, r.stderr.decode(errors="replace")))
    return problems


def sizes_missing(binary, work):
    """f2.bin's directory record says all ones for both sizes; its ZIP64 block holds none of them,
    or there is no block."""
    whole = python_zip(sample_entries())
    start = directory_start(whole)
    second = start + 46 + 6  # f1.txt's record has no extra field and no comment
    problems = []
    for label, block in (("an empty ZIP64 block", struct.pack("<HH", 1, 0)), ("no ZIP64 block", b"")):
        record = bytearray(whole[second:second + 46 + 6])
        struct.pack_into("<IIH", record, 20, 0xFFFFFFFF, 0xFFFFFFFF, 6)
        struct.pack_into("<H", record, 30, len(block))
        rest = whole[second + 46 + 6:]
        directory = whole[start:second] + bytes(record) + block + rest[:rest.find(b"PK\x05\x06")]
        end = bytearray(rest[rest.find(b"PK\x05\x06"):])
        struct.pack_into("<I", end, 12, len(directory))
        data = whole[:start] + directory + bytes(end)
        problems += refused_alike(binary, work, label, data, ["f3.txt"], 8)
    return problems


def local_walk(data, sizes):
    """Problems a reader meets walking the local headers from the first byte: each header's version
    says 45 exactly when it holds a ZIP64 block, each descriptor is where its header's form puts it
    (24 bytes after a ZIP64 block, else 16) and holds the entry's values, and the walk ends at the
    directory. sizes: (CRC, compressed size) by local header offset."""
    problems = []
    pos = 0
    while data[pos:pos + 4] == b"PK\x03\x04":
        version, flags, _, _, _, _, _, _, nlen, elen = struct.unpack_from("<HHHHHIIIHH", data, pos + 4)
        extra = data[pos + 30 + nlen:pos + 30 + nlen + elen]
        tags, at = [], 0
        while at + 4 <= len(extra):
            tag, size = struct.unpack_from("<HH", extra, at)
            tags.append(tag)
            at += 4 + size
        zip64 = 1 in tags
        if (version & 0xFF >= 45) != zip64:
            problems.append("local header at %d: version %d, ZIP64 block %s" % (pos, version & 0xFF, zip64))
        if pos not in sizes:
            return problems + ["local header at %d is no entry of the directory" % pos]
        end = pos + 30 + nlen + elen + sizes[pos][1]
        if flags & 8:
            form = "<IIQQ" if zip64 else "<IIII"
            sig, dcrc, dcomp, _ = struct.unpack_from(form, data, end)
            if sig != 0x08074B50 or (dcrc, dcomp) != sizes[pos]:
                problems.append("descriptor at %d does not hold the entry's values" % end)
            end += struct.calcsize(form)
        pos = end
    if data[pos:pos + 4] != b"PK\x01\x02":
        problems.append("the walk over the local headers lost its place at %d" % pos)
    return problems


def zero_local_sizes(data):
    """data with sizes 0 in every local header (the ZIP64 block stays): as other streaming writers."""
    out = bytearray(data)
    with zipfile.ZipFile(io.BytesIO(data)) as z:
        for info in z.infolist():
            struct.pack_into("<II", out, info.header_offset + 18, 0, 0)
    return bytes(out)


def zip64_streamed(binary, work):
    for tool in ("unzip", "7z"):
        ziptools.need_tool(tool)
    entries = [("first.txt", b"first entry\n" * 40, zipfile.ZIP_DEFLATED),
               ("second.bin", noise(300), zipfile.ZIP_STORED),
               ("third.txt", b"third entry\n" * 40, zipfile.ZIP_DEFLATED)]
    written = python_zip(entries, streamed=True, zip64=True)
    problems = []
    for label, data in (("all-ones sizes", written), ("sizes 0", zero_local_sizes(written))):
        folder = os.path.join(work, label.replace(" ", "_"))
        os.makedirs(folder)
        problems += ["%s in the local headers: %s" % (label, p) for p in deleted_first(binary, folder, data, entries)]
    return problems


def deleted_first(binary, work, data, entries):
    path = os.path.join(work, "d.zip")
    with open(path, "wb") as f:
        f.write(data)
    r = zipx(binary, "delete", path, "first.txt")
    if r.returncode != 0:
        return ["delete: exit %d %s" % (r.returncode, r.stderr.decode(errors="replace"))]
    expected = {n: d for n, d, _ in entries[1:]}
    problems = checked(path)
    if entries_of(path) != expected:
        problems.append("the kept entries lost data")
    with open(path, "rb") as f:
        data = f.read()
    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        problems += local_walk(data, {i.header_offset: (i.CRC, i.compress_size) for i in infos})
        problems += ["%s: directory says version %d" % (i.filename, i.extract_version)
                     for i in infos if i.extract_version < 45]
    # Our own walk: the rebuild of the archive without its directory finds every entry whole.
    body = os.path.join(work, "body.zip")
    with open(body, "wb") as f:
        f.write(data[:directory_start(data)])
    out = os.path.join(work, "out")
    r = zipx(binary, "extract", body, out)
    for name, content in expected.items():
        target = os.path.join(out, name)
        if r.returncode != 0 or not os.path.exists(target) or open(target, "rb").read() != content:
            problems.append("rebuild of the changed archive: %s not found whole (exit %d)" % (name, r.returncode))
    return problems


CASES = {"foreign_data": foreign_data, "cut_sweep": cut_sweep, "sizes_missing": sizes_missing,
         "zip64_streamed": zip64_streamed}


def main():
    binary, case = sys.argv[1], sys.argv[2]
    return ziptools.report("zaunplaced-", lambda work: CASES[case](binary, work))


if __name__ == "__main__":
    sys.exit(main())
