# The 3D Projection dialog: the size fields after each change of projections
# and size mode follow the one size rule that replaying uses; an apply with
# an edited width equals iltool's projection at that size, and undo and redo
# of the recorded action give the same image (the action records the size
# applied, not the mode's: byte for byte the action the dialog's code makes
# natively); shots in both styles.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
# Latitude/longitude to angular, upsample, the width typed as 150.
"$VX_REPLAY" action "$VX_DATA/project.vxa" project 200 100 0 2 2 150 200 ||
    vx_fail "vxreplay action failed"
convert-im6.q16 -size 200x100 -seed 9 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
"$VX_ILTOOL" project "$VX_DATA/a.png" "$VX_DATA/projected.png" 150 200 latlong angular \
    2>/dev/null || vx_fail "iltool project failed"
dialog="title=3D Projection"
choose() {  # ID: a radio button clicked
    vx_drive message "$dialog" 0x111 $((0x17040000 | $1)) 0 >/dev/null
}
expect_size() {  # WIDTH HEIGHT WHAT
    vx_expect_eq "$(vx_drive get-text "$dialog" 1021) x $(vx_drive get-text "$dialog" 1022)" \
        "$1 x $2" "$3"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40961
vx_drive wait "$dialog" >/dev/null || vx_fail "no 3D Projection dialog"
expect_size 100 100 "latitude/longitude to angular, downsample"
vx_shot "$dialog" "$VX_OUT/projection-3d-dark.png"
choose 1132 # upsample
expect_size 200 200 "upsample"
choose 1112 # source angular: both square
expect_size 200 100 "angular to angular keeps the image's size"
choose 1115 # target latitude/longitude
expect_size 400 200 "angular to latitude/longitude, upsample"
choose 1131 # downsample
expect_size 200 100 "angular to latitude/longitude, downsample"
choose 1110 # source latitude/longitude
choose 1117 # target angular
choose 1132 # upsample
expect_size 200 200 "back to latitude/longitude to angular, upsample"
# An edited width in upsample mode is applied as it stands.
vx_drive set-text "$dialog" 1021/1031 150 >/dev/null
vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" || vx_fail "the 3D Projection dialog stayed after Apply"
vx_expect_copy projected.png "projection applied"
vx_command 40530
vx_expect_copy a.png "undo of the projection"
vx_command 40531
vx_expect_copy projected.png "redo of the projection"
vx_expect_recorded "$VX_DATA/project.vxa" "3D Projection action"

vx_command 40036
vx_command 40961
vx_drive wait "$dialog" >/dev/null || vx_fail "no 3D Projection dialog in the light style"
vx_shot "$dialog" "$VX_OUT/projection-3d-light.png"
vx_cancel_dialog "$dialog" "3D Projection dialog"
