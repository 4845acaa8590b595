# The Crop dialog on a 760 x 380 picture (a 380 x 190 preview at (272, 97),
# half a preview pixel per image pixel): a band drawn with Ctrl sets the six
# fields, dragging the selection's left edge moves that margin, typing a
# width moves the right margin, and Apply equals the native replay of the
# Crop action with the margins the fields show. Screenshots in both styles.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
convert-im6.q16 -size 760x380 -seed 11 plasma: -depth 8 "PNG24:$VX_DATA/a.png"

mouse() {  # DIALOG MESSAGE KEYS X Y
    vx_drive message "$1" "$2" "$3" $((($5 << 16) | $4)) >/dev/null || vx_fail "mouse message $2"
}
expect_fields() {  # DIALOG LEFT RIGHT TOP BOTTOM WIDTH HEIGHT WHAT
    local have want="$2 $3 $4 $5 $6 $7" i
    for ((i = 0; i < 50; i++)); do
        have="$(vx_field "$1" 1021) $(vx_field "$1" 1023) $(vx_field "$1" 1024) $(vx_field "$1" 1026)"
        have="$have $(vx_field "$1" 1022) $(vx_field "$1" 1025)"
        [ "$have" = "$want" ] && return 0
        sleep 0.1
    done
    vx_fail "$8: fields '$have', want '$want'"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title "a.png *" >/dev/null
dialog=$(vx_tool_open 40956 Crop)
expect_fields "$dialog" 0 0 0 0 760 380 "opened"

# Ctrl + drag from (310, 116) to (575, 229), both pixels included: margins
# 38 / 0.5 = 76 left, (652 - 576) / 0.5 = 152 right, 19 / 0.5 = 38 top and
# (287 - 230) / 0.5 = 114 bottom.
mouse "$dialog" 0x201 0x9 310 116
mouse "$dialog" 0x200 0x9 400 180
mouse "$dialog" 0x200 0x9 575 229
mouse "$dialog" 0x202 0x8 575 229
expect_fields "$dialog" 76 152 38 114 532 228 "band drawn with Ctrl"
vx_styles_shots "$dialog" crop

# The left edge (x 310) dragged 19 pixels right: left 114, the width follows.
mouse "$dialog" 0x201 0x1 310 170
mouse "$dialog" 0x200 0x1 329 170
mouse "$dialog" 0x202 0x0 329 170
expect_fields "$dialog" 114 152 38 114 494 228 "left edge dragged"

# A typed width keeps the left margin; the right one follows.
vx_set_field "$dialog" 1022 480
expect_fields "$dialog" 114 166 38 114 480 228 "width typed"

vx_action_list "$VX_DATA/crop.vxa" 8 iiii 114 166 38 114
"$VX_REPLAY" apply "$VX_DATA/a.png" "$VX_DATA/crop.vxa" "$VX_DATA/cropped.bmp" ||
    vx_fail "vxreplay apply failed"
vx_tool_close "$dialog" 1 "Crop dialog"
vx_expect_copy cropped.bmp "applied crop"
vx_close_changed
