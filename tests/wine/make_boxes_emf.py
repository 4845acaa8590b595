#!/usr/bin/env python3
# Writes an enhanced metafile drawn with known colours: a frame of
# 100 x 50 mm (1000 x 500 logical units of 0.1 mm), a red box over the left
# 40 %, a blue box over the right 40 %, the middle left unpainted.
# usage: make_boxes_emf.py OUT.emf
import struct
import sys


def record(kind, *fields):
    body = struct.pack("<%di" % len(fields), *fields)
    return struct.pack("<II", kind, 8 + len(body)) + body


EMR_HEADER, EMR_EOF, EMR_SELECTOBJECT, EMR_CREATEBRUSHINDIRECT, EMR_RECTANGLE = 1, 14, 37, 39, 43
NULL_PEN = 0x80000008 - (1 << 32)  # stock object, as a signed field
records = [
    record(EMR_CREATEBRUSHINDIRECT, 1, 0, 0x000000FF, 0),  # red (COLORREF 0x00BBGGRR)
    record(EMR_CREATEBRUSHINDIRECT, 2, 0, 0x00FF0000, 0),  # blue
    record(EMR_SELECTOBJECT, NULL_PEN),
    record(EMR_SELECTOBJECT, 1),
    record(EMR_RECTANGLE, 0, 0, 401, 501),
    record(EMR_SELECTOBJECT, 2),
    record(EMR_RECTANGLE, 600, 0, 1001, 501),
    record(EMR_EOF, 0, 16, 20),
]
body = b"".join(records)
header_size = 88
total = header_size + len(body)
header = struct.pack(
    "<II4i4iIIIIHHIIIiiii",
    EMR_HEADER, header_size,
    0, 0, 999, 499,          # bounds, device units
    0, 0, 9999, 4999,        # frame, 0.01 mm
    0x464D4520, 0x10000, total, len(records) + 1,
    3, 0,                    # handles, reserved
    0, 0, 0,                 # description, palette
    1000, 1000,              # reference device, pixels
    100, 100,                # reference device, millimetres
)
assert len(header) == header_size
with open(sys.argv[1], "wb") as f:
    f.write(header + body)
