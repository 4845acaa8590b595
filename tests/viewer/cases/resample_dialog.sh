# The Resample dialog: with the aspect lock a typed width sets the height and
# both percentages; an apply with the "Lanczos" filter equals iltool's resize
# and records the action the dialog's code makes natively, undo and redo of
# it; Cancel while a long preview runs (a 6-megapixel picture at 400 % with
# "Blackman") stops it and leaves the picture as it was; shots in both styles.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
"$VX_REPLAY" action "$VX_DATA/resample.vxa" resample 240 160 120 5 ||
    vx_fail "vxreplay action failed"
convert-im6.q16 -size 240x160 -seed 10 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
"$VX_ILTOOL" resize "$VX_DATA/a.png" "$VX_DATA/resampled.png" 120 80 Lanczos 2>/dev/null ||
    vx_fail "iltool resize failed"
convert-im6.q16 -size 3000x2000 xc:gray +noise Random -depth 8 "PNG24:$VX_DATA/big.png"
dialog="title=Resample"
choose() {  # ID: a radio button clicked
    vx_drive message "$dialog" 0x111 $((0x17040000 | $1)) 0 >/dev/null
}
text_of() { vx_drive get-text "$dialog" "$1"; }

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40955
vx_drive wait "$dialog" >/dev/null || vx_fail "no Resample dialog"
vx_drive set-text "$dialog" 1021/1031 120 >/dev/null
vx_expect_eq "$(text_of 1022) $(text_of 1023) $(text_of 1024)" "80 50 50" \
    "height and percentages after width 120"
choose 1015 # Lanczos
vx_shot "$dialog" "$VX_OUT/resample-dark.png"
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" || vx_fail "the Resample dialog stayed after Apply"
vx_expect_copy resampled.png "resample applied"
vx_command 40530
vx_expect_copy a.png "undo of the resample"
vx_command 40531
vx_expect_copy resampled.png "redo of the resample"
vx_expect_recorded "$VX_DATA/resample.vxa" "Resample action"

# 400 % with "Blackman" of a 6-megapixel picture: 96 megapixels, seconds of
# work, cancelled while it runs.
vx_drop "$VX_DATA/big.png"
vx_answer 6 "question before the edits are discarded"
vx_wait_title 'big.png *' >/dev/null
vx_command 40036
vx_command 40955
vx_drive wait "$dialog" >/dev/null || vx_fail "no Resample dialog on the big picture"
vx_drive set-text "$dialog" 1023/1033 400 >/dev/null
vx_expect_eq "$(text_of 1021) $(text_of 1022)" "12000 8000" "size at 400 %"
choose 1016
vx_shot "$dialog" "$VX_OUT/resample-light.png"
vx_cancel_preview "$dialog" 0 "resample"
vx_drive press "$dialog" 2 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the Resample dialog stays"
vx_expect_copy big.png "the picture after a cancelled preview"
