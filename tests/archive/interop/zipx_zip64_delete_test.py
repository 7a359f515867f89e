#!/usr/bin/env python3
"""`zipx delete` of an entry past 4 GiB: the entries behind it move below 4 GiB. Those that no
longer need ZIP64 get 32-bit fields, no ZIP64 block and version 20, in the directory and, where it
agreed with the directory, in the local header; one whose size needs ZIP64 keeps it. The result
passes unzip -t, 7z t and Python's zipfile and holds every kept entry's data.

The 4 GiB entry is a hole of a sparse file, so the test writes a few megabytes.

usage: zipx_zip64_delete_test.py ZIPX"""
import os
import struct
import subprocess
import sys
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ziptools  # noqa: E402

NO32 = 0xFFFFFFFF
BIG = (1 << 32) + 4096     # the deleted entry: stored, all zeros
ZEROS_MIB = 4097           # an entry whose uncompressed size needs ZIP64: deflated zeros


def zip64_block(*values):
    return struct.pack("<HH", 1, 8 * len(values)) + b"".join(struct.pack("<Q", v) for v in values)


def local_header(name, version, flags, method, crc, compressed, size, extra=b""):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, version, flags, method, 0, 0x5A21, crc, compressed, size,
                       len(name), len(extra)) + name + extra


def central_header(name, version, method, crc, compressed, size, offset, extra):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, version, version, 0, method, 0, 0x5A21, crc,
                       compressed, size, len(name), len(extra), 0, 0, 0, 0x20, offset) + name + extra


def deflated_zeros(mib):
    """Raw deflate of mib MiB of zeros, made from one fully flushed MiB repeated, and its CRC."""
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    mebibyte = bytes(1 << 20)
    block = packer.compress(mebibyte) + packer.flush(zlib.Z_FULL_FLUSH)
    crc = 0
    for _ in range(mib):
        crc = zlib.crc32(mebibyte, crc)
    return block * mib + packer.flush(), crc


def make_archive(path):
    """big.bin (deleted), then entries written past 4 GiB as writers leave them: moved.txt with
    version 45 in both headers (as this library writes past 4 GiB), zeros.bin with ZIP64 sizes
    everywhere, plain.txt with version 20 in its local header. Returns the data of the small kept
    entries and the local record of zeros.bin."""
    text = b"moved below 4 GiB\n" * 50
    packed = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = packed.compress(text) + packed.flush()
    zeros, zeros_crc = deflated_zeros(ZEROS_MIB)
    plain = b"stored after the big entry\n"
    with open(path, "wb") as f:
        f.write(local_header(b"big.bin", 45, 0, 0, 0, NO32, NO32, zip64_block(BIG, BIG)))
        f.seek(BIG, os.SEEK_CUR)  # a hole: nothing is written
        central = [central_header(b"big.bin", 45, 0, 0, NO32, NO32, NO32, zip64_block(BIG, BIG, 0))]
        offset = f.tell()
        f.write(local_header(b"moved.txt", 45, 0, 8, zlib.crc32(text), len(packed), len(text)) + packed)
        central.append(central_header(b"moved.txt", 45, 8, zlib.crc32(text), len(packed), len(text), NO32,
                                      zip64_block(offset)))
        offset = f.tell()
        size = ZEROS_MIB << 20
        zeros_record = local_header(b"zeros.bin", 45, 0, 8, zeros_crc, NO32, NO32, zip64_block(size, len(zeros)))
        zeros_record += zeros
        f.write(zeros_record)
        central.append(central_header(b"zeros.bin", 45, 8, zeros_crc, NO32, NO32, NO32,
                                      zip64_block(size, len(zeros), offset)))
        offset = f.tell()
        f.write(local_header(b"plain.txt", 20, 0, 0, zlib.crc32(plain), len(plain), len(plain)) + plain)
        central.append(central_header(b"plain.txt", 45, 0, zlib.crc32(plain), len(plain), len(plain), NO32,
                                      zip64_block(offset)))
        start = f.tell()
        f.write(b"".join(central))
        end = f.tell()
        f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 4, 4, end - start, start))
        f.write(struct.pack("<IIQI", 0x07064B50, 0, end, 1))
        f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 4, 4, NO32, NO32, 0))
    return {b"moved.txt": text, b"plain.txt": plain}, zeros_record


