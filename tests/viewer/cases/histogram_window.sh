# The Histogram window: the probe follows the mouse over the image, Ctrl+C
# with the window in front copies the probe's linear values as text (with the
# main window in front, the image), Ctrl+click locks the probe so that moves
# off the image keep it, and a second Ctrl+click off the image unlocks it.
convert-im6.q16 -size 100x50 "xc:rgb(127,188,255)" -depth 8 "PNG24:$VX_DATA/a.png"
vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
histogram=title=Histogram
vx_command 40103
vx_drive wait "$histogram" >/dev/null || vx_fail "no Histogram window"
read -r _ _ _ _ _ _ w h <<<"$(vx_drive rect "$histogram")"
vx_expect_eq "${w}x$h" 352x470 "client size"

# The client's middle lies on the image (fitted to the window); its top-left
# corner is beside it (the image is wider than the window's shape).
read -r _ _ _ _ _ _ cw ch <<<"$(vx_drive rect class=Vx)"
middle=$(((ch / 2) << 16 | (cw / 2)))
corner=$((2 << 16 | 2))
mouse() {  # MESSAGE KEYS POINT
    vx_drive message class=Vx "$1" "$2" "$3" >/dev/null || vx_fail "cannot post $1"
}
copied_text() {
    vx_drive clip-empty >/dev/null
    vx_drive activate "$histogram" >/dev/null || vx_fail "cannot bring the Histogram window to front"
    vx_command 40421
    vx_drive --timeout 5 clip-text
}
want="<0.2122, 0.5029, 1.0000>"

mouse 0x200 0 "$middle"
vx_expect_eq "$(copied_text)" "$want" "copied probe"
vx_shot "$histogram" "$VX_OUT/histogram-dark.png"

# Just above the image (fitted, 2:1, centred vertically): no probe, so the
# copy takes the image.
above=$((((ch - cw / 2) / 2 - 2) << 16 | (cw / 2)))
mouse 0x200 0 "$above"
vx_drive clip-empty >/dev/null
vx_drive activate "$histogram" >/dev/null
vx_command 40421
vx_drive --timeout 10 clip-dib "$VX_OUT/above.bmp" >/dev/null ||
    vx_fail "a point above the image was probed"
mouse 0x200 0 "$middle"

mouse 0x201 0x0009 "$middle" # Ctrl+click: locked
mouse 0x202 0x0008 "$middle"
mouse 0x200 0 "$corner"
vx_expect_eq "$(copied_text)" "$want" "locked probe after a move off the image"
mouse 0x201 0x0009 "$corner" # Ctrl+click off the image: unlocked
mouse 0x202 0x0008 "$corner"
mouse 0x200 0 "$corner"

# With the main window in front the image is copied.
vx_drive clip-empty >/dev/null
vx_drive activate class=Vx >/dev/null || vx_fail "cannot bring the main window to front"
vx_command 40421
vx_drive --timeout 10 clip-dib "$VX_OUT/copied.bmp" >/dev/null || vx_fail "the image was not copied"

vx_command 40036
mouse 0x200 0 "$middle"
vx_drive activate "$histogram" >/dev/null
sleep 0.3
vx_shot "$histogram" "$VX_OUT/histogram-light.png"
vx_command 40103
vx_drive wait-gone "$histogram" || vx_fail "the command left the window open"
vx_viewer_close
