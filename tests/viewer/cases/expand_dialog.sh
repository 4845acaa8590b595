# The Expand dialog: the size label follows the all-sides field; an apply
# with specified sides on a real picture equals iltool's expanding crop
# (black borders, the remembered background's default) and records the
# action the dialog's code makes natively; undo and redo of it; shots in
# both styles.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
"$VX_REPLAY" action "$VX_DATA/expand.vxa" expand 5 3 7 0 || vx_fail "vxreplay action failed"
convert-im6.q16 -size 100x80 -seed 6 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
# Left 5, right 3, top 7, bottom 0.
"$VX_ILTOOL" crop "$VX_DATA/a.png" "$VX_DATA/expanded.png" -5 -7 108 87 2>/dev/null ||
    vx_fail "iltool crop failed"
dialog="title=Expand"
choose() {  # ID: a radio button clicked
    vx_drive message "$dialog" 0x111 $((0x17040000 | $1)) 0 >/dev/null
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40957
vx_drive wait "$dialog" >/dev/null || vx_fail "no Expand dialog"
vx_expect_eq "$(vx_drive get-text "$dialog" 1030)" "100 x 80 pixel" "size label at the start"
vx_drive set-text "$dialog" 1020/1030 10 >/dev/null
vx_expect_eq "$(vx_drive get-text "$dialog" 1030)" "120 x 100 pixel" "size label for all sides 10"
vx_shot "$dialog" "$VX_OUT/expand-dark.png"
choose 1026
vx_drive set-text "$dialog" 1021/1031 5 >/dev/null
vx_drive set-text "$dialog" 1022/1032 3 >/dev/null
vx_drive set-text "$dialog" 1023/1033 7 >/dev/null
vx_expect_eq "$(vx_drive get-text "$dialog" 1030)" "108 x 87 pixel" "size label for the sides"
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" || vx_fail "the Expand dialog stayed after Apply"
vx_expect_copy expanded.png "expand applied"
vx_command 40530
vx_expect_copy a.png "undo of the expand"
vx_command 40531
vx_expect_copy expanded.png "redo of the expand"
vx_expect_recorded "$VX_DATA/expand.vxa" "Expand action"

vx_command 40036
vx_command 40957
vx_drive wait "$dialog" >/dev/null || vx_fail "no Expand dialog in the light style"
choose 1026
vx_shot "$dialog" "$VX_OUT/expand-light.png"
vx_cancel_dialog "$dialog" "Expand dialog"
