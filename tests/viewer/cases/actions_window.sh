# The Actions window: the favourites seeded in "fa.up" are listed and
# "Apply all actions" gives iltool's pixels of the same four operations; the
# history lists them with the undone entries marked (greyed) and a double
# click jumps to any state, forwards or back; Space applies the selected
# favourite, which stays selected when the window is closed and reopened.
# shellcheck source=../actions_case.sh
. "$(dirname "${BASH_SOURCE[0]}")/../actions_case.sh"

# A double click on history entry N.
jump() {
    vx_drive message "title=Actions,control=1011" 0x186 "$1" >/dev/null # LB_SETCURSEL
    vx_drive post "title=Actions" $((1011 + (2 << 16))) >/dev/null     # LBN_DBLCLK
}

actions_start
actions_command 40132 # Apply all actions
vx_expect_copy r4.png "all favourites applied"
items 1011 "$(lines "0 Open" "$all_favourites" "selected 4")" "history after applying"

vx_command 40530
vx_command 40530
vx_expect_copy r2.png "two undos"
undone=$(lines "0 Open" "0 Rotate" "0 Shift" "1 Gauss Filter" "1 Invert" "selected 2")
items 1011 "$undone" "undone entries"
vx_shot "title=Actions" "$VX_OUT/actions_dark.png"

jump 4 # forwards over the undone entries
vx_expect_copy r4.png "jump to the last entry"
items 1011 "$(lines "0 Open" "$all_favourites" "selected 4")" "history after the jump"
jump 1 # backwards: the snapshot and the Rotate
vx_expect_copy r1.png "jump back to the rotation"
items 1011 "$(lines "0 Open" "0 Rotate" "1 Shift" "1 Gauss Filter" "1 Invert" "selected 1")" \
    "history after jumping back"

# Space on the selected favourite (Shift) applies it and records it after
# the Rotate, the undone entries dropped.
vx_drive message "title=Actions,control=1021" 0x186 1 >/dev/null # LB_SETCURSEL
vx_drive post "title=Actions" $((1021 + (1 << 16))) >/dev/null   # LBN_SELCHANGE
vx_drive post "title=Actions" $((1021 + (108 << 16))) >/dev/null # Space
vx_expect_copy r2.png "favourite applied with Space"
items 1011 "$(lines "0 Open" "0 Rotate" "0 Shift" "selected 2")" "history after Space"
# "options" opens the menu "VxAF" under the list.
vx_drive press "title=Actions" 1022 >/dev/null
menu=$(vx_drive wait 'class=#32768') || vx_fail "no options menu"
vx_shot "$menu" "$VX_OUT/options_menu.png"
vx_drive key "$menu" 0x1B >/dev/null # Escape
vx_drive wait-gone 'class=#32768' >/dev/null || vx_fail "the options menu stays"
vx_command 40036
vx_shot "title=Actions" "$VX_OUT/actions_light.png"
vx_command 40037

vx_command 40104
vx_drive wait-gone "title=Actions" >/dev/null || vx_fail "the Actions window stays"
vx_command 40104
items 1021 "$all_favourites"$'\n'"selected 1" "selection after reopening"

actions_close r2.png
