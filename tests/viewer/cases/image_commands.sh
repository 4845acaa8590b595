# The direct edits on a real photo: rotate, mirror, invert, swap red/blue and
# the Mode submenu's conversions (the dithering question answered both ways),
# each shown image (through Copy) equal to the library's own tool doing the
# same; undo between the mode changes replays the earlier edits.
photo="$VX_CORPUS/pillow-tests/png/hopper.png"
[ -r "$photo" ] || vx_skip "no corpus photo"
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
cp "$photo" "$VX_DATA/a.png"

il() {  # OPERATION IN OUT ARGS...
    local op=$1 in=$2 out=$3
    shift 3
    "$VX_ILTOOL" "$op" "$VX_DATA/$in" "$VX_DATA/$out" "$@" 2>/dev/null ||
        vx_fail "iltool $op $in"
}


# Answers "Use Dithering?" with Yes (6) or No (7).
answer_dither() {  # BUTTON
    vx_answer "$1" "dithering question"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_expect_copy a.png "opened"

il rotate a.png e1.png 90
vx_command 40903
vx_expect_copy e1.png "rotate 90"
il mirror e1.png e2.png ud
vx_command 40902
vx_expect_copy e2.png "mirror up/down"
il invert e2.png e3.png
vx_command 40906
vx_expect_copy e3.png "invert"
il swaprb e3.png e4.png
vx_command 40907
vx_expect_copy e4.png "swap red/blue"

vx_command 40512 # dithering: ask
# Each mode change from e4, then undone (the snapshot and the four edits).
mode() {  # COMMAND ANSWER REFERENCE WHAT
    vx_command "$1"
    [ "$2" = - ] || answer_dither "$2"
    vx_expect_copy "$3" "$4"
    vx_command 40530
    vx_expect_copy e4.png "undo of $4"
}
il mode e4.png g4d.png grey4 1
mode 40913 6 g4d.png "Gray 4 bps, dithered"
il mode e4.png g4.png grey4 0
mode 40913 7 g4.png "Gray 4 bps, not dithered"
il quantize e4.png i8d.png 256 6 dither
mode 40921 6 i8d.png "Index 8 bps, dithered"
il quantize e4.png i8.png 256 6 plain
mode 40921 7 i8.png "Index 8 bps, not dithered"
il mode e4.png g8.png grey8 0
mode 40914 - g8.png "Gray 8 bps from 8 bits asks nothing"
vx_command 40522 # monochrome: Floyd-Steinberg
il mode e4.png m.png mono 2
mode 40911 - m.png "Monochrome"