def directory(data):
    """name -> (version needed, compressed, size, offset, extra) of every central header."""
    entries = {}
    at = data.find(b"PK\x01\x02")
    while at >= 0 and data[at:at + 4] == b"PK\x01\x02":
        version, compressed, size, name_length, extra_length, comment_length, offset = (
            struct.unpack_from("<6xH12xIIHHH8xI", data, at))
        name = data[at + 46:at + 46 + name_length]
        extra = data[at + 46 + name_length:at + 46 + name_length + extra_length]
        entries[name] = (version, compressed, size, offset, extra)
        at += 46 + name_length + extra_length + comment_length
    return entries


def field_problems(data):
    problems = []
    entries = directory(data)
    for name, (version, compressed, size, offset, extra) in entries.items():
        needs = name == b"zeros.bin"
        want = (45, True) if needs else (20, False)
        if (version, extra[:2] == b"\x01\x00") != want or offset == NO32 or compressed == NO32:
            problems.append("%s: version %d, extra %s, offset %x, compressed %x" % (
                name, version, extra.hex(), offset, compressed))
            continue
        local_version, local_extra = struct.unpack_from("<4xH22xH", data, offset)
        if needs and (size != NO32 or extra != zip64_block(ZEROS_MIB << 20)):
            problems.append("zeros.bin lost its ZIP64 size: %x %s" % (size, extra.hex()))
        if data[offset + 30:offset + 30 + len(name)] != name or local_version != (45 if needs else 20):
            problems.append("%s: local header at %x does not agree (version %d)" % (name, offset, local_version))
        if needs and local_extra != 20:
            problems.append("zeros.bin: its local ZIP64 block is gone")
    if sorted(entries) != [b"moved.txt", b"plain.txt", b"zeros.bin"]:
        problems.append("entries %s" % sorted(entries))
    if b"PK\x06\x06" in data[data.find(b"PK\x01\x02"):]:
        problems.append("a ZIP64 end record in an archive that needs none")
    return problems


def tool_problems(path, kept, zeros_record):
    """unzip -t and 7z t on the small entries (each tool reads the whole directory), Python's
    zipfile on every entry's record; zeros.bin, too slow to inflate here, must be its old bytes."""
    problems = []
    names = [name.decode() for name in kept]
    for args in (["unzip", "-tqq", path], ["7z", "t", "-bd", path]):
        r = subprocess.run(args + names, capture_output=True)
        if r.returncode != 0:
            problems.append("%s: %d %s" % (args[0], r.returncode, r.stdout.decode(errors="replace")[-500:]))
    with zipfile.ZipFile(path) as z:
        found = {name: z.read(name.decode()) for name in kept}
        zeros = z.getinfo("zeros.bin")
    if found != kept:
        problems.append("kept entries changed: %s" % sorted(found))
    with open(path, "rb") as f:
        f.seek(zeros.header_offset)
        if zeros.file_size != ZEROS_MIB << 20 or f.read(len(zeros_record)) != zeros_record:
            problems.append("zeros.bin changed: %d bytes" % zeros.file_size)
    return problems


def main():
    binary = sys.argv[1]
    for tool in ("unzip", "7z"):
        ziptools.need_tool(tool)

    def check(work):
        path = os.path.join(work, "big.zip")
        kept, zeros_record = make_archive(path)
        r = subprocess.run([binary, "delete", path, "big.bin"], capture_output=True)
        if r.returncode != 0:
            return ["delete: exit %d %s" % (r.returncode, r.stderr.decode(errors="replace"))]
        with open(path, "rb") as f:
            return field_problems(f.read()) + tool_problems(path, kept, zeros_record)
    return ziptools.report("zaz64-delete-", check)


if __name__ == "__main__":
    sys.exit(main())
