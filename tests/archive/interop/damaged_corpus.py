#!/usr/bin/env python3
"""Damaged archives: each class ends in a rebuilt directory (zipdir lists the entries from their local
headers) or in the library's error message, never in a crash, a sanitizer report, a hang or a huge
allocation. The corpus is generated here from archives made at test time.

usage: damaged_corpus.py ZIPDIR CLASS    (CLASS: one of CLASSES below, or "all")
"""
import os
import random
import struct
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ziptools  # noqa: E402

SANITIZER_MARKS = ("Sanitizer", "runtime error:", "Segmentation", "Aborted")


class Corpus:
    def __init__(self, zipdir, work):
        self.zipdir = zipdir
        self.work = work
        self.runs = 0

    def listing(self, data, label):
        """Runs zipdir on data; returns (exit code, stdout lines, stderr) after checking it ended cleanly."""
        path = os.path.join(self.work, "damaged.zip")
        with open(path, "wb") as f:
            f.write(data)
        self.runs += 1
        try:
            code, out, err = ziptools.zipdir_listing(self.zipdir, path, timeout=60)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{label}: zipdir hung")
        if code < 0 or any(mark in err for mark in SANITIZER_MARKS):
            keep = os.path.join(self.work, "..", f"failed-{label.replace(' ', '_')}.zip")
            with open(keep, "wb") as f:
                f.write(data)
            raise AssertionError(f"{label}: zipdir crashed ({code}):\n{err[:2000]}")
        if code not in (0, 1):
            raise AssertionError(f"{label}: unexpected exit code {code}")
        if code == 1 and not err.strip():
            raise AssertionError(f"{label}: failure without a message")
        return code, out.splitlines(), err

    def expect_rebuilt(self, data, names, label):
        code, lines, err = self.listing(data, label)
        if code != 0:
            raise AssertionError(f"{label}: expected a rebuilt directory, got: {err}")
        got = [line.split("\t")[0] for line in lines]
        if got != names:
            raise AssertionError(f"{label}: rebuilt names {got} instead of {names}")

    def expect_code(self, data, code, label):
        exit_code, _, err = self.listing(data, label)
        if exit_code != 1 or f"Native error: {code:05d}" not in err:
            raise AssertionError(f"{label}: expected native error {code}, got {exit_code}: {err}")


# ---- Base archives -----------------------------------------------------------------------------------

def base_zip(work):
    ziptools.need_tool("zip")
    tree = ziptools.make_sample_tree(os.path.join(work, "tree"))
    out = os.path.join(work, "base.zip")
    ziptools.run(["zip", "-q", "-r", out, "."], cwd=tree)
    return read(out)


def base_streamed(work):
    ziptools.need_tool("zip")
    tree = ziptools.make_sample_tree(os.path.join(work, "tree-s"))
    result = subprocess.run(["zip", "-q", "-r", "-", "."], cwd=tree, capture_output=True, check=True, timeout=300)
    return result.stdout


def base_zip64(work):
    """A small archive with the ZIP64 end record and locator (Python writes them past a count limit)."""
    out = os.path.join(work, "base64.zip")
    limit = zipfile.ZIP_FILECOUNT_LIMIT
    zipfile.ZIP_FILECOUNT_LIMIT = 2
    try:
        with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
            for i in range(4):
                z.writestr(f"e{i}.txt", b"entry %d " % i * 50)
    finally:
        zipfile.ZIP_FILECOUNT_LIMIT = limit
    data = read(out)
    assert data.rfind(b"PK\x06\x07") > 0, "no ZIP64 locator written"
    return data


def read(path):
    with open(path, "rb") as f:
        return f.read()


def names_of(data, work):
    path = os.path.join(work, "names.zip")
    with open(path, "wb") as f:
        f.write(data)
    with zipfile.ZipFile(path) as z:
        return ziptools.display_names(z.infolist())


def end_record_at(data):
    return data.rfind(b"PK\x05\x06")


def central_headers(data):
    start = struct.unpack_from("<I", data, end_record_at(data) + 16)[0]
    if start == 0xFFFFFFFF:
        z64 = data.rfind(b"PK\x06\x06")
        start = struct.unpack_from("<Q", data, z64 + 48)[0]
    offsets = []
    at = start
    while data[at:at + 4] == b"PK\x01\x02":
        offsets.append(at)
        n, e, c = struct.unpack_from("<HHH", data, at + 28)
        at += 46 + n + e + c
    return offsets


def patched(data, at, fmt, value):
    out = bytearray(data)
    struct.pack_into(fmt, out, at, value)
    return bytes(out)


# ---- Classes -------------------------------------------------------------------------------------------

