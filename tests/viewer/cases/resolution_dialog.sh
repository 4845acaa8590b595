# The Resolution dialog on its spin fields and radio buttons: a 300 x 200 ppi
# image opens with "keep aspect ratio", a typed value past the field's range
# is clamped and shown clamped, the vertical value follows by the ratio at
# opening, and OK makes the values the view resolution.
convert-im6.q16 -size 2400x1600 xc:steelblue -units PixelsPerInch -density 300x200 \
    -quality 90 "$VX_DATA/a.jpg"
vx_viewer_start "$(vx_dos_path "$VX_DATA/a.jpg")"
vx_wait_title 'a.jpg *' >/dev/null

dialog=title=Resolution
open_dialog() {
    vx_command 40940
    vx_drive wait "$dialog" >/dev/null || vx_fail "no Resolution dialog"
}
field() {  # ID: the value a spin field shows
    vx_drive get-text "$dialog" "$1"
}
type_into() {  # ID TEXT: the text typed into a spin field's edit (id + 10)
    vx_drive set-text "$dialog" "$1/$(($1 + 10))" "$2" || vx_fail "cannot type into $1"
}

open_dialog
vx_expect_eq "$(field 1201)x$(field 1202)" 300x200 "ppi at opening"
vx_expect_eq "$(field 1220)" "20.32 x 20.32 cm" "print size"
vx_shot "$dialog" "$VX_OUT/resolution-dark.png"  # the default style

type_into 1201 600
vx_expect_eq "$(field 1201)x$(field 1202)" 600x400 "ppi kept in aspect"
# Past the range of 1..99999: clamped, and the edit shows the clamped value.
type_into 1201 123456
vx_expect_eq "$(field 1201/1211)x$(field 1202)" 99999x66666 "ppi clamped"
type_into 1202 ""
vx_expect_eq "$(field 1202/1212)x$(field 1201)" 1x2 "empty text is 0, clamped to 1"

# Free, then keep again: the ratio at opening, not the edited values.
vx_drive press "$dialog" 1213 >/dev/null
type_into 1201 450
type_into 1202 90
vx_expect_eq "$(field 1201)x$(field 1202)" 450x90 "free aspect"
vx_drive press "$dialog" 1212 >/dev/null
vx_expect_eq "$(field 1201)x$(field 1202)" 450x300 "kept aspect again"

vx_drive press "$dialog" 1 >/dev/null
vx_drive wait-gone "$dialog" || vx_fail "OK left the dialog open"
open_dialog
vx_expect_eq "$(field 1201)x$(field 1202)" 450x300 "view resolution after OK"
# Cancel keeps the resolution.
type_into 1201 72
vx_drive press "$dialog" 2 >/dev/null
vx_drive wait-gone "$dialog" || vx_fail "Cancel left the dialog open"
open_dialog
vx_expect_eq "$(field 1201)" 450 "view resolution after Cancel"

# The light style: the same dialog photographed for a look.
vx_drive press "$dialog" 2 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null
vx_command 40036
open_dialog
vx_shot "$dialog" "$VX_OUT/resolution-light.png"
vx_drive press "$dialog" 2 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null
vx_viewer_close
