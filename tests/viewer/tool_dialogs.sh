# shellcheck shell=bash
# Helpers for the cases of the preview tool dialogs, sourced by them after
# viewer_env.sh. VX_REPLAY is the native vxreplay tool (tools/vxreplay.cpp):
# the same edits and previews without the viewer.

[ -x "${VX_REPLAY:-}" ] || vx_skip "no vxreplay"

# vx_tool_open COMMAND CAPTION: opens a tool dialog with its main-window
# command; prints its selector (the steps that name a control need one).
vx_tool_open() {
    vx_command "$1"
    vx_drive wait "title=$2" >/dev/null || vx_fail "no '$2' dialog"
    printf 'title=%s\n' "$2"
}

# vx_tool_close DIALOG BUTTON WHAT: Apply (1) or Cancel (2), then waits until
# the dialog has gone.
vx_tool_close() {
    vx_drive press "$1" "$2" >/dev/null || vx_fail "cannot press $2 in the $3"
    vx_drive wait-gone "$1" >/dev/null || vx_fail "the $3 stays"
}

# vx_slider_keys DIALOG ID VK...: keys on a slider, as the user presses them.
vx_slider_keys() {
    local dialog=$1 id=$2 key
    shift 2
    for key in "$@"; do
        vx_drive key "$dialog,control=$id" "$key" >/dev/null || vx_fail "no slider $id"
    done
}

# vx_set_field DIALOG ID VALUE: types a value into a spin field (its edit is
# the field's id + 10).
vx_set_field() {
    vx_drive set-text "$1" "$2/$(($2 + 10))" "$3" >/dev/null || vx_fail "cannot type into field $2"
}

# vx_field DIALOG ID: the value a spin field shows.
vx_field() {
    vx_drive get-text "$1" "$2"
}

# vx_expect_preview DIALOG REFERENCE WHAT: the preview rectangle of a preview
# tool dialog (the image fitted into 380 x 380, centred in the 384 x 384 area
# at x 270) equals the reference image, pixel for pixel.
vx_expect_preview() {
    local size w h x y
    size=$(identify-im6.q16 -format '%w %h' "$2")
    read -r w h <<<"$size"
    x=$((270 + (384 - w) / 2))
    y=$(((384 - h) / 2))
    vx_expect_screen "$1" "$VX_OUT/dialog.png" vx_check_preview_part "$x" "$y" "$w" "$h" "$2" ||
        vx_fail "$3"
}

vx_check_preview_part() {  # SHOT X Y W H REFERENCE
    convert-im6.q16 "$1" -crop "${4}x${5}+${2}+${3}" +repage "$VX_OUT/preview.png"
    vx_check_same "$VX_OUT/preview.png" "$6"
}

# vx_action_list FILE TYPE FORMAT VALUES...: an action-list file with one
# action whose block is VALUES packed little-endian by the Python struct
# FORMAT (without its "<").
vx_action_list() {
    python3 - "$@" <<'PY'
import re, struct, sys
path, kind, fmt, values = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
codes = "".join(c * int(n or 1) for n, c in re.findall(r"(\d*)([a-zA-Z])", fmt) if c != "x")
parsed = [float(v) if c in "fd" else int(v) for v, c in zip(values, codes)]
assert len(parsed) == len(codes), "want %d values" % len(codes)
block = struct.pack("<" + fmt, *parsed)
open(path, "wb").write(b"VxAL" + struct.pack("<3I", 257, 1, 0) + struct.pack("<i", kind) + block)
PY
}

# vx_expect_recorded WANT.vxa WHAT: the image's edits as the history
# records them equal, byte for byte, the action list WANT that vxreplay
# built for the same settings with the dialogs' own code. The Actions window
# copies the history to the favourites and exports them as an action list.
vx_expect_recorded() {
    local got="$VX_OUT/recorded.vxa" chooser i
    rm -f "$got"
    vx_command 40104
    vx_drive wait "title=Actions" >/dev/null || vx_fail "no Actions window"
    vx_drive post "title=Actions" 40137 >/dev/null # copy the history to the favourites
    vx_drive post "title=Actions" 40139 >/dev/null # export the favourites
    chooser=$(vx_drive wait "title=Export actions") || vx_fail "no Export actions dialog"
    vx_drive set-text "$chooser" 1148 "$(vx_dos_path "$got")" >/dev/null
    vx_drive press "$chooser" 1 >/dev/null
    vx_drive wait-gone "$chooser" >/dev/null || vx_fail "the Export actions dialog stays"
    for ((i = 0; i < 50; i++)); do [ -s "$got" ] && break; sleep 0.1; done
    cmp -s "$got" "$1" ||
        vx_fail "$2: recorded $(xxd -p "$got" | tr -d '\n'), native $(xxd -p "$1" | tr -d '\n')"
    vx_command 40104
    vx_drive wait-gone "title=Actions" >/dev/null || vx_fail "the Actions window stays"
}

