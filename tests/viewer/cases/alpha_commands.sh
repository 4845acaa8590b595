# The alpha menu's Invert, "Load from file ..." and Remove change the pixels
# as the library's own operations (iltool's) do, each recorded: undo and
# redo after the three edits give the native replay's images. The shown
# image is read through Copy, composited onto the 50 % grey background as
# iltool's "blend" does for the references.
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
convert-im6.q16 -size 48x32 -seed 3 plasma: \( -size 48x32 gradient:white-black \) \
    -alpha off -compose copy_opacity -composite "PNG32:$VX_DATA/b.png"
convert-im6.q16 -size 30x20 -seed 4 plasma: -colorspace gray -depth 8 "$VX_DATA/mask.png"

reference() {  # OUT STEP...
    local out=$1
    shift
    "$VX_ILTOOL" alpha "$VX_DATA/b.png" "$VX_DATA/$out.tmp.png" "$@" blend 2>/dev/null ||
        vx_fail "iltool alpha $*"
    convert-im6.q16 "$VX_DATA/$out.tmp.png" "PNG24:$VX_DATA/$out"
}
reference opened.png
reference inverted.png invert
reference loaded.png invert load "$VX_DATA/mask.png"
reference removed.png invert load "$VX_DATA/mask.png" remove

vx_viewer_start "$(vx_dos_path "$VX_DATA/b.png")"
vx_wait_title 'b.png *' >/dev/null
vx_command 40502 # "Use background" off: the 50 % grey of the preferences
vx_expect_copy opened.png "opened"

vx_command 40983
vx_expect_copy inverted.png "inverted alpha"

vx_command 40985
dialog=$(vx_drive wait "title=Open image file") || vx_fail "no Open dialog for the alpha file"
vx_drive set-text "$dialog" 1148 "$(vx_dos_path "$VX_DATA/mask.png")" >/dev/null
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the Open dialog stays"
vx_expect_copy loaded.png "alpha loaded from the mask"

# With "Use alpha" off Remove drops the alpha (and records that); shown with
# "Use alpha" on again, the colours are the unblended ones.
vx_command 40501
vx_command 40982
vx_command 40501
vx_expect_copy removed.png "alpha removed"

vx_command 40530
vx_expect_copy loaded.png "undo of the removal"
vx_command 40530
vx_expect_copy inverted.png "undo of the load"
vx_command 40530
vx_expect_copy opened.png "undo of the inversion"
vx_command 40531
vx_expect_copy inverted.png "redo of the inversion"
vx_command 40531
vx_expect_copy loaded.png "redo of the load"
vx_command 40531
vx_expect_copy removed.png "redo of the removal"
