# The Actions window: the favourites seeded in "fa.up" are listed and
# "Apply all actions" gives iltool's pixels of the same four operations; the
# history lists them with the undone entries marked (greyed) and a double
# click jumps to any state; the favourites export and import as an action
# list file, a bad file leaves them as they were; "Open action ..." adds a
# stored action of "actions.adb" and Delete removes it from the file; with
# "allways apply when opening images" an opened image gets the favourites.
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
convert-im6.q16 -size 60x40 -seed 5 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
convert-im6.q16 -size 50x30 -seed 8 plasma: -depth 8 "PNG24:$VX_DATA/b.png"

settings=$(vx_settings_dir)
mkdir -p "$settings"
# "Fav": Rotate 90, Shift (5, -3), Gauss Filter (blur, 100 %, radius 2, gain
# 0, every channel), Invert.
perl -e 'print "VxAL", pack("V3", 257, 4, 3), pack("v3", unpack("C3", "Fav")),
         pack("V l<", 11, 90), pack("V l< l<", 10, 5, -3),
         pack("V l< f< l< f< C4", 7, 2, 1.0, 2, 0.0, 1, 1, 1, 1), pack("V V", 14, 0)' \
    >"$settings/fa.up"
cp "$settings/fa.up" "$VX_DATA/seeded.vxa"
# The named-action database: "turn" (Rotate 180) and "flip" (Mirror up/down).
name() {
    perl -e 'my @u = unpack("C*", $ARGV[0]); print pack("v112", @u)' "$1"
}
{
    printf 'VxA '
    perl -e 'print pack("V2", 257, 2), pack("V l<", 11, 180)'
    name turn
    perl -e 'print pack("V l<", 12, 0)'
    name flip
} >"$settings/actions.adb"

refs() { # IN PREFIX: PREFIX1..4 after each favourite
    "$VX_ILTOOL" rotate "$VX_DATA/$1" "$VX_DATA/${2}1.png" 90 2>/dev/null &&
        "$VX_ILTOOL" shift "$VX_DATA/${2}1.png" "$VX_DATA/${2}2.png" 5 -3 2>/dev/null &&
        "$VX_ILTOOL" blur "$VX_DATA/${2}2.png" "$VX_DATA/${2}3.png" 2 blur 1 0 2>/dev/null &&
        "$VX_ILTOOL" invert "$VX_DATA/${2}3.png" "$VX_DATA/${2}4.png" 2>/dev/null ||
        vx_fail "iltool failed on $1"
}
refs a.png r
refs b.png s

# items CONTROL WANT WHAT: the list box's items ("DATA NAME" lines, then
# "selected N"), waited for until they match.
items() {
    local have i
    for ((i = 0; i < 50; i++)); do
        have=$(vx_drive items "title=Actions,control=$1") || vx_fail "$3: no list $1"
        [ "$have" = "$2" ] && return 0
        sleep 0.1
    done
    vx_fail "$3: have '$have', want '$2'"
}
lines() { printf '%s\n' "$@"; }