def class_truncated(corpus, work):
    for base in (base_zip(work), base_streamed(work), base_zip64(work)):
        names = names_of(base, work)
        directory = central_headers(base)[0]
        step = max(1, len(base) // 150)
        for cut in list(range(0, len(base), step)) + [len(base) - 1, directory, directory + 1]:
            data = base[:cut]
            if directory <= cut < end_record_at(base):
                corpus.expect_rebuilt(data, names, f"truncated at {cut}")
            else:
                corpus.listing(data, f"truncated at {cut}")


def class_flipped_signature(corpus, work):
    for base in (base_zip(work), base_streamed(work), base_zip64(work)):
        names = names_of(base, work)
        for n, at in enumerate(central_headers(base)):
            data = bytearray(base)
            data[at] ^= 0x20
            corpus.expect_rebuilt(bytes(data), names, f"flipped central signature {n}")


def class_bad_locator(corpus, work):
    base = base_zip64(work)
    expected = corpus.listing(base, "base")[1]
    locator = base.rfind(b"PK\x06\x07")
    z64 = base.rfind(b"PK\x06\x06")
    for offset in (0, 1, len(base) - 10, 2**40, 2**63 - 1, 2**64 - 1):
        # A wrong offset still finds the record where it stands, right before the locator...
        data = patched(base, locator + 8, "<Q", offset)
        code, lines, err = corpus.listing(data, f"locator offset {offset}")
        if code != 0 or lines != expected:
            raise AssertionError(f"locator offset {offset}: {err}")
        # ...and without a record there either it is the library's code 40.
        corpus.expect_code(patched(data, z64, "<I", 0), 40, f"locator offset {offset}, no record")
    corpus.expect_code(patched(base, z64, "<I", 0), 40, "ZIP64 end record signature")


def class_counts_beyond(corpus, work):
    base = base_zip(work)
    names = names_of(base, work)
    end = end_record_at(base)
    for field, fmt, value in ((8, "<H", 0xFFFE), (10, "<H", 0xFFFE), (10, "<H", 60000),
                              (12, "<I", 0x7FFFFFFF), (12, "<I", 0xFFFFFFFE), (16, "<I", 0xFFFFFFFE)):
        data = patched(patched(base, end + 8, "<H", 0xFFFE), end + field, fmt, value) if field == 10 \
            else patched(base, end + field, fmt, value)
        corpus.expect_rebuilt(data, names, f"end record field {field} = {value}")
    base64 = base_zip64(work)
    names64 = names_of(base64, work)
    z64 = base64.rfind(b"PK\x06\x06")
    for field in (24, 32, 40, 48):
        for value in (2**62, 2**64 - 1, len(base64) * 2):
            corpus.expect_rebuilt(patched(base64, z64 + field, "<Q", value), names64,
                                  f"ZIP64 end record field {field} = {value}")


def class_sizes_beyond(corpus, work):
    for base in (base_zip(work), base_zip64(work)):
        names = names_of(base, work)
        for n, at in enumerate(central_headers(base)):
            for field, value in ((20, 0x7FFFFFFF), (24, 0x7FFFFFF0), (42, 0x7FFFFFFF)):
                data = patched(base, at + field, "<I", value)
                if field == 24:  # the uncompressed size alone is not checked against the file
                    corpus.listing(data, f"entry {n} field {field}")
                else:
                    corpus.expect_rebuilt(data, names, f"entry {n} field {field}")


def class_extra_overrun(corpus, work):
    base = base_zip(work)
    names = names_of(base, work)
    expected = corpus.listing(base, "base")[1]
    for n, at in enumerate(central_headers(base)):
        name_length, extra_length = struct.unpack_from("<HH", base, at + 28)
        if extra_length >= 4:
            # The first block claims more than the field holds: parsing stops at the field's end.
            data = patched(base, at + 46 + name_length + 2, "<H", 0xFFFF)
            code, lines, err = corpus.listing(data, f"extra block overrun {n}")
            if code != 0 or lines != expected:
                raise AssertionError(f"extra block overrun {n}: listing changed: {err}")
        corpus.expect_rebuilt(patched(base, at + 30, "<H", 0xFFFF), names, f"extra length overrun {n}")


def class_random_damage(corpus, work):
    rng = random.Random(1055)
    for base in (base_zip(work), base_streamed(work), base_zip64(work)):
        tail = max(0, len(base) - 2000)  # the directory and end records, where damage matters most
        for trial in range(150):
            data = bytearray(base)
            for _ in range(rng.randint(1, 4)):
                at = rng.randrange(tail, len(base)) if rng.random() < 0.8 else rng.randrange(len(base))
                data[at] = rng.randrange(256)
            corpus.listing(bytes(data), f"random damage {trial}")


CLASSES = {name[len("class_"):]: fn for name, fn in globals().items() if name.startswith("class_")}


def main():
    if len(sys.argv) != 3 or (sys.argv[2] not in CLASSES and sys.argv[2] != "all"):
        print(__doc__)
        print("classes:", " ".join(CLASSES))
        return 2
    zipdir = os.path.abspath(sys.argv[1])
    names = list(CLASSES) if sys.argv[2] == "all" else [sys.argv[2]]
    for name in names:
        with tempfile.TemporaryDirectory(prefix="zadir-damaged-") as work:
            corpus = Corpus(zipdir, work)
            CLASSES[name](corpus, work)
            print(f"{name}: {corpus.runs} damaged archives handled")
    return 0


if __name__ == "__main__":
    sys.exit(main())
