# The Color Filter dialog on a colour picture and on an indexed GIF: its
# preview rectangle after slider keys equals vxreplay's native rendering of
# the same preview, Apply equals the native replay of the Color Filter
# action (through Copy), and on the GIF the pixel indices stay while the
# palette changes. A grey image opens no dialog. Screenshots in both styles.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
convert-im6.q16 -size 200x300 -seed 3 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
convert-im6.q16 "$VX_DATA/a.png" -colors 32 "$VX_DATA/b.gif"
convert-im6.q16 "$VX_DATA/a.png" -colorspace gray -depth 8 "$VX_DATA/g.pgm"

# Light hue 90 - 60 = 30, light strength 40, shadow hue 270, strength 20.
values="30 40 270 20"
move_sliders() {  # DIALOG
    vx_slider_keys "$1" 1011 0x21 0x21 0x21 0x21
    vx_slider_keys "$1" 1010 0x22 0x22 0x22 0x22 0x22 0x22
    vx_slider_keys "$1" 1021 0x21 0x21
}
"$VX_REPLAY" action "$VX_DATA/cf.vxa" colorfilter $values || vx_fail "vxreplay action failed"

for image in a.png b.gif; do
    "$VX_REPLAY" preview "$VX_DATA/$image" "$VX_DATA/$image.preview.png" colorfilter $values ||
        vx_fail "vxreplay preview of $image failed"
    "$VX_REPLAY" apply "$VX_DATA/$image" "$VX_DATA/cf.vxa" "$VX_DATA/$image.cf.bmp" ||
        vx_fail "vxreplay apply of $image failed"

    vx_viewer_start "$(vx_dos_path "$VX_DATA/$image")"
    vx_wait_title "$image *" >/dev/null
    vx_copy_to "$VX_OUT/before.bmp"
    dialog=$(vx_tool_open 40953 "Color Filter")
    move_sliders "$dialog"
    vx_expect_preview "$dialog" "$VX_DATA/$image.preview.png" "$image: preview rectangle"
    [ "$image" = a.png ] && vx_styles_shots "$dialog" colorfilter
    vx_tool_close "$dialog" 1 "Color Filter dialog"
    vx_expect_copy "$image.cf.bmp" "$image: applied colour filter"
    if [ "$image" = b.gif ]; then
        vx_copy_to "$VX_OUT/after.bmp"
        [ -n "$(vx_bmp_indices "$VX_OUT/after.bmp")" ] || vx_fail "the GIF is no longer indexed"
        vx_expect_eq "$(vx_bmp_indices "$VX_OUT/after.bmp" | md5sum)" \
            "$(vx_bmp_indices "$VX_OUT/before.bmp" | md5sum)" "indices after the colour filter"
    fi
    vx_close_changed
done

# A grey image: the command does nothing.
vx_viewer_start "$(vx_dos_path "$VX_DATA/g.pgm")"
vx_wait_title "g.pgm *" >/dev/null
vx_command 40953
sleep 1
vx_expect_eq "$(vx_drive count "title=Color Filter")" 0 "Color Filter dialogs on a grey image"
vx_viewer_close