# A double click on history entry N.
jump() {
    vx_drive message "title=Actions,control=1011" 0x186 "$1" >/dev/null # LB_SETCURSEL
    vx_drive post "title=Actions" $((1011 + (2 << 16))) >/dev/null     # LBN_DBLCLK
}
actions_command() {
    vx_drive post "title=Actions" "$1" >/dev/null || vx_fail "no Actions window for $1"
}
# choose TITLE FILE: types the file into the chooser and confirms it.
choose() {
    local dialog
    dialog=$(vx_drive wait "title=$1") || vx_fail "no $1 dialog"
    vx_drive set-text "$dialog" 1148 "$(vx_dos_path "$2")" >/dev/null
    vx_drive press "$dialog" 1 >/dev/null
    vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the $1 dialog stays"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40104
vx_drive wait "title=Actions" >/dev/null || vx_fail "no Actions window"
all_favourites=$(lines "0 Rotate" "0 Shift" "0 Gauss Filter" "0 Invert")
items 1021 "$all_favourites"$'\n'"selected -1" "seeded favourites"
items 1011 "$(lines "0 Open" "selected 0")" "history after opening"

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

# Export, clear, import: the same list comes back, and the file is the one
# that was seeded (name and actions alike).
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
actions_command 40136
dialog=$(vx_drive wait "title=Open action") || vx_fail "no Open action dialog"
vx_drive items "title=Open action,control=1111" >"$VX_OUT/named.txt"
vx_expect_eq "$(cat "$VX_OUT/named.txt")" "$(lines "0 turn" "0 flip" "selected 0")" "stored actions"
vx_expect_eq "$(vx_drive get-text "$dialog" 1112)" "turn" "name of the selection"
vx_shot "$dialog" "$VX_OUT/open_action_dark.png"
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the Open action dialog stays"
items 1021 "$all_favourites"$'\n'"0 Rotate"$'\n'"selected -1" "named action added"

# Delete in the list asks, then removes "flip" from the file at once.
actions_command 40136
dialog=$(vx_drive wait "title=Open action") || vx_fail "no Open action dialog"
vx_drive message "title=Open action,control=1111" 0x186 1 >/dev/null # LB_SETCURSEL
vx_drive post "$dialog" $((1111 + (106 << 16))) >/dev/null # Delete
vx_answer 6 "delete question"
for ((i = 0; i < 50; i++)); do
    [ "$(stat -c %s "$settings/actions.adb")" = 244 ] && break
    sleep 0.1
done
vx_expect_eq "$(stat -c %s "$settings/actions.adb")" 244 "database after the delete"
vx_expect_eq "$(od -An -tu4 -j8 -N4 "$settings/actions.adb" | tr -d ' ')" 1 "entries left"
vx_cancel_dialog "$dialog" "Open action"

# The light style: both windows again.
vx_command 40036
vx_shot "title=Actions" "$VX_OUT/actions_light.png"
actions_command 40136
dialog=$(vx_drive wait "title=Open action") || vx_fail "no Open action dialog"
vx_shot "$dialog" "$VX_OUT/open_action_light.png"
vx_cancel_dialog "$dialog" "Open action"
vx_command 40037

# Apply on opening: a dropped image gets the favourites, and a dropped
# action list applies and joins the history.
vx_drive message "title=Actions,control=1021" 0x186 4 >/dev/null # LB_SETCURSEL
actions_command 40134
items 1021 "$all_favourites"$'\n'"selected -1" "the added favourite removed"
vx_drive post "title=Actions" $((1030 + (0x1704 << 16))) 1 >/dev/null
vx_drop "$VX_DATA/b.png"
vx_answer 6 "question before the edits are thrown away"
vx_wait_title 'b.png *' >/dev/null
vx_expect_copy s4.png "favourites applied on opening"
items 1011 "$(lines "0 Open" "$all_favourites" "selected 4")" "history of the opened image"
perl -e 'print "VxAL", pack("V3", 257, 1, 0), pack("V l<", 12, 1)' >"$VX_DATA/mirror.vxa"
vx_drop "$VX_DATA/mirror.vxa"
convert-im6.q16 "$VX_DATA/s4.png" -flop "PNG24:$VX_DATA/s5.png"
vx_expect_copy s5.png "dropped action list"
items 1011 "$(lines "0 Open" "$all_favourites" "0 Mirror" "selected 5")" "history after the drop"

# "reset" keeps the Open entry and the image; nothing is left to ask about
# at exit, where the favourites go back to "fa.up".
vx_drive press "title=Actions" 1012 >/dev/null
items 1011 "$(lines "0 Open" "selected 0")" "history after reset"
vx_expect_copy s5.png "image after reset"
vx_viewer_close
cmp -s "$settings/fa.up" "$VX_DATA/seeded.vxa" ||
    vx_fail "fa.up at exit: $(xxd "$settings/fa.up" | head -5)"
