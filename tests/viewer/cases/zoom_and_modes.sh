# Zoom levels and window modes change the title and what the screen shows.
# A 4 x 4 grid of flat colour blocks, 75 x 50 pixels each, so that block
# centres keep their colour whatever the stretching does at the edges. The
# file's background colour (bKGD) is what the view shows around the image
# while "Use background" is on.
colors=(
    "255 0 0"   "0 255 0"   "0 0 255"   "255 255 0"
    "0 255 255" "255 0 255" "128 0 0"   "0 128 0"
    "0 0 128"   "128 128 0" "0 128 128" "128 0 128"
    "255 128 0" "0 255 128" "128 0 255" "64 64 64")
printf 'P3 4 4 255\n%s\n' "${colors[*]}" >"$VX_DATA/grid.ppm"
convert-im6.q16 "$VX_DATA/grid.ppm" -sample '300x200!' -background '#336699' -depth 8 \
    "PNG24:$VX_DATA/blocks.png"
block() { echo "${colors[$(($2 * 4 + $1))]}"; }  # block COLUMN ROW

vx_viewer_start "$(vx_dos_path "$VX_DATA/blocks.png")"
vx_wait_title 'blocks.png 171% *' >/dev/null
vx_command 40052 'blocks.png [1:1] *'

# 2:1 from the top-left corner: the window keeps its size and scrolls.
vx_command 40071 'blocks.png [2:1] *'
check_2_1() {
    vx_check_pixel "$1" 10 10 "$(block 0 0)" && vx_check_pixel "$1" 200 150 "$(block 1 1)"
}
vx_expect_screen class=Vx "$VX_OUT/zoom-2-1.png" check_2_1

# 1:2 centred in the 300 x 200 client area, the scroll bars gone.
vx_command 40072 'blocks.png [1:1] *'
vx_command 40072 'blocks.png [1:2] *'
check_1_2() {
    vx_check_size "$1" 300x200 &&
        vx_check_pixel "$1" $((75 + 18)) $((50 + 12)) "$(block 0 0)" &&
        vx_check_pixel "$1" $((75 + 131)) $((50 + 87)) "$(block 3 3)" &&
        vx_check_pixel "$1" 10 100 "$2" 1 &&
        vx_check_pixel "$1" 290 190 "$2" 1
}
vx_expect_screen class=Vx "$VX_OUT/zoom-1-2.png" check_1_2 "51 102 153"
# Without "Use background": the preferences' colour, linear 0.5 grey.
vx_command 40502
vx_expect_screen class=Vx "$VX_OUT/own-background.png" check_1_2 "188 188 188"

# Fit the image to the window: the ratio steps resize the window by tenths
# and the title shows the percentage.
vx_command 40070 'blocks.png [1:1] *'
vx_command 40051 'blocks.png 100% *'
vx_command 40082 'blocks.png 90% *'
check_90() {
    vx_check_size "$1" 270x180 &&
        vx_check_pixel "$1" 33 22 "$(block 0 0)" && vx_check_pixel "$1" 236 157 "$(block 3 3)"
}
vx_expect_screen class=Vx "$VX_OUT/fit-90.png" check_90
vx_command 40081 'blocks.png 100% *'
vx_command 40081 'blocks.png 110% *'

# Fit nothing keeps the window and shows the last zoom level again.
vx_command 40050 'blocks.png [1:1] *'
