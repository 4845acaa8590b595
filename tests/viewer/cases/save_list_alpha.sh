# After a save into the listed folder the file joins the folder list (paging
# reaches it); "Save to file ..." of the alpha channel writes the alpha as a
# grey image, and an image without alpha reports that it has none.
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
