# "Vx Confirmation": without cancel ("Use Dithering?") Escape is ignored and
# the keys N and Y answer at once; with cancel ("Discard changes and exit
# Vx?") Escape answers no.
photo="$VX_CORPUS/pillow-tests/png/hopper.png"
[ -r "$photo" ] || vx_skip "no corpus photo"
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
cp "$photo" "$VX_DATA/a.png"
"$VX_ILTOOL" mode "$VX_DATA/a.png" "$VX_DATA/g4.png" grey4 0 2>/dev/null || vx_fail "iltool"
"$VX_ILTOOL" mode "$VX_DATA/a.png" "$VX_DATA/g4d.png" grey4 1 2>/dev/null || vx_fail "iltool"
box_sel="title=Vx Confirmation"

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40512 # dithering: ask
vx_command 40913 # Gray 4 bps
box=$(vx_drive wait "$box_sel") || vx_fail "no dithering question"
sleep 0.3
vx_shot "$box" "$VX_OUT/confirmation.png"
vx_drive key "$box" 0x1B >/dev/null || vx_fail "cannot press Escape"
sleep 0.5
vx_drive --timeout 1 wait "$box" >/dev/null || vx_fail "Escape closed a question without cancel"
vx_drive key "$box" 0x4E >/dev/null || vx_fail "cannot press N"
vx_drive wait-gone "$box" >/dev/null || vx_fail "N did not answer"
vx_expect_copy g4.png "answered no"
vx_command 40530
vx_expect_copy a.png "undo"
vx_command 40913
box=$(vx_drive wait "$box_sel") || vx_fail "no dithering question"
vx_drive key "$box" 0x59 >/dev/null || vx_fail "cannot press Y"
vx_drive wait-gone "$box" >/dev/null || vx_fail "Y did not answer"
vx_expect_copy g4d.png "answered yes"

# The image has changed: closing asks, and Escape answers no.
vx_drive message class=Vx 0x10 >/dev/null || vx_fail "cannot close the viewer"
box=$(vx_drive wait "$box_sel") || vx_fail "no question on exit"
vx_drive key "$box" 0x1B >/dev/null || vx_fail "cannot press Escape"
vx_drive wait-gone "$box" >/dev/null || vx_fail "Escape did not answer a question with cancel"
sleep 0.3
kill -0 "$VX_VIEWER_PID" 2>/dev/null || vx_fail "the viewer ended after no"
vx_drive message class=Vx 0x10 >/dev/null || vx_fail "cannot close the viewer"
box=$(vx_drive wait "$box_sel") || vx_fail "no question on the second exit"
vx_drive key "$box" 0x59 >/dev/null || vx_fail "cannot press Y"
for ((i = 0; i < 500; i++)); do
    kill -0 "$VX_VIEWER_PID" 2>/dev/null || break
    sleep 0.02
done
kill -0 "$VX_VIEWER_PID" 2>/dev/null && vx_fail "the viewer did not end after yes"
VX_VIEWER_PID=""
