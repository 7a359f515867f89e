"""Writes the seed corpus of every fuzz target: make_seeds.py SOURCE_ROOT OUT_FOLDER.

Archives come from zip (when installed) and Python's zipfile, the skin, page and record seeds from
the sample book, pictures are drawn here. Every seed is small, so a replay takes seconds."""
import io
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

FACE_PREFIX = 39716
INTCFG_SIZE = 54016


def put(out, target, name, data):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# ---- archives ----

class Unseekable(io.RawIOBase):
    """A write-only stream without seeking: zipfile then writes data descriptors."""

    def __init__(self):
        self.buffer = bytearray()

    def writable(self):
        return True

    def write(self, b):
        self.buffer += b
        return len(b)


def python_archives():
    archives = {}
    for name, method in (("py_stored", zipfile.ZIP_STORED), ("py_deflated", zipfile.ZIP_DEFLATED)):
        stream = io.BytesIO()
        with zipfile.ZipFile(stream, "w", method) as z:
            z.writestr("readme.txt", "The quick brown fox jumps over the lazy dog.\n" * 8)
            z.writestr("docs/", "")
            z.writestr("docs/notes.txt", "".join(f"line {i}\n" for i in range(40)))
            z.writestr("empty.dat", "")
            z.comment = b"archive comment"
        archives[name] = stream.getvalue()

    stream = io.BytesIO()
    with zipfile.ZipFile(stream, "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("big.txt", "w", force_zip64=True) as f:
            f.write(b"zip64 entry\n" * 20)
    archives["py_zip64"] = stream.getvalue()

    raw = Unseekable()
    with zipfile.ZipFile(raw, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("streamed/a.txt", "streamed entry with a data descriptor\n" * 4)
        z.writestr("streamed/b.txt", "second\n")
    archives["py_streamed"] = bytes(raw.buffer)

    stream = io.BytesIO()
    with zipfile.ZipFile(stream, "w") as z:
        z.writestr("имя.txt", "utf-8 name\n")
        info = zipfile.ZipInfo("\x8f\xe0\xa8\xa2\xa5\xe2.txt")  # cp866 bytes, no UTF-8 flag
        z.writestr(info, "oem name\n")
    archives["py_names"] = stream.getvalue()

    stream = io.BytesIO()
    with zipfile.ZipFile(stream, "w") as z:
        for hostile in ("../climb.txt", "..\\climb2.txt", "/absolute.txt", "C:\\drive.txt", "a/../../up.txt",
                        "../../../../../../../../../../tmp/deep.txt", "\\root.txt", "../archive.zip",
                        "../book/sibling.txt", "../out/sibling.txt", "updated.zip", "existing.txt"):
            z.writestr(hostile, "hostile name\n" if hostile != "existing.txt" else "")
    archives["py_hostile"] = stream.getvalue()

    archives["py_stub"] = b"MZ" + bytes(200) + archives["py_deflated"]
    return archives


def zip_tool_archives(work):
    if shutil.which("zip") is None:
        return {}, {}
    tree = os.path.join(work, "tree")
    os.makedirs(os.path.join(tree, "sub"))
    with open(os.path.join(tree, "a.txt"), "w") as f:
        f.write("plain text\n" * 30)
    with open(os.path.join(tree, "sub", "b.txt"), "w") as f:
        f.write("".join(f"{i}\n" for i in range(100)))

    def zip_of(name, *options):
        path = os.path.join(work, name + ".zip")
        subprocess.run(["zip", "-q", "-r", *options, path, "."], cwd=tree, check=True)
        with open(path, "rb") as f:
            return f.read()

    archives = {
        "zip_deflated": zip_of("deflated"),
        "zip_stored": zip_of("stored", "-0"),
        "zip_encrypted": zip_of("encrypted", "-P", "secret"),
        "zip_wrong_password": zip_of("wrong", "-P", "other"),
    }

    # A split archive needs volumes of at least 64 KiB.
    rng = random.Random(14)
    with open(os.path.join(tree, "noise.bin"), "wb") as f:
        f.write(bytes(rng.getrandbits(8) for _ in range(140000)))
    split = os.path.join(work, "split")
    os.makedirs(split)
    subprocess.run(["zip", "-q", "-r", "-s", "64k", os.path.join(split, "s.zip"), "."], cwd=tree, check=True)
    volumes = sorted(n for n in os.listdir(split) if n != "s.zip") + ["s.zip"]
    joined = b""
    for n in volumes:
        with open(os.path.join(split, n), "rb") as f:
            joined += f.read()
    return archives, {"split_64k": joined}


def damaged_archives(source):
    """The archives the archive tests keep as damaged: each must be refused without harm."""
    folder = os.path.join(source, "tests", "archive", "damaged")
    archives = {}
    for name in sorted(os.listdir(folder)):
        if name.endswith(".zip"):
            with open(os.path.join(folder, name), "rb") as f:
                archives["damaged_" + name[:-4]] = f.read()
    return archives


def write_archives(source, out):
    with tempfile.TemporaryDirectory() as work:
        tool, split = zip_tool_archives(work)
    archives = {**python_archives(), **tool, **damaged_archives(source)}
    for name, data in archives.items():
        put(out, "zip_dir", name + ".zip", data)
        put(out, "zip_extract", name + ".zip", data)
        # As one volume, and cut into 512-byte volumes under both namings.
        put(out, "zip_volumes", name + "_whole", bytes([0x0F]) + data)
        put(out, "zip_volumes", name + "_cut", bytes([0x85]) + data)
        # Both again, lying in the target folder as the updater's pack does.
        put(out, "zip_volumes", name + "_whole_inside", bytes([0x4F]) + data)
        put(out, "zip_volumes", name + "_cut_inside", bytes([0xC5]) + data)
    for name, data in split.items():
        # 64 KiB is 16 << 12: the cuts fall where zip made them.
        put(out, "zip_volumes", name + "_numbered", bytes([0x8C]) + data)
        put(out, "zip_volumes", name + "_lettered", bytes([0x0C]) + data)


# ---- pictures ----

def bmp(width, height, bits, pixels_row, palette=b"", compression=0, top_down=False, masks=b"", header=40):
    """A BMP file image; pixels_row(y) gives the unpadded bytes of row y (bottom row first)."""
    stride = (width * bits + 31) // 32 * 4
    rows = b"".join(pixels_row(y).ljust(stride, b"\0") for y in range(height))
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bits)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, -height if top_down else height, 1, bits, compression,
                           len(rows), 2835, 2835, len(palette) // 4, 0)
        info = (info + masks).ljust(header, b"\0")
    offset = 14 + len(info) + len(palette)
    return b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset) + info + palette + rows


