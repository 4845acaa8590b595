# The Actions window's files: the favourites export and import as an action
# list file, and a bad file leaves them as they were; "Open action ..." adds
# a stored action of "actions.adb" and Delete in its list removes one from
# the file; with "allways apply when opening images" checked an opened image
# gets the favourites (iltool's pixels), and a dropped action list applies
# and joins the history.
# shellcheck source=../actions_case.sh
. "$(dirname "${BASH_SOURCE[0]}")/../actions_case.sh"
convert-im6.q16 -size 50x30 -seed 8 plasma: -depth 8 "PNG24:$VX_DATA/b.png"
refs b.png s
# The named-action database: "turn" (Rotate 180) and "flip" (Mirror up/down).
name() {
    perl -e 'print pack("v112", unpack("C*", $ARGV[0]))' "$1"
}
{
    printf 'VxA '
    perl -e 'print pack("V2", 257, 2), pack("V l<", 11, 180)'
    name turn
    perl -e 'print pack("V l<", 12, 0)'
    name flip
} >"$settings/actions.adb"

# choose TITLE FILE: types the file into the chooser and confirms it.
choose() {
    local dialog
    dialog=$(vx_drive wait "title=$1") || vx_fail "no $1 dialog"
    vx_drive set-text "$dialog" 1148 "$(vx_dos_path "$2")" >/dev/null
    vx_drive press "$dialog" 1 >/dev/null
    vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the $1 dialog stays"
}
open_action() {
    actions_command 40136
    dialog=$(vx_drive wait "title=Open action") || vx_fail "no Open action dialog"
}

actions_start

# Export, clear, import: the same list comes back, and the file is the one
# that was seeded (name and actions alike), ".vxa" added to the typed name.
actions_command 40139
choose "Export actions" "$VX_DATA/exported"
for ((i = 0; i < 50; i++)); do [ -s "$VX_DATA/exported.vxa" ] && break; sleep 0.1; done
cmp -s "$VX_DATA/exported.vxa" "$VX_DATA/seeded.vxa" ||
    vx_fail "export differs: $(xxd "$VX_DATA/exported.vxa" | head -5)"
actions_command 40135
items 1021 "selected -1" "favourites cleared"
actions_command 40138
choose "Import actions" "$VX_DATA/exported.vxa"
items 1021 "$all_favourites"$'\n'"selected -1" "favourites imported"

# A file that is no action list: the favourites stay.
printf 'VxAL\1\1\0\0' >"$VX_DATA/bad.vxa"
vx_mark
actions_command 40138
choose "Import actions" "$VX_DATA/bad.vxa"
vx_expect_box Error "Invalid action list"
items 1021 "$all_favourites"$'\n'"selected -1" "favourites after a bad import"

# "Open action ...": the stored actions by name, the first chosen.
open_action
vx_expect_eq "$(vx_drive items "title=Open action,control=1111")" \
    "$(lines "0 turn" "0 flip" "selected 0")" "stored actions"
vx_expect_eq "$(vx_drive get-text "$dialog" 1112)" "turn" "name of the selection"
vx_shot "$dialog" "$VX_OUT/open_action_dark.png"
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the Open action dialog stays"
items 1021 "$all_favourites"$'\n'"0 Rotate"$'\n'"selected -1" "named action added"

# Delete in the list asks, then removes "flip" from the file at once.
open_action
vx_drive message "title=Open action,control=1111" 0x186 1 >/dev/null # LB_SETCURSEL
vx_drive post "$dialog" $((1111 + (106 << 16))) >/dev/null             # Delete
vx_answer 6 "delete question"
for ((i = 0; i < 50; i++)); do
    [ "$(stat -c %s "$settings/actions.adb")" = 244 ] && break
    sleep 0.1
done
vx_expect_eq "$(stat -c %s "$settings/actions.adb")" 244 "database after the delete"
vx_expect_eq "$(od -An -tu4 -j8 -N4 "$settings/actions.adb" | tr -d ' ')" 1 "entries left"
vx_expect_eq "$(vx_drive items "title=Open action,control=1111")" \
    "$(lines "0 turn" "selected 0")" "stored actions after the delete"
vx_cancel_dialog "$dialog" "Open action"
vx_command 40036
open_action
vx_shot "$dialog" "$VX_OUT/open_action_light.png"
vx_cancel_dialog "$dialog" "Open action"
vx_command 40037

# Remove the added favourite; then a dropped image gets the favourites.
vx_drive message "title=Actions,control=1021" 0x186 4 >/dev/null # LB_SETCURSEL
actions_command 40134
items 1021 "$all_favourites"$'\n'"selected -1" "the added favourite removed"
vx_drive post "title=Actions" $((1030 + (0x1704 << 16))) 1 >/dev/null
vx_drop "$VX_DATA/b.png"
vx_wait_title 'b.png *' >/dev/null
vx_expect_copy s4.png "favourites applied on opening"
items 1011 "$(lines "0 Open" "$all_favourites" "selected 4")" "history of the opened image"
perl -e 'print "VxAL", pack("V3", 257, 1, 0), pack("V l<", 12, 1)' >"$VX_DATA/mirror.vxa"
vx_drop "$VX_DATA/mirror.vxa"
convert-im6.q16 "$VX_DATA/s4.png" -flop "PNG24:$VX_DATA/s5.png"
vx_expect_copy s5.png "dropped action list"
items 1011 "$(lines "0 Open" "$all_favourites" "0 Mirror" "selected 5")" "history after the drop"

actions_close s5.png
