# After a save into the listed folder the file joins the folder list (paging
# reaches it); "Save to file ..." of the alpha channel writes the alpha as a
# grey image, the save panel telling the limits of that grey image, and an
# image without alpha reports that it has none.
mkdir "$VX_DATA/other"
convert-im6.q16 -size 48x32 -seed 3 plasma: \( -size 48x32 gradient:white-black \) \
    -alpha off -compose copy_opacity -composite "PNG32:$VX_DATA/a.png"
convert-im6.q16 "$VX_DATA/a.png" -alpha extract "$VX_DATA/other/alpha-ref.png"
convert-im6.q16 -size 8x8 xc:khaki "$VX_DATA/other/rgb.png"
PNG=2 # the save list's row

save_as() {  # COMMAND NAME
    vx_open_save_dialog $PNG "$1"
    vx_drive set-text "$VX_SAVE_DIALOG" 1148 "$(vx_dos_path "$VX_DATA/$2")" >/dev/null
    vx_drive press "$VX_SAVE_DIALOG" 1 >/dev/null
    vx_wait_file "$VX_DATA/$2"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
sleep 1 # the folder scan lists a.png alone

# BMP stores no alpha: the panel says so for the image, not for its alpha.
limits() {  # COMMAND
    local panel
    vx_open_save_dialog 0 "$1"
    panel=$(vx_drive children "$VX_SAVE_DIALOG" | awk '$3 == "#32770" { print $1; exit }')
    sleep 0.3
    vx_drive get-text "$panel" 10103
    vx_cancel_dialog "$VX_SAVE_DIALOG" "save dialog"
}
vx_expect_eq "$(limits 40012)" "Selected format does not support alpha channels" "BMP, image"
vx_expect_eq "$(limits 40984)" "" "BMP, alpha channel"

save_as 40984 alpha.png
vx_check_same "$VX_DATA/alpha.png" "$VX_DATA/other/alpha-ref.png" || vx_fail "alpha export: $VX_WHY"
vx_expect_eq "$(identify-im6.q16 -format '%[channels]' "$VX_DATA/alpha.png")" gray \
    "the alpha channel saved as grey"
save_as 40012 b.png
# a.png stays current; next goes to alpha.png, then b.png.
vx_command 40016 'alpha.png *'
vx_command 40016 'b.png *'
vx_command 40016 'a.png *'

# An image without alpha has no channel to save.
vx_drop "$VX_DATA/other/rgb.png"
vx_wait_title 'rgb.png *' >/dev/null
vx_mark
vx_command 40984
vx_expect_box Error "Failed to extract alpha channel"
