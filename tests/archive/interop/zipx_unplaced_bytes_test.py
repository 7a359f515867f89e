#!/usr/bin/env python3
"""No `zipx add`, `delete` or `delete-at` loses what it cannot place. CASEs: foreign_data (bytes
around, inside or after an archive: every change exits 1 with code 35, the file as it was; a rebuilt
directory warns once), cut_sweep (archives cut at every byte: exit 0 only at a record's end with every
kept entry whole for other readers, else exit 1 and the file as it was), sizes_missing (all-ones sizes
the ZIP64 block lacks: code 8) and zip64_streamed (streamed ZIP64 entries, one deleted: other readers
pass, descriptors and versions fit, and a walk over the local headers finds every entry).

usage: zipx_unplaced_bytes_test.py ZIPX CASE"""
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import tarfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ziptools  # noqa: E402
from ziptools import get, put  # noqa: E402
from zipx_update_test import checked, zipx  # noqa: E402

RNG = random.Random(21)
ADDED = b"added by the test\n"


def noise(n):
    return bytes(RNG.getrandbits(8) for _ in range(n))


class Unseekable(io.BytesIO):
    def seek(self, *_):
        raise OSError("unseekable")


def python_zip(entries, streamed=False, zip64=False):
    """The archive zipfile writes of (name, data, method) entries; streamed: to an unseekable output."""
    out = Unseekable() if streamed else io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, data, method in entries:
            info = zipfile.ZipInfo(name, (2024, 5, 6, 7, 8, 10))
            info.compress_type = method
            with z.open(info, "w", force_zip64=zip64) as f:
                f.write(data)
    return out.getvalue()


