# Named actions through a tool dialog's menu: "Save action" stores the Alpha
# channel dialog's settings in "actions.adb" under a name (the bytes read
# back here), saving under the same name replaces the entry, and "Open
# action" fills the dialog from it again. While one named-action dialog
# runs, a second one is refused with its text. The applied dialog's action
# is listed in the Actions window's history.
convert-im6.q16 -size 60x40 -seed 5 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
settings=$(vx_settings_dir)

TOOL='title=Add Alpha channel'
fields() { # OPACITY BORDER SHAPE
    vx_drive set-text "$TOOL" 1010/1020 "$1" >/dev/null || vx_fail "no opacity field"
    vx_drive set-text "$TOOL" 1011/1021 "$2" >/dev/null || vx_fail "no border field"
    vx_drive post "$TOOL" $((1019 + $3 + (0x1704 << 16))) >/dev/null
}
# save_as NAME SHOT: "Save action" of the tool dialog, the name typed, OK.
save_as() {
    local dialog
    vx_drive post "$TOOL" 40112 >/dev/null
    dialog=$(vx_drive wait "title=Save action") || vx_fail "no Save action dialog"
    [ -z "${2:-}" ] || vx_shot "$dialog" "$VX_OUT/$2"
    vx_drive set-text "$dialog" 1112 "$1" >/dev/null || vx_fail "no name field"
    vx_drive press "$dialog" 1 >/dev/null
    vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the Save action dialog stays"
}
# stored WANT WHAT: the database's entries as "type kind border opacity
# shape name" lines, waited for until they match.
stored() {
    local have i
    for ((i = 0; i < 50; i++)); do
        have=$(perl -e '
            local $/; my $d = <STDIN>;
            my ($magic, $version, $count) = unpack("a4 V V", $d);
            print "$magic $version $count\n";
            my $at = 12;
            for (1 .. $count) {
                my ($type, $kind, $border, $opacity, $shape) =
                    unpack("V l< l< f< l<", substr($d, $at, 20));
                my $name = pack("U*", unpack("v*", substr($d, $at + 968, 224)));
                $name =~ s/\0.*//s;
                printf "%d %d %d %.2f %d %s\n", $type, $kind, $border, $opacity, $shape, $name;
                $at += 968 + 224;
            }' <"$settings/actions.adb" 2>/dev/null)
        [ "$have" = "$1" ] && return 0
        sleep 0.1
    done
    vx_fail "$2: have '$have', want '$1'"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40104
vx_drive wait "title=Actions" >/dev/null || vx_fail "no Actions window"
vx_command 40981
vx_drive wait "$TOOL" >/dev/null || vx_fail "no Alpha channel dialog"

fields 57 5 2
save_as "soft edge" save_action_dark.png
stored "VxA  257 1"$'\n'"4 0 5 0.57 2 soft edge" "stored action"
vx_command 40036
fields 30 2 1
save_as "soft edge" save_action_light.png
vx_command 40037
stored "VxA  257 1"$'\n'"4 0 2 0.30 1 soft edge" "entry replaced"
fields 57 5 2
save_as "wide"
stored "VxA  257 2"$'\n'"4 0 2 0.30 1 soft edge"$'\n'"4 0 5 0.57 2 wide" "second entry"

# "Open action" lists both; the first fills the dialog. The Actions
# window's "Open action ..." meanwhile is refused.
fields 90 9 2
vx_drive post "$TOOL" 40111 >/dev/null
dialog=$(vx_drive wait "title=Open action") || vx_fail "no Open action dialog"
vx_expect_eq "$(vx_drive items "title=Open action,control=1111")" \
    "$(printf '%s\n' "0 soft edge" "0 wide" "selected 0")" "stored alpha actions"
vx_mark
vx_drive post "title=Actions" 40136 >/dev/null
vx_expect_box Information \
    "Cannot open actions while another open/save action dialog is running."
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the Open action dialog stays"
for ((i = 0; i < 50; i++)); do
    [ "$(vx_drive get-text "$TOOL" 1010)" = 30 ] && break
    sleep 0.1
done
vx_expect_eq "$(vx_drive get-text "$TOOL" 1010)" 30 "opacity from the stored action"
vx_expect_eq "$(vx_drive get-text "$TOOL" 1011)" 2 "border from the stored action"

# Applied, the dialog's action joins the history the Actions window lists.
vx_drive press "$TOOL" 1 >/dev/null
vx_drive wait-gone "$TOOL" >/dev/null || vx_fail "the tool dialog stays after Apply"
want=$(printf '%s\n' "0 Open" "0 Alpha Channel" "selected 1")
for ((i = 0; i < 50; i++)); do
    [ "$(vx_drive items "title=Actions,control=1011")" = "$want" ] && break
    sleep 0.1
done
vx_expect_eq "$(vx_drive items "title=Actions,control=1011")" "$want" "history after Apply"
vx_drive press "title=Actions" 1012 >/dev/null # reset: nothing to ask about at exit
vx_viewer_close
