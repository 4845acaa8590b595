#!/usr/bin/env python3
"""Writes the hostile files of the resource-bomb and broken-file faults into a
folder, for hostile_loads.sh to time: JPEG 2000 headers whose structures
explode, a GIF of 300 never-shown 4096 x 4096 frames, a progressive JPEG of
11584 x 11584 whose first AC scan repeats 500 times, CCITT fax strips with bad
code words, PGF headers that do not fit their data, a Cineon image offset
inside its header and PNM headers with signs. Needs cjpeg and tiffcp (the
JPEG and the fax strips are made by them) and ILTOOL (for the PGF and Cineon
files Vx writes). Usage: make_hostile.py OUTDIR ILTOOL
"""
import os
import struct
import subprocess
import sys


def u16(v):
    return struct.pack(">H", v)


def u32(v):
    return struct.pack(">I", v)


# JPEG 2000 code-streams, as the library's tests make them.
def segment(code, body):
    return u16(code) + u16(len(body) + 2) + body


def siz(width, height, components=1):
    body = u16(0) + u32(width) + u32(height) + u32(0) + u32(0) + u32(width) + u32(height)
    body += u32(0) + u32(0) + u16(components) + bytes([7, 1, 1]) * components
    return segment(0xFF51, body)


def cod(levels, block=6, precinct=-1):
    body = bytes([1 if precinct >= 0 else 0, 0, 0, 1, 0, levels, block - 2, block - 2, 0, 1])
    if precinct >= 0:
        body += bytes([precinct | precinct << 4]) * (levels + 1)
    return segment(0xFF52, body)


def qcd(levels):
    return segment(0xFF5C, bytes([2 << 5]) + bytes([9 << 3]) * (3 * levels + 1))


def stream(main, packets, with_tile=True):
    tile = b""
    if with_tile:
        tile = segment(0xFF90, u16(0) + u32(len(packets) + 14) + bytes([0, 1]))
        tile += b"\xFF\x93" + packets
    return b"\xFF\x4F" + main + tile + b"\xFF\xD9"


def lzw_zeros(pixels):
    """GIF LZW data (minimum code size 2) of `pixels` zeros, in sub-blocks:
    the codes a common encoder writes, the table cleared when full."""
    clear, end = 4, 5
    out, acc, bits = bytearray(), 0, 0

    def put(code, width):
        nonlocal acc, bits
        acc |= code << bits
        bits += width
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8

    size, free, length = 3, 6, 0
    put(clear, size)
    left = pixels
    while left > 0:
        # Runs of zeros are the table's strings of lengths 1, 2, 3, ...
        run = min(length + 1, left)
        put(0 if run == 1 else 4 + run, size)
        left -= run
        length = run
        if free >= 1 << size and size < 12:
            size += 1
        if free >= 4095:
            put(clear, size)
            size, free, length = 3, 6, 0
        else:
            free += 1
    put(end, size)
    if bits:
        out.append(acc)
    blocks = bytearray([2])
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes(blocks + b"\x00")


def gif_frames(side, count):
    screen = b"GIF89a" + struct.pack("<HH", side, side) + bytes([0x80, 0, 0]) + bytes(6)
    frame = struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0, 10, 0, 0)
    frame += b"\x2C" + struct.pack("<HHHH", 0, 0, side, side) + b"\x00"
    frame += lzw_zeros(side * side)
    return screen + frame * count + b"\x3B"


def markers(data, code):
    at, found = 2, []
    while at + 4 <= len(data):
        if data[at] != 0xFF:
            at += 1
            continue
        marker = data[at + 1]
        if marker == code:
            found.append(at)
        if marker in (0xD8, 0xD9, 0x00, 0xFF) or 0xD0 <= marker <= 0xD7:
            at += 2 if marker != 0xFF else 1
            continue
        at += 2 + struct.unpack(">H", data[at + 2:at + 4])[0]
    return found


def progressive_bomb(folder, side, copies):
    pgm = os.path.join(folder, "flat.pgm")
    with open(pgm, "wb") as f:
        f.write(b"P5 %d %d 255\n" % (side, side))
        row = bytes([128]) * side
        for _ in range(side):
            f.write(row)
    jpg = os.path.join(folder, "flat.jpg")
    subprocess.run(["cjpeg", "-progressive", "-outfile", jpg, pgm], check=True)
    os.remove(pgm)
    base = open(jpg, "rb").read()
    os.remove(jpg)
    scans = markers(base, 0xDA)
    scan = base[scans[1]:scans[2]]
    return base[:-2] + scan * copies + b"\xFF\xD9"


def tiff_ifd_strips(data):
    """Offsets and byte counts of the strips of a little-endian TIFF."""
    ifd = struct.unpack("<I", data[4:8])[0]
    count = struct.unpack("<H", data[ifd:ifd + 2])[0]
    tags = {}
    for i in range(count):
        at = ifd + 2 + 12 * i
        tag, kind, n, value = struct.unpack("<HHII", data[at:at + 12])
        size = {3: 2, 4: 4}[kind] if kind in (3, 4) else 0
        if size and n * size > 4:
            fmt = "<%d%s" % (n, "H" if size == 2 else "I")
            tags[tag] = list(struct.unpack(fmt, data[value:value + n * size]))
        elif size == 2:
            tags[tag] = [value & 0xFFFF, value >> 16][:n]
        else:
            tags[tag] = [value]
    return tags[273], tags[279]


