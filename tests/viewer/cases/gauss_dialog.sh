# The Gauss Filter dialog: the radius slider's keys and its label, sharpen
# chosen; an apply on a real picture equals iltool's filter with the same
# settings and records the action the dialog's code makes natively, undo and
# redo of it give the picture and the result again; a grey picture shows its
# one "gray channel" box; shots in both styles.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
"$VX_REPLAY" action "$VX_DATA/gauss.vxa" gauss 1 50 7 0 || vx_fail "vxreplay action failed"
convert-im6.q16 -size 120x80 -seed 7 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
convert-im6.q16 "$VX_DATA/a.png" -colorspace gray -type Grayscale -depth 8 "PNG:$VX_DATA/grey.png"
"$VX_ILTOOL" blur "$VX_DATA/a.png" "$VX_DATA/sharp.png" 7 sharpen 0.5 0 2>/dev/null ||
    vx_fail "iltool blur failed"
dialog="title=Gauss Filter"
choose() {  # ID: a radio button clicked
    vx_drive message "$dialog" 0x111 $((0x17040000 | $1)) 0 >/dev/null
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40954
vx_drive wait "$dialog" >/dev/null || vx_fail "no Gauss Filter dialog"
vx_expect_eq "$(vx_drive get-text "$dialog" 1016)" "10 pixel" "radius label at the start"
for _ in 1 2 3; do vx_drive key "$dialog,control=1011" 0x28 >/dev/null; done # Down
sleep 0.2
vx_expect_eq "$(vx_drive get-text "$dialog" 1016)" "7 pixel" "radius label after three steps down"
choose 1021 # sharpen
vx_shot "$dialog" "$VX_OUT/gauss-dark.png"
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" || vx_fail "the Gauss Filter dialog stayed after Apply"
vx_expect_copy sharp.png "sharpen applied"
vx_command 40530
vx_expect_copy a.png "undo of the filter"
vx_command 40531
vx_expect_copy sharp.png "redo of the filter"
vx_expect_recorded "$VX_DATA/gauss.vxa" "Gauss Filter action"
vx_drop "$VX_DATA/grey.png"
vx_answer 6 "question before the edits are discarded"
vx_wait_title 'grey.png *' >/dev/null
vx_command 40036
vx_command 40954
vx_drive wait "$dialog" >/dev/null || vx_fail "no Gauss Filter dialog on a grey picture"
boxes=$(vx_drive children "$dialog" | awk '$2 >= 1030 && $2 <= 1033 { print $4, $5 }' | tr '\n' ';')
vx_expect_eq "$boxes" "gray channel;" "channel boxes of a grey picture"
vx_shot "$dialog" "$VX_OUT/gauss-light.png"
vx_cancel_dialog "$dialog" "Gauss Filter dialog"
