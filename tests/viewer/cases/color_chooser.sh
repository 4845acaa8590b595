# The colour chooser on "Background color": OK without a change keeps the
# stored colour, the sliders' keys move them by their steps (End the minimum,
# Home the maximum, Page Up ten, Left one) and OK stores the new colour,
# Cancel nothing. The stored colour is read from the preferences file
# (linear floats r, g, b, a at offset 20).
prefs="$(vx_settings_dir)/Vx.up"
chooser="title=Vx Background Color"
stored_color() { od -An -tf4 -j 20 -N16 "$prefs" | awk '{printf "%.4f %.4f %.4f %.4f", $1, $2, $3, $4}'; }
open_chooser() {
    vx_command 40035
    vx_drive wait "$chooser" >/dev/null || vx_fail "no colour chooser"
}
close_chooser() {  # ID: 1 OK, 2 Cancel
    vx_drive press "$chooser" "$1" >/dev/null
    vx_drive wait-gone "$chooser" || vx_fail "the chooser stayed open"
}
slider_key() {  # ID VK
    vx_drive key "$chooser,control=$1" "$2" >/dev/null || vx_fail "no slider $1"
}

vx_viewer_start
open_chooser
vx_shot "$chooser" "$VX_OUT/chooser-dark.png"
close_chooser 1
vx_viewer_close
vx_expect_eq "$(stored_color)" "0.5000 0.5000 0.5000 1.0000" "colour after OK without change"

vx_viewer_start
open_chooser
slider_key 1101 0x23  # End
slider_key 1102 0x24  # Home
slider_key 1103 0x21  # Page Up
slider_key 1103 0x25  # Left
vx_shot "$chooser" "$VX_OUT/chooser-changed.png"
close_chooser 1
open_chooser
slider_key 1102 0x23
close_chooser 2
vx_command 40036
open_chooser
vx_shot "$chooser" "$VX_OUT/chooser-light.png"
close_chooser 2
vx_viewer_close
vx_expect_eq "$(stored_color)" "0.0000 1.0000 0.5009 1.0000" "colour after the slider keys"
