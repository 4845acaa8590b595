# The About box: the command opens it over the main window, 15 pixels a
# library row plus 220, fading in to full opacity; it lists the support
# libraries with the versions linked; the command again, or a click, closes
# it with a fade.
vx_viewer_start
about=class=VxTool
vx_mark
vx_command 40612
vx_drive wait "$about" >/dev/null || vx_fail "no About box"
read -r _ _ w h _ <<<"$(vx_drive rect "$about")"
vx_expect_eq "${w}x$h" 500x460 "box size (16 library rows)"

# Faded in: the face colour of the dark style inside the frame.
vx_expect_screen "$about" "$VX_OUT/about-dark.png" vx_check_pixel 10 200 "56 56 56" 2
texts=$(vx_box_texts | tr '\0' '\n')
for want in "Vx - Version 1.1.7" "Support Libraries:" "libpng" "$(pkg-config --modversion libpng)" \
    "libtiff" "$(pkg-config --modversion libtiff-4)" "lcms2" "libwebp"; do
    grep -qxF -- "$want" <<<"$texts" || vx_fail "the box does not show '$want'"
done

vx_command 40612
vx_drive wait-gone "$about" || vx_fail "the command left the box open"

vx_command 40036
vx_command 40612
vx_expect_screen "$about" "$VX_OUT/about-light.png" vx_check_pixel 10 200 "212 212 212" 2
vx_drive message "$about" 0x201 0 0x00100010 >/dev/null
vx_drive wait-gone "$about" || vx_fail "a click left the box open"
vx_viewer_close
