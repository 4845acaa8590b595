# Smooth resizing shows a shrunk one-pixel line pattern as even grey, the
# area average of each screen pixel, not as bands of picked lines.
convert-im6.q16 -size 400x300 pattern:vertical2 -depth 8 "PNG24:$VX_DATA/lines.png"

vx_viewer_start "$(vx_dos_path "$VX_DATA/lines.png")"
vx_wait_title 'lines.png *' >/dev/null
vx_command 40052 'lines.png [1:1] *'
for level in 2 3 4 5 6 7 8; do
    vx_command 40072 "lines.png [1:$level] *"
done

# The 50 x 37 display centred in the client area: the inner part of it.
spread() {  # SCREENSHOT -> "min max" of the grey levels inside the display
    local w h
    read -r w h <<<"$(identify-im6.q16 -format '%w %h' "$1")"
    convert-im6.q16 "$1" -crop "40x27+$((w / 2 - 20))+$((h / 2 - 13))" +repage -colorspace gray \
        -format '%[fx:int(255*minima+0.5)] %[fx:int(255*maxima+0.5)]' info:
}
even_grey() {
    local low high
    read -r low high <<<"$(spread "$1")"
    VX_WHY="grey levels $low..$high"
    [ $((high - low)) -le 16 ] && [ "$low" -ge 100 ] && [ "$high" -le 156 ]
}
vx_expect_screen class=Vx "$VX_OUT/smooth.png" even_grey

vx_command 40053   # smooth resizing off: pixels are picked, no grey
sleep 0.5
vx_shot class=Vx "$VX_OUT/picked.png"
! even_grey "$VX_OUT/picked.png" || vx_fail "the check cannot tell picked pixels from averaged ones"
