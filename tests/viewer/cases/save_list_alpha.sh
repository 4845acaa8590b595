# After a save into the listed folder the file joins the folder list (paging
# reaches it); "Save to file ..." of the alpha channel writes the alpha as a
# grey image, and an image without alpha reports that it has none.
mkdir "$VX_DATA/other"
convert-im6.q16 -size 48x32 -seed 3 plasma: \( -size 48x32 gradient:white-black \) \
    -alpha off -compose copy_opacity -composite "PNG32:$VX_DATA/a.png"
convert-im6.q16 "$VX_DATA/a.png" -alpha extract "$VX_DATA/other/alpha-ref.png"
convert-im6.q16 -size 8x8 xc:khaki "$VX_DATA/other/rgb.png"
PNG=2 # the save list's row

# The save dialog of COMMAND with the PNG type; saves under NAME.
save_as() {  # COMMAND NAME
    local dialog combo i
    vx_command "$1"
    dialog=$(vx_drive wait "title=Save image file") || vx_fail "no save dialog for $1"
    combo=$(vx_drive children "$dialog" | awk '$2 == 1136 && $3 == "ComboBox" { print $1; exit }')
    vx_drive message "$combo" 0x14E $PNG >/dev/null
    vx_drive post "$dialog" $((1136 + (9 << 16))) "$combo" >/dev/null
    vx_drive set-text "$dialog" 1148 "$(vx_dos_path "$VX_DATA/$2")" >/dev/null
    vx_drive press "$dialog" 1 >/dev/null
    for ((i = 0; i < 100; i++)); do
        [ -s "$VX_DATA/$2" ] && sleep 0.3 && return 0
        sleep 0.1
    done
    vx_fail "no file $2"
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
