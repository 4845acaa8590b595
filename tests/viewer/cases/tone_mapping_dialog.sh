# The Tonemapping dialog on a colour picture and on an indexed GIF: its
# preview rectangle after slider keys equals vxreplay's native rendering of
# the same preview, Apply equals the native replay of the Tonemapping action
# (through Copy), and on the GIF the pixel indices stay while the palette
# changes. Screenshots in both styles.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
convert-im6.q16 -size 600x400 -seed 7 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
convert-im6.q16 "$VX_DATA/a.png" -colors 16 "$VX_DATA/b.gif"

# Slider values after the keys below: exposure 110, black 10, exponent 99,
# chroma 100, hue 10, white point 640.
values="110 10 99 100 10 640"
move_sliders() {  # DIALOG
    vx_slider_keys "$1" 1010 0x21
    vx_slider_keys "$1" 1011 0x21
    vx_slider_keys "$1" 1012 0x25
    vx_slider_keys "$1" 1014 0x21
    vx_slider_keys "$1" 1015 0x22
}
# The action the dialog records for these values, made natively.
"$VX_REPLAY" action "$VX_DATA/tm.vxa" tonemap $values || vx_fail "vxreplay action failed"

for image in a.png b.gif; do
    "$VX_REPLAY" preview "$VX_DATA/$image" "$VX_DATA/$image.preview.png" tonemap $values ||
        vx_fail "vxreplay preview of $image failed"
    "$VX_REPLAY" apply "$VX_DATA/$image" "$VX_DATA/tm.vxa" "$VX_DATA/$image.tm.bmp" ||
        vx_fail "vxreplay apply of $image failed"

    vx_viewer_start "$(vx_dos_path "$VX_DATA/$image")"
    vx_wait_title "$image *" >/dev/null
    vx_copy_to "$VX_OUT/before.bmp"
    dialog=$(vx_tool_open 40952 Tonemapping)
    # Neutral settings: Apply is refused until a slider moves.
    move_sliders "$dialog"
    vx_expect_preview "$dialog" "$VX_DATA/$image.preview.png" "$image: preview rectangle"
    [ "$image" = a.png ] && vx_styles_shots "$dialog" tonemapping
    vx_tool_close "$dialog" 1 "Tonemapping dialog"
    vx_expect_copy "$image.tm.bmp" "$image: applied tone map"
    if [ "$image" = b.gif ]; then
        vx_copy_to "$VX_OUT/after.bmp"
        [ -n "$(vx_bmp_indices "$VX_OUT/after.bmp")" ] || vx_fail "the GIF is no longer indexed"
        vx_expect_eq "$(vx_bmp_indices "$VX_OUT/after.bmp" | md5sum)" \
            "$(vx_bmp_indices "$VX_OUT/before.bmp" | md5sum)" "indices after the tone map"
    fi
    vx_close_changed
done
