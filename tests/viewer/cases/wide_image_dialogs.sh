# A 10000 x 1 image (a 380 x 1 preview) opens every preview dialog of this
# kind without failure, and an indexed one the Palette dialog; a perspective
# corner typed on it maps without a fault (one row: the fields' y keep the
# corners), and Apply equals the native replay.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
convert-im6.q16 -size 10000x1 gradient:red-blue -depth 8 "PNG24:$VX_DATA/w.png"
convert-im6.q16 "$VX_DATA/w.png" -colors 16 "$VX_DATA/w.gif"

vx_viewer_start "$(vx_dos_path "$VX_DATA/w.png")"
vx_wait_title "w.png *" >/dev/null
for dialog in "40952 Tonemapping" "40953 Color Filter" "40956 Crop" "40959 Affine Projection" \
    "40960 Perspective Projection"; do
    read -r command caption <<<"$dialog"
    window=$(vx_tool_open "$command" "$caption")
    vx_shot "$window" "$VX_OUT/wide-$command.png"
    vx_tool_close "$window" 2 "$caption dialog"
done

# The top-right corner 2000 pixels in from the right; its y stays 1.
window=$(vx_tool_open 40960 "Perspective Projection")
vx_set_field "$window" 1052 7999
vx_expect_eq "$(vx_field "$window" 1053)" 0 "top-right y field of one row"
vx_action_list "$VX_DATA/p.vxa" 18 10d4fiBB2x 0.0 1.0 "$(python3 -c 'print(repr(7999 / 9999))')" \
    1.0 1.0 0.0 0.0 0.0 1.0 1.0 0.0 0.0 0.0 1.0 -1 0 1
"$VX_REPLAY" apply "$VX_DATA/w.png" "$VX_DATA/p.vxa" "$VX_DATA/mapped.bmp" ||
    vx_fail "vxreplay apply failed"
vx_tool_close "$window" 1 "Perspective Projection dialog"
vx_expect_copy mapped.bmp "perspective applied to one row"
vx_close_changed

vx_viewer_start "$(vx_dos_path "$VX_DATA/w.gif")"
vx_wait_title "w.gif *" >/dev/null
window=$(vx_tool_open 40951 Palette)
vx_tool_close "$window" 2 "Palette dialog"
vx_viewer_close