# vx_cancel_preview DIALOG WAIT WHAT: starts the dialog's full-size preview,
# presses Cancel WAIT seconds after the run began, and expects the run to
# stop well within ten seconds (the time is logged), the dialog to stay with
# nothing previewed ("Original" disabled). A preview that had already ended
# would have let Cancel close the dialog.
vx_cancel_preview() {
    local dialog=$1 start elapsed i
    running() { [ "$(vx_drive visible "$dialog,control=2")" = 0 ]; } # the run hides the buttons
    now_ms() { echo $(($(date +%s%N) / 1000000)); }
    vx_drive press "$dialog" 1102 >/dev/null
    for ((i = 0; i < 100; i++)); do running && break; sleep 0.05; done
    running || vx_fail "$3: the preview did not start"
    sleep "$2"
    running || vx_fail "$3: the preview ended before Cancel"
    start=$(now_ms)
    vx_drive press "$dialog" 2 >/dev/null
    while running && (($(now_ms) - start < 60000)); do sleep 0.05; done
    elapsed=$(($(now_ms) - start))
    echo "$3: the preview stopped $elapsed ms after Cancel"
    ((elapsed < 10000)) || vx_fail "$3: the cancelled preview ran on for $elapsed ms"
    vx_expect_eq "$(vx_drive enabled "$dialog,control=1101")" 0 "$3: Original after the cancel"
}

# vx_bmp_indices BMP: the pixel indices of an 8-bit (or less) bitmap, one
# line of hex per row, top row first; nothing for other depths.
vx_bmp_indices() {
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
off = struct.unpack_from("<I", data, 10)[0]
w, h, _, bits = struct.unpack_from("<iiHH", data, 18)
if bits > 8:
    sys.exit(0)
stride = (w * bits + 31) // 32 * 4
rows = []
for y in range(abs(h)):
    row = data[off + y * stride: off + (y + 1) * stride]
    per = 8 // bits
    vals = [(row[x // per] >> (8 - bits * (x % per + 1))) & ((1 << bits) - 1) for x in range(w)]
    rows.append(bytes(vals).hex())
if h > 0:
    rows.reverse()
print("\n".join(rows))
PY
}

# vx_copy_to FILE: copies the shown image into FILE (.bmp) through CF_DIB.
vx_copy_to() {
    vx_drive clip-empty
    vx_command 40421
    vx_drive clip-dib "$(vx_dos_path "$1")" >/dev/null || vx_fail "Copy left no bitmap"
}

# vx_styles_shots DIALOG NAME: screenshots of the dialog in the light and the
# dark style, kept in the case's out/ folder.
vx_styles_shots() {
    vx_command 40036
    sleep 0.5
    vx_shot "$1" "$VX_OUT/$2-light.png"
    vx_command 40037
    sleep 0.5
    vx_shot "$1" "$VX_OUT/$2-dark.png"
}

# vx_close_changed: closes a viewer whose image has changed, answering yes
# to "Discard changes and exit Vx?".
vx_close_changed() {
    vx_drive message class=Vx 0x10 >/dev/null || vx_fail "no main window to close"
    vx_answer 6 "question on exit"
    local i
    for ((i = 0; i < 500; i++)); do
        kill -0 "$VX_VIEWER_PID" 2>/dev/null || break
        sleep 0.02
    done
    kill -0 "$VX_VIEWER_PID" 2>/dev/null && vx_fail "the viewer did not end after yes"
    wait "$VX_VIEWER_PID" 2>/dev/null || true
    VX_VIEWER_PID=""
}
