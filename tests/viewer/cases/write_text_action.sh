# A Write Text action dropped as an action-list file draws its text through
# the viewer's GDI text drawing; in monochrome quality the coverage is 0 or
# 1, so the pixels equal iltool's rendering with the library's own
# rasteriser. Undo brings the picture back.
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
convert-im6.q16 -size 120x60 -seed 9 plasma: -depth 8 "PNG24:$VX_DATA/a.png"

# Type 16, its 104 bytes (logical font, colour, alignment, offsets, anchor,
# orientation, settings, effect) and the text as a count and UTF-16 units
# with their terminator.
python3 - "$VX_DATA/text.vxa" <<'PY'
import struct, sys
text = "Vx text"
font = struct.pack("<5i8B32s", -24, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 3, 0, b"Liberation Sans")
block = font + struct.pack("<4fi3i4Bf4B", 1, 1, 1, 1, -1, 1, 5, -3, 4, 0, 0, 0, 0, 0, 0, 0, 0)
assert len(block) == 104
units = text.encode("utf-16-le") + b"\0\0"
action = struct.pack("<i", 16) + block + struct.pack("<I", len(text)) + units
open(sys.argv[1], "wb").write(b"VxAL" + struct.pack("<3I", 257, 1, 0) + action)
PY
"$VX_ILTOOL" text "$VX_DATA/a.png" "$VX_DATA/text.png" 'Vx text' height=-24 weight=700 \
    quality=3 align=1 x=5 y=-3 anchor=4 2>/dev/null || vx_fail "iltool text failed"

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_expect_copy a.png "opened"
vx_drop "$VX_DATA/text.vxa"
vx_expect_copy text.png "text written"
vx_command 40530
vx_expect_copy a.png "undo of the text"
vx_command 40531
vx_expect_copy text.png "redo of the text"
