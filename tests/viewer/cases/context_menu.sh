# The context menu is owner-drawn in the interface style: a glyph strip in
# the Highlight grey down its left side and items on the Field grey, dark by
# default and light after the style command. Check items carry the style's
# square glyph, filled while checked and empty once unchecked.
convert-im6.q16 -size 300x200 xc:khaki -depth 8 "PNG24:$VX_DATA/a.png"
vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null

VK_ESCAPE=0x1b VK_RIGHT=0x27 VK_DOWN=0x28

# Inside the menu's 3-pixel frame the strip takes x 3..17 and the items
# x 18 on; items are 21 pixels high, separators 2.
check_menu() {  # FILE HIGHLIGHT FIELD
    vx_check_pixel "$1" 8 14 "$2" && vx_check_pixel "$1" 16 30 "$2" &&
        vx_check_pixel "$1" 60 14 "$3" && vx_check_pixel "$1" 21 30 "$3"
}

# "Use alpha", the Image submenu's second item (after "Mode" and a
# separator): its 13 x 13 glyph at (4, 29), a Text ring (half-size 5) around
# a Face ring (half-size 4) around a Text mark (half-size 3) or nothing.
check_glyph() {  # FILE CENTRE
    vx_check_pixel "$1" 5 35 "192 192 192" && vx_check_pixel "$1" 6 35 "56 56 56" &&
        vx_check_pixel "$1" 10 35 "$2" && vx_check_pixel "$1" 3 35 "88 88 88"
}

open_menu() {
    vx_command 40030
    vx_drive wait 'class=#32768' || vx_fail "no context menu"
}

close_menus() {
    local menu
    for menu in $(vx_drive list 'class=#32768'); do
        vx_drive key "$menu" $VK_ESCAPE
    done
    vx_drive wait-gone 'class=#32768' || vx_fail "the context menu stays"
}

# show_menu NAME HIGHLIGHT FIELD
show_menu() {
    local menu
    menu=$(open_menu)
    vx_expect_screen "$menu" "$VX_OUT/menu-$1.png" check_menu "$2" "$3"
    close_menus
}

# image_menu_glyph NAME CENTRE: opens File, moves to Image and opens it.
image_menu_glyph() {
    local menu submenu i
    menu=$(open_menu)
    vx_drive key "$menu" $VK_DOWN
    vx_drive key "$menu" $VK_DOWN
    vx_drive key "$menu" $VK_RIGHT
    for ((i = 0; i < 100; i++)); do
        submenu=$(vx_drive list 'class=#32768' | grep -vx "$menu" || true)
        [ -z "$submenu" ] || break
        sleep 0.05
    done
    [ -n "$submenu" ] || vx_fail "the Image submenu did not open"
    vx_expect_screen "$submenu" "$VX_OUT/image-menu-$1.png" check_glyph "$2"
    close_menus
}

show_menu dark "88 88 88" "64 64 64"
image_menu_glyph alpha-on "192 192 192"
vx_command 40501
image_menu_glyph alpha-off "88 88 88"

vx_command 40036
show_menu light "176 176 176" "200 200 200"
vx_command 40037
show_menu dark-again "88 88 88" "64 64 64"
