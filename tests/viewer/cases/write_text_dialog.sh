# The Write Text dialog: its preview of a picture larger than the window is
# the picture's bottom-right 400 x 340 pixels with the text (and its glow) at
# their corner, as iltool draws it on that cut; Apply writes the same text
# into the picture as iltool does and records the action the dialog's code
# makes natively; undo and redo of it. The dialog opens with the settings the
# preferences remember, which the case seeds: monochrome "Liberation Sans", so
# that the viewer's GDI text and the library's own rasteriser agree to the
# pixel.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
convert-im6.q16 -size 560x420 -seed 8 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
convert-im6.q16 "$VX_DATA/a.png" -crop 400x340+160+80 +repage "PNG24:$VX_DATA/window.png"
text_options=(face="Liberation Sans" height=-24 weight=700 quality=3 color=ffffff anchor=8 x=4
    y=3 effect=0.5 blur=2)
"$VX_ILTOOL" text "$VX_DATA/window.png" "$VX_DATA/window-text.png" 'Vx text' "${text_options[@]}" \
    2>/dev/null || vx_fail "iltool text failed"
"$VX_ILTOOL" text "$VX_DATA/a.png" "$VX_DATA/text.png" 'Vx text' "${text_options[@]}" \
    2>/dev/null || vx_fail "iltool text failed"
"$VX_REPLAY" action "$VX_DATA/text.vxa" text 'Vx text' "${text_options[@]}" ||
    vx_fail "vxreplay action failed"
dialog="title=Write Text"

# The remembered settings: the default font record (height 16, weight 900,
# "Arial") marks where they stand in the preferences file.
vx_viewer_start
vx_viewer_close
prefs="$(vx_settings_dir)/Vx.up"
python3 - "$prefs" <<'PY' || vx_fail "no Write Text settings in the preferences"
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
at = data.find(struct.pack("<5i8B", 16, 0, 0, 0, 900, 0, 0, 0, 0, 0, 0, 0, 0) + b"Arial\0")
if at < 0:
    sys.exit(1)
font = struct.pack("<5i8B32s", -24, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 3, 0, b"Liberation Sans")
rest = struct.pack("<4fi3i4Bf4B", 1, 1, 1, 1, -1, 0, 4, 3, 8, 0, 0, 0, 0.5, 2, 0, 0, 0)
data[at:at + 104] = font + rest
open(path, "wb").write(data)
PY

# A multi-line edit tells no change for a text set from outside: the last
# character is typed as the user would.
type_text() {  # TEXT
    vx_drive set-text "$dialog" 1010 "$1 " >/dev/null || vx_fail "no text field"
    vx_drive key "$dialog,control=1010" 0x23 >/dev/null # End
    vx_drive key "$dialog,control=1010" 0x08 >/dev/null # Backspace
}
preview_is() {  # SHOT REFERENCE: the preview window of the shot
    convert-im6.q16 "$1" -crop 400x340+260+2 +repage "$VX_OUT/preview.png"
    vx_check_same "$VX_OUT/preview.png" "$2"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40962
vx_drive wait "$dialog" >/dev/null || vx_fail "no Write Text dialog"
vx_expect_eq "$(vx_drive get-text "$dialog" 1011)" "bottom-right" "anchor label"
vx_expect_eq "$(vx_drive get-text "$dialog" 1013)" "Glow" "effect label"
vx_expect_screen "$dialog" "$VX_OUT/write-text-empty.png" preview_is "$VX_DATA/window.png"
type_text "Vx text"
vx_expect_screen "$dialog" "$VX_OUT/write-text-dark.png" preview_is "$VX_DATA/window-text.png"
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" || vx_fail "the Write Text dialog stayed after Apply"
vx_expect_copy text.png "text written"
vx_command 40530
vx_expect_copy a.png "undo of the text"
vx_command 40531
vx_expect_copy text.png "redo of the text"
vx_expect_recorded "$VX_DATA/text.vxa" "Write Text action"

vx_command 40036
vx_command 40962
vx_drive wait "$dialog" >/dev/null || vx_fail "no Write Text dialog in the light style"
type_text "Light"
sleep 0.3
vx_shot "$dialog" "$VX_OUT/write-text-light.png"
vx_cancel_dialog "$dialog" "Write Text dialog"