def pictures():
    w, h = 5, 3
    grey = b"".join(struct.pack("<BBBB", i, i, i, 0) for i in range(256))
    return {
        "rgb24": bmp(w, h, 24, lambda y: bytes((x * 40 + y * 7) % 256 for x in range(w * 3))),
        "rgb24_top_down": bmp(w, h, 24, lambda y: bytes(range(y, y + w * 3)), top_down=True),
        "argb32": bmp(w, h, 32, lambda y: bytes((x * 13 + y) % 256 for x in range(w * 4))),
        "pal8": bmp(w, h, 8, lambda y: bytes((x + y * w) * 9 % 256 for x in range(w)), palette=grey),
        "pal4": bmp(w, h, 4, lambda y: bytes([0x12, 0x34, 0x50]), palette=grey[:64]),
        "pal1": bmp(w, h, 1, lambda y: bytes([0xA8]), palette=grey[:8]),
        "rgb565": bmp(w, h, 16, lambda y: b"\x1f\xf8" * w, compression=3,
                      masks=struct.pack("<III", 0xF800, 0x07E0, 0x001F)),
        "rgb555": bmp(w, h, 16, lambda y: b"\xff\x7f" * w),
        "rle8": bmp(w, h, 8, lambda y: b"\x05\x01\x00\x00", palette=grey, compression=1),
        "core": bmp(w, h, 24, lambda y: bytes(w * 3), header=12),
        "v5": bmp(w, h, 32, lambda y: bytes(w * 4), compression=3, header=124,
                  masks=struct.pack("<IIII", 0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
    }


def face_entries(entries):
    out = b""
    for name, data in entries:
        out += str(len(name)).encode() + b"|" + name + str(len(data)).encode() + b"|" + data
    return out


def write_pictures(out):
    pics = pictures()
    for name, data in pics.items():
        put(out, "bmp", name + ".bmp", data)
    entries = [(b"logo.bmp", pics["rgb24"]), (b"notes", b"plain data"), (b"grey_bmp", pics["pal8"])]
    put(out, "face", "entries", face_entries(entries))
    put(out, "face", "one_entry", face_entries(entries[:1]))
    put(out, "face", "damaged_length", face_entries(entries)[:-7] + b"99999|")


# ---- the sample book ----

def write_book(source, out):
    sample = os.path.join(source, "sample")
    with open(os.path.join(sample, "config.txt"), "rb") as f:
        config = f.read().decode("utf-8").encode("cp1251", "replace")
    put(out, "config", "sample_text", b"\0" + config)
    put(out, "config", "sample_head", b"\0" + b"\n".join(config.splitlines()[:12]) + b"\n")
    put(out, "config", "record_head", b"\1" + bytes(64))
    # Values at the edges: sizes that would go negative, every alignment letter, the last action
    # codes, a size beyond 16 bits, and a colour that cannot be read, which ends the loading.
    edges = ["MAINFORM_width=-999", "MAINFORM_height=-99", "DATACENTER_top=999", "DATACENTER_bottom=999",
             "DATACENTER_left=999", "DATACENTER_right=999", "SEARCH_search_width=-99", "SEARCH_search_height=-99",
             "SEARCH_search_halign=\u0441", "HEADER_sound_all_alignhor=c",
             "BUTTON=system,soft,prog.exe,-5,-5,65535,70000,n.bmp,d.bmp,u.bmp,e.bmp,v,\u0441,m,hint,",
             "BUTTON=data,wave,clip.wav,1,1,1,1,n.bmp,d.bmp,u.bmp,e.bmp,v,c,x,,",
             "BUTTON=system,exit,,0,0,0,0,,,,,,r,b,last,", "BACKGROUND_color=0000", "SEARCH_search_font_color=FFFFFF",
             "SEARCH_search_color=zzzzzz", ""]
    put(out, "config", "edges", b"\0" + "\r\n".join(edges).encode("cp1251"))
    data = os.path.join(sample, "data")
    for folder, _, files in os.walk(data):
        for name in sorted(files):
            if name.endswith((".html", ".htm", ".inc")):
                with open(os.path.join(folder, name), "rb") as f:
                    page = f.read().decode("utf-8").encode("cp1251", "replace")
                rel = os.path.relpath(os.path.join(folder, name), data).replace(os.sep, "_")
                put(out, "compose", rel, page)
    # Every spelling of a link the composer rewrites, in both letter cases, and the anchors it keeps.
    links = ('<?template_top=top.htm;template_bot=bot.htm;?><p><a href="a.html">a</a> <a HREF = "b.html">b</a> '
             "<a href='c.html'>c</a> <a Href = 'd.html'>d</a> <img src=\"e.gif\"> <img SRC = \"f.gif\"> "
             "<img src='g.gif'> <img sRc = 'h.gif'> <a href=\"#top\">t</a> <a href = \"#x\">x</a> "
             "<a href='#y'>y</a> <?include(\"data\\inc\\rivers.inc\")?></p>\r\n")
    put(out, "compose", "links", links.encode("cp1251"))


def write_small_seeds(out):
    lists = {
        "plain": b"1|pack1.zip|2048\r\n2|pack2.zip|4096\r\n",
        "mixed_ends": b"3|a.zip|10\n\n4| b.zip |0\r5|c.zip|268435456\n",
        "malformed": b"x|a.zip|1\n",
        "large_version": b"65535|last.zip|1\n65536|over.zip|1\n",
    }
    for name, data in lists.items():
        put(out, "update_list", name, data)

    def short_string(text, room):
        return bytes([len(text)]) + text.ljust(room, b"\0")

    head = struct.pack("<HHHB", 7, 0, 2, 1) + short_string(b"proxy.local", 15) + b"\0" + struct.pack("<HB", 3128, 1)
    head += short_string(b"user", 77) + short_string(b"pass", 77)
    bookmark = short_string(b"1part\\100.html", 255) + short_string(b"01.01.2026 10:00:00", 19)
    bookmark += short_string(b"Rivers", 255) + b"\0"
    record = (head + bookmark).ljust(INTCFG_SIZE, b"\0")
    put(out, "intcfg", "whole", record)
    put(out, "intcfg", "short", record[:600])
    put(out, "intcfg", "bad_lengths", b"\0" * 7 + b"\xff" + record[8:700])
    put(out, "intcfg", "longer", record + b"tail")

    put(out, "registry", "store", b"TOMEREG 1\nK HKCU Software\\Tome\nS HKCU Software\\Tome Path C:%5CBook\n"
                                  b"I HKCU Software\\Tome Volume 70\nK HKLM Software\\Other\n"
                                  b"S HKLM Software\\Other Name %C0%E1%E2\n")
    # Values and key paths over 255 bytes (mutation rarely grows them) and a "%" of a value's own.
    long_text = b"100%25" + b"%C0%E1" * 30 + b"x" * 200
    put(out, "registry", "long_values", b"TOMEREG 1\nS HKCU Software\\Tome Text " + long_text +
                                        b"\nI HKCU Software\\" + b"K" * 270 + b" Volume 7\n")
    put(out, "registry", "damaged", b"TOMEREG 1\nS HKCU A B\nI HKCU Software x 12z\nK HKXX Bad\nS HKCU a%zz b c\n")

    # Archive batches (zip_update_fuzz.cpp): three name forms; add over, rename, commit, delete, add and
    # delete by the bare name, commit. Then a delete and add again in one batch, and a long random run.
    put(out, "zip_update", "batches", bytes([3, 0x40, 1, 0x05, 0xC2, 4, 0x10, 0x1E, 2, 0x20, 0x00, 0x41, 0x07,
                                             0x02, 0xC2, 0x43, 0x03, 0x01, 0x16, 0x00, 0xC6, 0x09, 0x01, 0x46, 0x03]))
    put(out, "zip_update", "delete_and_add", bytes([1, 0x08, 4, 0x30, 0x01, 0x08, 0x00, 0x09, 0x11]))
    put(out, "zip_update", "empty", b"")
    rng = random.Random(21)
    name = lambda: rng.choice((0, 0x40, 0x80)) | rng.choice((0, 1, 2, 3, 6, 7)) | rng.choice((0, 1, 2, 3, 6, 7)) << 3
    run = [7] + [b for _ in range(7) for b in (name(), rng.randrange(8), rng.randrange(256))]
    for kind in (rng.randrange(4) for _ in range(40)):
        run += [kind] + {0: [name(), rng.randrange(256)], 1: [name()], 2: [name(), name()], 3: []}[kind]
    put(out, "zip_update", "long_run", bytes(run))
    # Folder index: make, remove, make in other case; rename to other case; a folder made and removed.
    for mode in (0, 1):
        put(out, "folder_index", f"remake_{mode}", bytes([mode, 0x00, 0x40, 0x09, 0x41, 0x00]))
        put(out, "folder_index", f"rename_{mode}", bytes([mode, 0x24, 0xA4, 0x2D, 0x1B, 0xE4, 0x64]))

    pairs = [(0, b"*.*", b"name"), (1, b"*.TXT", b"readme.txt"), (0, b"a**", b"ab"), (1, b"?b*c?", b"abxxcd"),
             (0, b"*a*a*a*b", b"a" * 40), (1, b"\xc0*", b"\xe0\xe1"), (0, b"x**.*", b"xab"),
             (1, b"**.*", b"")]
    for i, (flags, mask, name) in enumerate(pairs):
        put(out, "wildcard", f"pair{i}", bytes([flags]) + mask + b"\x01" + name)


def main():
    source, out = sys.argv[1], sys.argv[2]
    shutil.rmtree(out, ignore_errors=True)
    write_archives(source, out)
    write_pictures(out)
    write_book(source, out)
    write_small_seeds(out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
