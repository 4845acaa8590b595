# The Palette dialog on an 8-bit bitmap whose palette is not in the order of
# use: "Sort" leaves every shown colour as it was while the indices and the
# palette order change (most used first); the sort counts as a change, so
# closing asks "Discard changes and exit Vx?". A red slider step previewed
# and applied changes the selected entry's colour. Screenshots in both
# styles.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"

# 40 x 30 pixels over six colours used 5, 200, 40, 900, 55 and 0 times.
python3 - "$VX_DATA/p.bmp" <<'PY'
import struct, sys
colors = [(200, 30, 30), (30, 200, 30), (30, 30, 200), (220, 220, 40), (40, 200, 220),
          (120, 120, 120)]
counts = [5, 200, 40, 900, 55, 0]
pixels = [i for i, n in enumerate(counts) for _ in range(n)]
w, h = 40, 30
pixels = [pixels[(k * 7) % (w * h)] for k in range(w * h)]  # spread, 7 is prime to 1200
rows = b"".join(bytes(pixels[y * w:(y + 1) * w]) for y in reversed(range(h)))
table = b"".join(bytes((b, g, r, 0)) for r, g, b in colors)
off = 14 + 40 + len(table)
header = struct.pack("<2sIHHI", b"BM", off + len(rows), 0, 0, off)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(rows), 0, 0, len(colors), 0)
open(sys.argv[1], "wb").write(header + info + table + rows)
PY

# BMP CHECK: the indices and the palette as "index colour" per pixel.
pixels_of() {
    python3 - "$1" <<'PY'
import struct, sys
d = open(sys.argv[1], "rb").read()
off = struct.unpack_from("<I", d, 10)[0]
size, w, h, _, bits = struct.unpack_from("<IiiHH", d, 14)
used = struct.unpack_from("<I", d, 46)[0] or (1 << bits)
table = [d[14 + size + 4 * i: 14 + size + 4 * i + 3].hex() for i in range(used)]
stride = (w * bits + 31) // 32 * 4
for y in range(abs(h)):
    print(" ".join("%d:%s" % (i, table[i]) for i in d[off + y * stride: off + y * stride + w]))
PY
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/p.bmp")"
vx_wait_title "p.bmp *" >/dev/null
vx_copy_to "$VX_OUT/before.bmp"
dialog=$(vx_tool_open 40951 Palette)
vx_styles_shots "$dialog" palette
vx_drive post "$dialog" $((1020 + (0x1704 << 16))) >/dev/null || vx_fail "cannot press Sort"
for ((i = 0; i < 50; i++)); do
    vx_copy_to "$VX_OUT/sorted.bmp"
    pixels_of "$VX_OUT/sorted.bmp" >"$VX_OUT/sorted.txt"
    cmp -s "$VX_OUT/sorted.txt" <(pixels_of "$VX_OUT/before.bmp") || break
    sleep 0.1
done
python3 - "$VX_OUT/before.bmp" "$VX_OUT/sorted.bmp" <<'PY' || vx_fail "Sort"
import struct, sys
from collections import Counter
def read(path):
    d = open(path, "rb").read()
    off = struct.unpack_from("<I", d, 10)[0]
    size, w, h, _, bits = struct.unpack_from("<IiiHH", d, 14)
    used = struct.unpack_from("<I", d, 46)[0] or (1 << bits)
    table = [d[14 + size + 4 * i: 14 + size + 4 * i + 3] for i in range(used)]
    stride = (w * bits + 31) // 32 * 4
    px = [i for y in range(abs(h)) for i in d[off + y * stride: off + y * stride + w]]
    return table, px
bt, bp = read(sys.argv[1])
st, sp = read(sys.argv[2])
assert [bt[i] for i in bp] == [st[i] for i in sp], "the shown colours changed"
assert bp != sp, "the indices did not change"
counts = Counter(sp)
used = [counts.get(i, 0) for i in range(6)]
assert used == sorted(used, reverse=True), "entries not ordered by use: %s" % used
assert st[0] == bt[3], "the most used colour is not the first entry"
PY
vx_expect_eq "$(vx_drive count "title=Palette")" 1 "Palette dialogs after Sort"
vx_tool_close "$dialog" 2 "Palette dialog"

# The sort is a change: closing asks; No keeps the viewer.
vx_drive message class=Vx 0x10 >/dev/null || vx_fail "cannot close the viewer"
vx_answer 7 "question on exit after Sort"
sleep 0.3
kill -0 "$VX_VIEWER_PID" 2>/dev/null || vx_fail "the viewer ended after no"

# Red of entry 0 (now the yellow, 220 220 40) to 1000: previewed, applied.
dialog=$(vx_tool_open 40951 Palette)
vx_slider_keys "$dialog" 1011 0x24
vx_drive press "$dialog" 1102 >/dev/null
first_entry() {  # BMP: the first palette entry, blue green red in hex
    python3 -c 'import struct, sys; d = open(sys.argv[1], "rb").read(); s = struct.unpack_from("<I", d, 14)[0]; print(d[14 + s: 17 + s].hex())' "$1"
}
for ((i = 0; i < 50; i++)); do
    vx_copy_to "$VX_OUT/previewed.bmp"
    [ "$(first_entry "$VX_OUT/previewed.bmp")" = 28dcff ] && break
    sleep 0.1
done
vx_expect_eq "$(first_entry "$VX_OUT/previewed.bmp")" 28dcff "previewed first entry"
vx_tool_close "$dialog" 1 "Palette dialog"
vx_copy_to "$VX_OUT/applied.bmp"
cmp -s <(pixels_of "$VX_OUT/applied.bmp") <(pixels_of "$VX_OUT/previewed.bmp") ||
    vx_fail "the applied palette differs from the previewed one"
vx_drive message class=Vx 0x10 >/dev/null
vx_answer 6 "question on exit after the palette edit"
VX_VIEWER_PID=""
