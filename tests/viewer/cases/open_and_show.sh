# `vx a.png` shows the image with the file name, the zoom and the load time in
# the title; at 1:1 the screen shows the image's own pixels, and Copy puts
# them on the clipboard. A noise image, so that any shift, flip or colour
# error changes many pixels.
convert-im6.q16 -size 300x200 -seed 11 plasma: -depth 8 "PNG24:$VX_DATA/a.png"

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
# The default window mode fits the image to the 512 x 384 client area:
# 512 / 300 = 171 %.
vx_wait_title 'a.png 171% (time: ?.??? sec)' >/dev/null

# Fit the window to the image: 1:1 in a client area of the image's size.
vx_command 40052 'a.png [1:1] (time: ?.??? sec)'
vx_expect_screen class=Vx "$VX_OUT/shown.png" vx_check_same "$VX_DATA/a.png"

vx_drive clip-empty
vx_command 40421
vx_drive clip-dib "$(vx_dos_path "$VX_OUT/clip.bmp")" >/dev/null || vx_fail "Copy left no bitmap"
vx_check_same "$VX_OUT/clip.bmp" "$VX_DATA/a.png" || vx_fail "clipboard: $VX_WHY"

# The open command: the file dialog starts, takes a path and the image
# replaces the shown one.
convert-im6.q16 -size 40x30 xc:teal -depth 8 "PNG24:$VX_DATA/b.png"
vx_command 40011
dialog=$(vx_drive wait 'title=Open image file') || vx_fail "no open dialog"
vx_drive set-text "$dialog" 1148 "$(vx_dos_path "$VX_DATA/b.png")"   # the file name box
vx_drive press "$dialog" 1
vx_wait_title 'b.png [1:1] *' >/dev/null
