# The Perspective Projection dialog on a 101 x 51 picture (its own size as
# the preview, at (411, 166)): the corner fields read the image's corners;
# dragging the top-left handle sets its fields and enables Apply; with "Image to selection" a quadrilateral collapsed to one
# point reads "INVALID !" and disables Apply, and moving a corner away again
# clears it; Apply equals the native replay of the Perspective Projection
# action. Screenshots in both styles and of the invalid state.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
convert-im6.q16 -size 101x51 -seed 17 plasma: -depth 8 "PNG24:$VX_DATA/a.png"

expect_enabled() {  # SEL WANT WHAT
    local i have
    for ((i = 0; i < 50; i++)); do
        have=$(vx_drive enabled "$1")
        [ "$have" = "$2" ] && return 0
        sleep 0.1
    done
    vx_fail "$3: enabled '$have', want '$2'"
}
expect_field() {  # DIALOG ID WANT WHAT
    local i have
    for ((i = 0; i < 50; i++)); do
        have=$(vx_field "$1" "$2")
        [ "$have" = "$3" ] && return 0
        sleep 0.1
    done
    vx_fail "$4: field $2 '$have', want '$3'"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title "a.png *" >/dev/null
dialog=$(vx_tool_open 40960 "Perspective Projection")
expect_field "$dialog" 1050 0 "top-left x"
expect_field "$dialog" 1051 50 "top-left y"
expect_field "$dialog" 1056 100 "bottom-right x"
expect_field "$dialog" 1057 0 "bottom-right y"
expect_enabled "$dialog,control=1" 0 "Apply at the image's own corners"

# The top-left handle (411, 166) dragged by (50, 10): 50 from the left,
# 40 up from the bottom row.
handle="$dialog,control=1031"
vx_drive message "$handle" 0x201 0x1 $(((3 << 16) | 3)) >/dev/null || vx_fail "no handle"
vx_drive message "$handle" 0x200 0x1 $(((13 << 16) | 53)) >/dev/null
vx_drive message "$handle" 0x202 0x0 $(((13 << 16) | 53)) >/dev/null
expect_field "$dialog" 1050 50 "top-left x after the drag"
expect_field "$dialog" 1051 40 "top-left y after the drag"
expect_enabled "$dialog,control=1" 1 "Apply after the drag"
vx_styles_shots "$dialog" perspective

# "Image to selection", then every corner on (50, 40): the library refuses
# the mapping.
vx_drive post "$dialog" $((1041 + (0x1704 << 16))) >/dev/null
for id in 1052 1054 1056; do
    vx_set_field "$dialog" "$id" 50
    vx_set_field "$dialog" $((id + 1)) 40
done
expect_enabled "$dialog,control=1" 0 "Apply with a collapsed quadrilateral"
vx_shot "$dialog" "$VX_OUT/perspective-invalid.png"
# The other corners back to their places: valid again.
for field in "1052 100" "1053 50" "1054 0" "1055 0" "1056 100" "1057 0"; do
    vx_set_field "$dialog" $field
done
expect_enabled "$dialog,control=1" 1 "Apply after the corners moved back"

# Corners (x, y from the bottom) 0 (0.5, 0.8), 1 (1, 1), 2 (1, 0), 3 (0, 0);
# scales 1; black; image to selection; oversampling 1.
vx_action_list "$VX_DATA/p.vxa" 18 10d4fiBB2x 0.5 0.8 1.0 1.0 1.0 0.0 0.0 0.0 1.0 1.0 \
    0.0 0.0 0.0 1.0 -1 1 1
"$VX_REPLAY" apply "$VX_DATA/a.png" "$VX_DATA/p.vxa" "$VX_DATA/mapped.bmp" ||
    vx_fail "vxreplay apply failed"
vx_tool_close "$dialog" 1 "Perspective Projection dialog"
vx_expect_copy mapped.bmp "applied perspective projection"
vx_close_changed
