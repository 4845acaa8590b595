# The Shift dialog: shots in both styles; an apply on a real picture equals
# iltool's shift of it, its recorded action is the one the dialog's code makes
# natively, and undo and redo of it give the picture and the shifted one
# again. A stored-looking value typed out of range is clamped by the field.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
"$VX_REPLAY" action "$VX_DATA/shift.vxa" shift 17 -9 || vx_fail "vxreplay action failed"
convert-im6.q16 -size 120x80 -seed 4 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
"$VX_ILTOOL" shift "$VX_DATA/a.png" "$VX_DATA/shifted.png" 17 -9 2>/dev/null ||
    vx_fail "iltool shift failed"
dialog="title=Shift"

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40958
vx_drive wait "$dialog" >/dev/null || vx_fail "no Shift dialog"
vx_shot "$dialog" "$VX_OUT/shift-dark.png"
vx_cancel_dialog "$dialog" "Shift dialog"
vx_command 40036
vx_command 40958
vx_drive wait "$dialog" >/dev/null || vx_fail "no Shift dialog in the light style"
vx_drive set-text "$dialog" 1021/1031 500 >/dev/null
vx_expect_eq "$(vx_drive get-text "$dialog" 1021)" 119 "horizontal field after typing 500"
vx_drive set-text "$dialog" 1021/1031 17 >/dev/null
vx_drive set-text "$dialog" 1022/1032 -9 >/dev/null
vx_shot "$dialog" "$VX_OUT/shift-light.png"
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" || vx_fail "the Shift dialog stayed after Apply"
vx_expect_copy shifted.png "shift applied"
vx_command 40530
vx_expect_copy a.png "undo of the shift"
vx_command 40531
vx_expect_copy shifted.png "redo of the shift"
vx_expect_recorded "$VX_DATA/shift.vxa" "Shift action"
