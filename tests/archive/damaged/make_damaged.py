#!/usr/bin/env python3
"""Writes the damaged-archive corpus beside this script: one small archive per case, named for the
case it guards. Deterministic: running it again gives the same bytes. run_damaged.py says what the
library must make of each.

usage: make_damaged.py [FOLDER]"""
import os
import struct
import sys
import zlib

DOS_TIME, DOS_DATE = 0x6000, 0x5A21  # 2025-01-01 12:00:00


def local_header(name, data_size, crc, size, method=0, flags=0):
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, method, DOS_TIME, DOS_DATE,
                       crc, data_size, size, len(name), 0) + name


def central_header(name, data_size, crc, size, offset, method=0, flags=0):
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flags, method, DOS_TIME, DOS_DATE,
                       crc, data_size, size, len(name), 0, 0, 0, 0, 0x20, offset) + name


def end_record(count, directory_size, directory_offset):
    return struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, directory_size, directory_offset, 0)


def stored(name, data):
    return local_header(name, len(data), zlib.crc32(data), len(data)) + data


def raw_deflate(data):
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    return packer.compress(data) + packer.flush()


TEXT = b"".join(b"line %04d of a text that the library must never hand out damaged\n" % i for i in range(200))


def no_usable_entry_truncated_in_data():
    """The only entry's data is cut off with the rest of the archive: its size reaches past the end."""
    return stored(b"keep.txt", TEXT)[:400]


def no_usable_entry_size_past_end():
    """The only entry claims more data than the file holds; no directory."""
    data = b"short data"
    return local_header(b"keep.txt", 1 << 20, zlib.crc32(data), len(data)) + data


def descriptor_cut_off():
    """A streamed entry (sizes in a data descriptor) whose descriptor was cut off: rebuilt with
    sizes 0, which must not pass for an empty file."""
    packed = raw_deflate(TEXT)
    return local_header(b"keep.txt", 0, 0, 0, method=8, flags=0x08) + packed


def damaged_size_field_before_later_entry():
    """No directory; the first entry's size field points into the middle of nowhere. The entry after
    it must still be found."""
    first = bytearray(stored(b"keep.txt", TEXT))
    struct.pack_into("<I", first, 18, len(TEXT) + 7)
    return bytes(first) + stored(b"later.txt", b"the later entry survives\n")


def two_entries_share_one_record():
    """Two directory entries point at the same local record."""
    record = stored(b"keep.txt", TEXT)
    crc = zlib.crc32(TEXT)
    directory = (central_header(b"keep.txt", len(TEXT), crc, len(TEXT), 0) +
                 central_header(b"copy.txt", len(TEXT), crc, len(TEXT), 0))
    return record + directory + end_record(2, len(directory), len(record))


def overlapping_entries_bomb():
    """Every entry's data quotes the next entry's local header in a stored deflate block and then
    runs into one shared block of 16 MiB of zeros: 24 KB that would extract to hundreds of MB."""
    count, zeros = 24, 16 << 20
    kernel = raw_deflate(b"\0" * zeros)
    names = [b"bomb%02d.bin" % i for i in range(count)]
    header_sizes = [30 + len(n) for n in names]
    # Entry i's data: for each later entry j a 5-byte stored block quoting j's header, then j's
    # header; then the kernel. Entry i's output: the later headers and the zeros.
    data_sizes = [sum(5 + header_sizes[j] for j in range(i + 1, count)) + len(kernel) for i in range(count)]
    zero_crc_parts = {}
    body, offsets, headers = b"", [], []
    for i in range(count):
        headers.append(None)
    # Headers depend on CRCs, which depend on the later headers: build from the last entry back.
    for i in reversed(range(count)):
        later = b"".join(headers[j] for j in range(i + 1, count))
        crc = zlib.crc32(b"\0" * zeros, zlib.crc32(later))
        headers[i] = local_header(names[i], data_sizes[i], crc, len(later) + zeros, method=8)
        zero_crc_parts[i] = (crc, len(later) + zeros)
    for i in range(count):
        offsets.append(len(body))
        body += headers[i]
        if i + 1 < count:
            n = header_sizes[i + 1]
            body += struct.pack("<BHH", 0, n, n ^ 0xFFFF)
    body += kernel
    directory = b"".join(central_header(names[i], data_sizes[i], zero_crc_parts[i][0], zero_crc_parts[i][1],
                                        offsets[i], method=8) for i in range(count))
    return body + directory + end_record(count, len(directory), len(body))


CASES = [no_usable_entry_truncated_in_data, no_usable_entry_size_past_end, descriptor_cut_off,
         damaged_size_field_before_later_entry, two_entries_share_one_record, overlapping_entries_bomb]


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for case in CASES:
        with open(os.path.join(folder, case.__name__ + ".zip"), "wb") as f:
            f.write(case())


if __name__ == "__main__":
    main()