def fax_with_bad_code_words(folder, codec, garbage):
    width, height, rows = 64, 32, 8
    strips = []
    for s in range(height // rows):
        strips.append(b"".join(bytes([0xF0 if (y + s) % 2 else 0x3C]) * (width // 8)
                               for y in range(rows)))
    pixels = b"".join(strips)
    entries = [(256, 3, width), (257, 3, height), (258, 3, 1), (259, 3, 1), (262, 3, 0),
               (273, 4, None), (277, 3, 1), (278, 3, rows), (279, 4, None)]
    head = 8
    ifd_size = 2 + 12 * len(entries) + 4
    offsets_at = head + ifd_size
    counts_at = offsets_at + 4 * len(strips)
    data_at = counts_at + 4 * len(strips)
    ifd = struct.pack("<H", len(entries))
    for tag, kind, value in entries:
        if tag == 273:
            ifd += struct.pack("<HHII", tag, kind, len(strips), offsets_at)
        elif tag == 279:
            ifd += struct.pack("<HHII", tag, kind, len(strips), counts_at)
        else:
            ifd += struct.pack("<HHIHH", tag, kind, 1, value, 0)
    ifd += struct.pack("<I", 0)
    tables = b"".join(struct.pack("<I", data_at + i * len(strips[0])) for i in range(len(strips)))
    tables += b"".join(struct.pack("<I", len(st)) for st in strips)
    plain = os.path.join(folder, "plain.tif")
    with open(plain, "wb") as f:
        f.write(b"II*\x00" + struct.pack("<I", head) + ifd + tables + pixels)
    fax = os.path.join(folder, "fax.tif")
    subprocess.run(["tiffcp", "-c", codec, plain, fax], check=True)
    data = bytearray(open(fax, "rb").read())
    os.remove(plain)
    os.remove(fax)
    offsets, counts = tiff_ifd_strips(bytes(data))
    at, size = offsets[1], counts[1]
    for i in range(size // 4, size):
        data[at + i] = garbage[i % len(garbage)]
    return bytes(data)


def vx_file(folder, iltool, name):
    """A 16 x 16 RGB picture saved by Vx as `name`."""
    ppm = os.path.join(folder, "small.ppm")
    with open(ppm, "wb") as f:
        f.write(b"P6 16 16 255\n" + bytes([90]) * (16 * 16 * 3))
    out = os.path.join(folder, name)
    subprocess.run([iltool, "convert", ppm, out], check=True, stdout=subprocess.DEVNULL)
    os.remove(ppm)
    data = bytearray(open(out, "rb").read())
    os.remove(out)
    return data


def main():
    folder, iltool = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    zeros = bytes(64)
    files = {
        "j2k-60000-no-tile-data.j2k": stream(siz(60000, 60000) + cod(5) + qcd(5), b"", False),
        "j2k-60000-empty-tile-part.j2k": stream(siz(60000, 60000) + cod(5) + qcd(5), b""),
        "j2k-65535-4x4-code-blocks.j2k": stream(siz(65535, 65535) + cod(5, 2) + qcd(5), zeros),
        "j2k-65535-1x1-precincts.j2k": stream(siz(65535, 65535) + cod(0, 6, 0) + qcd(0), zeros),
        "j2k-8192-2x2-precincts.j2k": stream(siz(8192, 8192) + cod(5, 6, 1) + qcd(5), zeros),
        "j2k-16384-components.j2k": stream(siz(64, 64, 16384) + cod(5) + qcd(5), zeros),
        "j2k-4MB-empty-packets.j2k": stream(siz(4096, 4096) + cod(5, 6, 1) + qcd(5),
                                            bytes(4 << 20)),
        "gif-300-frames-4096.gif": gif_frames(4096, 300),
        "jpeg-11584-500-scans.jpg": progressive_bomb(folder, 11584, 500),
        "tiff-g3-bad-code-words.tif": fax_with_bad_code_words(folder, "g3", b"\x00\x08\x01\x80"),
        "tiff-g4-bad-code-words.tif": fax_with_bad_code_words(folder, "g4", b"\x55\xAA"),
        "pnm-negative-sizes.ppm": b"P6 -1 -1 255 \x01\x02\x03 padding",
        "pnm-negative-floatmap.pfm": b"PF -2 2 -1.0 " + b"x" * 48,
    }
    pgf = vx_file(folder, iltool, "small.pgf")
    raised = bytearray(pgf)
    raised[8:10] = raised[12:14] = bytes([0, 0x40])  # 16384 x 16384
    files["pgf-raised-to-16384.pgf"] = bytes(raised) + bytes(65536)
    indexed = bytearray(pgf)
    indexed[18:21] = bytes([8, 1, 2])  # 8 bits, 1 channel, indexed
    files["pgf-rgb-labelled-indexed.pgf"] = bytes(indexed)
    cin = vx_file(folder, iltool, "small.cin")
    big_endian = cin[:4] == b"\x80\x2A\x5F\xD7"
    cin[4:8] = struct.pack(">I" if big_endian else "<I", 512)
    files["cineon-offset-in-header.cin"] = bytes(cin)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
