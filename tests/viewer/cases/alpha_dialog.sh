# The "Add Alpha channel" tool dialog: Preview shows the masked image in the
# main window and Original brings the unedited pixels back exactly; Apply
# gives the library's own add (iltool's), also on an indexed GIF; Cancel
# during an apply is ignored until the apply has ended; a second tool
# dialog is refused with the busy guard's text; Escape closes; settings
# stored as a named action come back through "Open action". The shown
# image is read through Copy: "Use alpha" composites it onto the 50 % grey
# background of the preferences ("Use background" off), which iltool's
# "blend" does for the references.
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
convert-im6.q16 -size 60x40 -seed 5 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
convert-im6.q16 -size 50x30 -seed 7 plasma: -colors 16 "$VX_DATA/c.gif"
convert-im6.q16 -size 1600x1200 -seed 2 plasma: -depth 8 "PNG24:$VX_DATA/big.png"

reference() {  # IN OUT STEP...
    local in=$1 out=$2
    shift 2
    "$VX_ILTOOL" alpha "$VX_DATA/$in" "$VX_DATA/$out.tmp.png" "$@" blend 2>/dev/null ||
        vx_fail "iltool alpha $*"
    convert-im6.q16 "$VX_DATA/$out.tmp.png" "PNG24:$VX_DATA/$out"
}
reference a.png add.png add 0.57 5 2
reference c.gif gif-add.png add 0.5 3 1
reference big.png big-add.png add 0.8 100 2
convert-im6.q16 "$VX_DATA/c.gif" "PNG24:$VX_DATA/c.png"

DIALOG='title=Add Alpha channel'
open_dialog() {
    vx_command 40981
    VX_TOOL=$(vx_drive wait "$DIALOG") || vx_fail "no Alpha channel dialog"
}
# Typed values reach the dialog through the spin fields' edits; a radio
# button reports its click with the controls' change code.
settings() {  # OPACITY BORDER SHAPE
    vx_drive set-text "$VX_TOOL" 1010/1020 "$1" >/dev/null || vx_fail "no opacity field"
    vx_drive set-text "$VX_TOOL" 1011/1021 "$2" >/dev/null || vx_fail "no border field"
    local radio=$((1019 + $3))
    vx_drive post "$VX_TOOL" $((radio + (0x1704 << 16))) >/dev/null
}
press() {  # ID
    vx_drive press "$VX_TOOL" "$1" >/dev/null || vx_fail "cannot press $1"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
# The files' own background colours (ImageMagick writes white) stay unused.
vx_command 40502

open_dialog
sleep 0.5
vx_shot "$VX_TOOL" "$VX_OUT/alpha-dark.png"
settings 57 5 2
vx_expect_eq "$(vx_drive get-text "$VX_TOOL" 1010)" 57 "opacity field"
press 1102
vx_expect_copy add.png "preview"
press 1101
vx_expect_copy a.png "original after the preview"

# "Save action" stores the settings under a name, Reset brings the defaults
# and "Open action" the stored settings back.
vx_drive post "$VX_TOOL" 40112 >/dev/null
named=$(vx_drive wait "title=Save action") || vx_fail "no Save action dialog"
vx_drive set-text "$named" 1112 "soft oval" >/dev/null
vx_drive press "$named" 1 >/dev/null
vx_drive wait-gone "$named" >/dev/null || vx_fail "the Save action dialog stays"
vx_drive post "$VX_TOOL" 40110 >/dev/null
vx_expect_eq "$(vx_drive get-text "$VX_TOOL" 1010)" 100 "opacity after Reset"
vx_drive post "$VX_TOOL" 40111 >/dev/null
named=$(vx_drive wait "title=Open action") || vx_fail "no Open action dialog"
vx_expect_eq "$(vx_drive get-text "$named" 1112)" "soft oval" "the stored action's name"
vx_drive press "$named" 1 >/dev/null
vx_drive wait-gone "$named" >/dev/null || vx_fail "the Open action dialog stays"
vx_expect_eq "$(vx_drive get-text "$VX_TOOL" 1010)" 57 "opacity from the stored action"
vx_expect_eq "$(vx_drive get-text "$VX_TOOL" 1011)" 5 "border from the stored action"

# A second tool dialog is refused; the open one stays.
vx_mark
vx_command 40981
vx_expect_box Information "Cannot apply actions while dialog" "'Add Alpha channel' is running."
vx_expect_eq "$(vx_drive count "$DIALOG")" 1 "tool dialogs after the refusal"

vx_command 40036 # the light style
# Under Wine the main window that the closed box activated covers the
# dialog it owns until the dialog is activated again.
vx_drive activate "$VX_TOOL" >/dev/null
sleep 0.5
vx_shot "$VX_TOOL" "$VX_OUT/alpha-light.png"
vx_command 40037
press 1
vx_drive wait-gone "$DIALOG" >/dev/null || vx_fail "the dialog stays after Apply"
vx_expect_copy add.png "applied"
vx_command 40530
vx_expect_copy a.png "undo of the alpha"
vx_command 40531
vx_expect_copy add.png "redo of the alpha"

# Escape closes an idle dialog and leaves the image as it was.
open_dialog
vx_drive key "$VX_TOOL" 0x1B >/dev/null
vx_drive wait-gone "$DIALOG" >/dev/null || vx_fail "Escape left the dialog open"
vx_expect_copy add.png "after Escape"

# An indexed GIF gets alpha (the command reaches the dialog without the menu,
# which greys the alpha items for indexed images).
vx_drop "$VX_DATA/c.gif"
vx_answer 6 "question before the edits are discarded"
vx_wait_title 'c.gif *' >/dev/null
open_dialog
settings 50 3 1
press 1
vx_drive wait-gone "$DIALOG" >/dev/null || vx_fail "the dialog stays after Apply on the GIF"
vx_expect_copy gif-add.png "alpha on the GIF"
vx_command 40530
vx_expect_copy c.png "undo on the GIF"

# Cancel right behind Apply arrives while the apply works: it is ignored,
# the apply completes, is recorded and closes the dialog.
vx_drop "$VX_DATA/big.png"
vx_answer 6 "question before the edits are discarded"
vx_wait_title 'big.png *' >/dev/null
open_dialog
settings 80 100 2
vx_drive post-rounds "$VX_TOOL" 1 0 1 2 >/dev/null
vx_drive wait-gone "$DIALOG" >/dev/null || vx_fail "the dialog stays after Apply and Cancel"
vx_expect_copy big-add.png "apply with a Cancel behind it"
vx_command 40530
vx_expect_copy big.png "undo of the big apply"
