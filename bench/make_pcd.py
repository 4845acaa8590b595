#!/usr/bin/env python3
"""Writes a synthetic Photo CD image pack with every resolution up to 16Base.

The Base planes hold smooth ramps (a brightest luma of 255, as real scans
have); 4Base and 16Base carry a luma residual on every row, coded with a
three-code Huffman table ("0" 0, "10" +8, "11" -8), in the layout the
reader expects. Usage: make_pcd.py OUT.pcd
"""
import sys

TABLE = bytes([2, 0, 0x00, 0x00, 0, 1, 0x80, 0x00, 8, 1, 0xC0, 0x00, 0xF8])


def planes(width, height, scale):
    out = bytearray()
    for k in range(height // 2):
        for y in (2 * k, 2 * k + 1):
            out += bytes(255 if x * scale < 8 and y * scale < 8 else
                         40 + x * scale * 150 // 768 + y * scale * 40 // 512 for x in range(width))
        out += bytes(120 + x * scale * 70 // 384 for x in range(width // 2))
        out += bytes([110 + k * scale * 60 // 256]) * (width // 2)
    return out


def residual_rows(count, width, limit):
    """Rows 0..count-1 of luma residuals, then the row that ends the pass."""
    out = bytearray()
    for row in range(count + 1):
        bits = (0xFFFFFE << 16) | (min(row, limit) << 1)
        n = 40
        if row < count:
            for x in range(width):
                m = (x // 16 + row // 4) % 3
                bits, n = (bits << 1, n + 1) if m == 2 else ((bits << 2) | (0b10 if m == 0 else 0b11), n + 2)
        pad = -n % 8
        out += (bits << pad).to_bytes((n + pad) // 8, "big")
    return out


def main():
    b = bytearray(0xC0000)
    b[0x800:0x807] = b"PCD_IPI"
    for scale, offset in ((4, 0x2000), (2, 0xB800), (1, 0x30000)):
        p = planes(768 // scale, 512 // scale, scale)
        b[offset:offset + len(p)] = p
    b += bytes(0xC2000 - len(b)) + TABLE
    start4 = (len(b) + 0x7FF) & ~0x3FF
    b += bytes(start4 - len(b))
    data4 = residual_rows(1024, 1536, 1024)
    b += data4
    b += bytes(start4 + ((len(data4) + 0x67FF) & ~0x7FF) - len(b)) + TABLE * 3
    b += bytes(((len(b) + 0x7FF) & ~0x3FF) - len(b))
    b += residual_rows(2048, 3072, 2048) + bytes(4096)
    with open(sys.argv[1], "wb") as f:
        f.write(b)


main()
