# Glyphs that Wine draws for the viewer come out as glyphs: the caption's
# close button shows Marlett's cross (a fallback font shows the letter "r"),
# and the arrow after an owner-drawn submenu item is drawn in the item's
# colours, not as a black arrow in a white box.
convert-im6.q16 -size 300x200 xc:khaki -depth 8 "PNG24:$VX_DATA/a.png"
vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null

# The caption strip above the client area, from the screen.
caption_shot() {  # FILE
    local x y w cy
    read -r x y w _ _ cy _ <<<"$(vx_drive rect class=Vx)"
    import-im6.q16 -window root -crop "${w}x$((cy - y))+$x+$y" +repage "$1" ||
        vx_fail "screenshot failed"
}

# The cross: black where its arms cross (12 and 13 pixels left of the
# window's right edge, 12 below its top) and near their four ends, 5 pixels
# apart; the middle of its top edge stays light.
check_cross() {  # FILE
    local r light
    r=$(identify-im6.q16 -format '%w' "$1")
    vx_check_pixel "$1" $((r - 15)) 12 "0 0 0" 40 && vx_check_pixel "$1" $((r - 14)) 12 "0 0 0" 40 &&
        vx_check_pixel "$1" $((r - 17)) 10 "0 0 0" 40 &&
        vx_check_pixel "$1" $((r - 12)) 10 "0 0 0" 40 &&
        vx_check_pixel "$1" $((r - 17)) 15 "0 0 0" 40 &&
        vx_check_pixel "$1" $((r - 12)) 15 "0 0 0" 40 || return 1
    read -r light _ <<<"$(vx_pixel "$1" $((r - 15)) 9)"
    ((light > 150)) && return 0
    VX_WHY="the middle above the cross in $(basename "$1") is dark ($light)"
    return 1
}

for ((i = 0; i < 50; i++)); do
    caption_shot "$VX_OUT/caption.png"
    check_cross "$VX_OUT/caption.png" && break
    sleep 0.1
done
check_cross "$VX_OUT/caption.png" || vx_fail "$VX_WHY"

# "File", the first item of the dark context menu: where a white box framed
# the arrow, the menu's Field grey; the arrow's base in the Text grey.
check_arrow() {  # FILE
    vx_check_pixel "$1" 88 8 "64 64 64" && vx_check_pixel "$1" 89 13 "192 192 192"
}
vx_command 40030
menu=$(vx_drive wait 'class=#32768') || vx_fail "no context menu"
vx_expect_screen "$menu" "$VX_OUT/menu.png" check_arrow
vx_drive key "$menu" 0x1b
vx_drive wait-gone 'class=#32768' >/dev/null || vx_fail "the context menu stays"