def sample_entries():
    return [("f1.txt", b"first\n", zipfile.ZIP_STORED), ("f2.bin", noise(300), zipfile.ZIP_STORED),
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
        struct.pack_into("<I", out, pos + 42, offset + (len(gap) if offset >= at else 0))
        pos += 46 + sum(struct.unpack_from("<HHH", out, pos + 28))
    struct.pack_into("<I", out, out.rfind(b"PK\x05\x06") + 16, start + len(gap))
    return bytes(out)


def tar_holding(name, data):
    out, info = io.BytesIO(), tarfile.TarInfo(name)
    info.size = len(data)
    with tarfile.open(fileobj=out, mode="w") as t:
        t.addfile(info, io.BytesIO(data))
    return out.getvalue()


def changes(path, work, names):
    """The three kinds of change on path: add new.txt, delete names[0], delete the first entry."""
    put(os.path.join(work, "adds", "new.txt"), ADDED)
    add = ["add", path, os.path.join(work, "adds"), "new.txt"]
    return [add, ["delete", path, names[0]], ["delete-at", path, "0"]] if names else [add]


def refused_alike(binary, work, label, data, names, code):
    """Every change exits 1 with the code and leaves the file exactly as it was."""
    path, problems = os.path.join(work, "archive.zip"), []
    for args in changes(path, work, names):
        put(path, data)
        inode = os.stat(path).st_ino
        r = zipx(binary, *args)
        same = get(path) == data and os.stat(path).st_ino == inode
        if r.returncode != 1 or b"Native error: %05d" % code not in r.stderr or not same:
            problems.append("%s: %s: exit %d, file unchanged %s: %s" % (label, args[0], r.returncode, same, r.stderr))
    return problems


def size_into_directory(whole):
    """f1.txt streamed, junk in its local sizes; the last entry's size reaching into the directory."""
    with zipfile.ZipFile(io.BytesIO(whole)) as z:
        first, last = z.infolist()[0], z.infolist()[-1]
    descriptor = struct.pack("<IIII", 0x08074B50, first.CRC, first.compress_size, first.file_size)
    out = bytearray(with_gap(whole, record_ends(whole)["f1.txt"], descriptor))
    struct.pack_into("<HIII", out, 6, 8, first.CRC, 0xDEADBEEF, 0xDEADBEEF)
    struct.pack_into("<H", out, directory_start(out) + 8, 8)
    struct.pack_into("<I", out, out.rfind(b"PK\x01\x02") + 20, last.compress_size + 100)
    return bytes(out)


def self_extractors(work, whole):
    """[(label, a program, a stray signature and whole, offsets adjusted by zip -A; its stub's length)]."""
    program = shutil.which("unzipsfx")
    if program is None or shutil.which("zip") is None:
        return []
    path, stub = os.path.join(work, "sfx.exe"), get(program) + b"PK\x03\x04" + noise(100)
    put(path, stub + whole)
    subprocess.run(["zip", "-q", "-A", path], check=True)
    return [("self-extractor", get(path), len(stub))]


def foreign_data(binary, work):
    """Entries in front of those listed warn as a rebuilt directory does; a self-extractor takes changes."""
    entries = sample_entries()
    whole, names = python_zip(entries), [e[0] for e in entries]
    first_end = record_ends(whole)["f1.txt"]
    holding = [("first.txt", b"first\n", zipfile.ZIP_STORED), ("inner.zip", whole, zipfile.ZIP_STORED)]
    outer, streamed = python_zip(holding), python_zip(holding, streamed=True)
    rebuilt, in_front = "no intact central directory", "the directory does not list"
    cases = {"random bytes around one local header": (noise(4000) + whole[:first_end] + noise(6000), ["f1.txt"], rebuilt),
             "a tar holding a zip": (tar_holding("inner.zip", whole), names, rebuilt),
             "100 bytes after the end record": (whole + noise(100), names, rebuilt),
             "bytes between two entries": (with_gap(whole, first_end, noise(50)), names, None),
             "bytes before the directory": (with_gap(whole, directory_start(whole), noise(50)), names, None),
             "a zip stored last, cut at the directory": (outer[:directory_start(outer)], names, in_front),
             "a streamed zip cut after a zip it stores": (streamed[:streamed.find(whole) + len(whole)], names, in_front),
             "an empty end record ending the comment":
                 (whole[:-2] + struct.pack("<H", 22) + b"PK\x05\x06" + bytes(18), [], in_front),
             "a size that reaches into the directory": (size_into_directory(whole), names, None)}
    problems, path = [], os.path.join(work, "read.zip")
    for label, (data, listed, warning) in cases.items():
        problems += refused_alike(binary, work, label, data, listed, 35)
        put(path, data)  # list and extract warn once of damage (never else); test fails on it
        for args in (["list", path], ["extract", path, os.path.join(work, "out")], ["test", path]):
            r = zipx(binary, *args)
            warnings = r.stderr.count(b"warning: ")
            if warnings != int(bool(warning)) or (warning and warning.encode() not in r.stderr) or \
                    (args[0] == "test" and (r.returncode == 0) == bool(warning)):
                problems.append("%s: %s: exit %d, %d warnings %s" % (label, args[0], r.returncode, warnings, r.stderr))
    # A whole archive takes every change, and a stub in front of it stays as it is.
    fronts = [("whole archive", whole, 0), ("stub in front", with_gap(whole, 0, noise(3000)), 3000)]
    for label, data, front in fronts + self_extractors(work, whole):
        for args in changes(os.path.join(work, "whole.zip"), work, names):
            put(args[1], data)
            r = zipx(binary, *args)
            if r.returncode != 0 or get(args[1])[:front] != data[:front]:
                problems.append("%s: %s: exit %d, front lost %s" % (label, args[0], r.returncode, r.stderr))
    return problems


def entries_of(path):
    with zipfile.ZipFile(path) as z:
        return {i.filename: z.read(i) for i in z.infolist()}


def record_ends(whole):
    """Entry name -> the offset where its local record (descriptor included) ends."""
    with zipfile.ZipFile(io.BytesIO(whole)) as z:
        starts = sorted((i.header_offset, i.filename) for i in z.infolist())
    return {name: end for (_, name), end in zip(starts, [o for o, _ in starts[1:]] + [directory_start(whole)])}


def sweep(binary, work, label, whole, entries, step):
    """Every step-th cut of whole and those next to each record's end, each taking one of the three
    changes in turn. A change may only succeed on the entries the cut holds whole."""
    original = {name: data for name, data, _ in entries}
    names, ends, path, problems = list(original), record_ends(whole), os.path.join(work, "cut.zip"), []
    kinds = changes(path, work, names)
    for cut in sorted(set(range(30, len(whole), step)) | {end + d for end in ends.values() for d in (-1, 0, 1)}):
        args = kinds[cut % 3]
        put(path, whole[:cut])
        r = zipx(binary, *args)
        if r.returncode != 0:
            if get(path) != whole[:cut]:
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
            have, trouble = entries_of(path), checked(path) if expected else []  # unzip -t fails on an empty archive
        except Exception as e:  # noqa: BLE001 - any reader's failure is the finding
            have, trouble = {}, [str(e)]
        if have != expected or trouble:
            problems.append("%s cut at %d: %s exit 0 with %s, other readers: %s" % (
                label, cut, args[0], sorted(have), trouble))
    return problems


def cut_sweep(binary, work):
    ziptools.need_tool("unzip", "7z")
    entries = sample_entries()
    streamed = python_zip(entries, streamed=True)
    problems = sweep(binary, work, "sized", python_zip(entries), entries, 2) + \
        sweep(binary, work, "streamed", streamed, entries, 4)
    # Cut right before its directory, a streamed archive is whole but for it: it may be repaired.
    path = os.path.join(work, "repair.zip")
    put(path, streamed[:streamed.find(b"PK\x01\x02")])
    r = zipx(binary, "delete", path, "f3.txt")
    if r.returncode != 0 or entries_of(path) != {n: d for n, d, _ in entries[:2]}:
        problems.append("cut before the directory: delete exit %d %s" % (r.returncode, r.stderr))
    return problems


def sizes_missing(binary, work):
    """f2.bin's directory record says all ones for both sizes; its ZIP64 block holds none, or is absent."""
    whole = python_zip(sample_entries())
    start = directory_start(whole)
    second = start + 46 + 6  # f1.txt's record has no extra field and no comment
    end_at = whole.rfind(b"PK\x05\x06")
    problems = []
    for label, block in (("an empty ZIP64 block", struct.pack("<HH", 1, 0)), ("no ZIP64 block", b"")):
        record = bytearray(whole[second:second + 46 + 6])
        struct.pack_into("<IIH", record, 20, 0xFFFFFFFF, 0xFFFFFFFF, 6)
        struct.pack_into("<H", record, 30, len(block))
        directory = whole[start:second] + bytes(record) + block + whole[second + 46 + 6:end_at]
        end = bytearray(whole[end_at:])
        struct.pack_into("<I", end, 12, len(directory))
        problems += refused_alike(binary, work, label, whole[:start] + directory + bytes(end), ["f3.txt"], 8)
        listed = zipx(binary, "list", os.path.join(work, "archive.zip")).stdout.splitlines()
        if listed[1].split(b"\t")[:3] != [b"f2.bin", b"?", b"?"]:
            problems.append("%s: listed as %s" % (label, listed[1]))
    return problems


def local_walk(data, sizes):
    """Problems of a walk over the local headers: version 45 exactly with a ZIP64 block, descriptors of
    24 bytes after one (else 16) holding sizes[offset] (CRC, compressed size), the end at the directory."""
    problems, pos = [], 0
    while data[pos:pos + 4] == b"PK\x03\x04":
        version, flags, _, _, _, _, _, _, nlen, elen = struct.unpack_from("<HHHHHIIIHH", data, pos + 4)
        extra, tags, at = data[pos + 30 + nlen:pos + 30 + nlen + elen], [], 0
        while at + 4 <= len(extra):
            tags.append(struct.unpack_from("<H", extra, at)[0])
            at += 4 + struct.unpack_from("<H", extra, at + 2)[0]
        if (version & 0xFF >= 45) != (1 in tags):
            problems.append("local header at %d: version %d, ZIP64 block %s" % (pos, version & 0xFF, 1 in tags))
        if pos not in sizes:
            return problems + ["local header at %d is no entry of the directory" % pos]
        start, pos = pos, pos + 30 + nlen + elen + sizes[pos][1]
        if flags & 8:
            form = "<IIQQ" if 1 in tags else "<IIII"
            if struct.unpack_from(form, data, pos)[:3] != (0x08074B50, *sizes[start]):
                problems.append("descriptor at %d does not hold the entry's values" % pos)
            pos += struct.calcsize(form)
    if data[pos:pos + 4] != b"PK\x01\x02":
        problems.append("the walk over the local headers lost its place at %d" % pos)
    return problems


def zip64_streamed(binary, work):
    ziptools.need_tool("unzip", "7z")
    entries = [("first.txt", b"first entry\n" * 40, zipfile.ZIP_DEFLATED), ("second.bin", noise(300), zipfile.ZIP_STORED),
               ("third.txt", b"third entry\n" * 40, zipfile.ZIP_DEFLATED)]
    expected, written = {n: d for n, d, _ in entries[1:]}, python_zip(entries, streamed=True, zip64=True)
    zeroed = bytearray(written)  # sizes 0 in every local header, the ZIP64 block kept: as other streaming writers
    with zipfile.ZipFile(io.BytesIO(written)) as z:
        for info in z.infolist():
            struct.pack_into("<II", zeroed, info.header_offset + 18, 0, 0)
    problems = []
    for label, data in (("all-ones sizes", written), ("sizes 0", bytes(zeroed))):
        folder = os.path.join(work, label.replace(" ", "_"))
        path, body, out = (os.path.join(folder, n) for n in ("d.zip", "body.zip", "out"))
        put(path, data)
        r = zipx(binary, "delete", path, "first.txt")
        if r.returncode != 0:
            problems.append("%s: delete: exit %d %s" % (label, r.returncode, r.stderr))
            continue
        found = checked(path) + ([] if entries_of(path) == expected else ["the kept entries lost data"])
        data = get(path)
        with zipfile.ZipFile(path) as z:
            found += local_walk(data, {i.header_offset: (i.CRC, i.compress_size) for i in z.infolist()})
            found += ["%s: directory says version %d" % (i.filename, i.extract_version)
                      for i in z.infolist() if i.extract_version < 45]
        put(body, data[:directory_start(data)])  # our own walk: the rebuild without a directory finds all
        r = zipx(binary, "extract", body, out)
        found += ["rebuild of the changed archive: %s not found whole (exit %d)" % (n, r.returncode)
                  for n, d in expected.items() if r.returncode != 0 or get(os.path.join(out, n), None) != d]
        problems += ["%s in the local headers: %s" % (label, p) for p in found]
    return problems


CASES = {"foreign_data": foreign_data, "cut_sweep": cut_sweep, "sizes_missing": sizes_missing,
         "zip64_streamed": zip64_streamed}

if __name__ == "__main__":
    sys.exit(ziptools.report("zaunplaced-", lambda work: CASES[sys.argv[2]](sys.argv[1], work)))
