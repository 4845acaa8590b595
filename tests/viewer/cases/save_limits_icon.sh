# The save panel shows the warning icon beside the text of what the chosen
# format cannot store, and hides it when there is no such text.
convert-im6.q16 -size 48x32 -seed 3 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
PNG=2 GIF=3 # rows of the save list

# Opens the save dialog with ROW chosen; the handle of its panel's icon
# control in icon.
icon=""
open_panel() {  # ROW
    local panel
    vx_open_save_dialog "$1"
    panel=$(vx_drive children "$VX_SAVE_DIALOG" | awk '$3 == "#32770" { print $1; exit }')
    icon=$(vx_drive children "$panel" | awk '$2 == 10104 { print $1; exit }')
    [ -n "$icon" ] || vx_fail "the panel has no icon control"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null

# GIF cannot store an RGB image: the icon shows, its yellow on the screen.
open_panel $GIF
vx_drive wait "$icon" >/dev/null || vx_fail "GIF for an RGB image: no warning icon"
sleep 0.5
vx_shot "$icon" "$VX_OUT/icon.png"
yellow=$(convert-im6.q16 "$VX_OUT/icon.png" -fuzz 15% -fill white -opaque '#F2C500' \
    -fill black +opaque white -format '%[fx:int(mean*w*h+0.5)]' info:)
((yellow >= 20)) || vx_fail "GIF for an RGB image: the warning icon shows $yellow yellow pixels"
vx_cancel_dialog "$VX_SAVE_DIALOG" "save dialog"

# PNG stores it: no text, no icon.
open_panel $PNG
sleep 0.5
! vx_drive --timeout 2 wait "$icon" >/dev/null 2>&1 || vx_fail "PNG for an RGB image: a warning icon shows"
vx_cancel_dialog "$VX_SAVE_DIALOG" "save dialog"
