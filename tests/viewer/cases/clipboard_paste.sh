# Copy then Paste gives the image back as "Clipboard_001"; a bottom-up 24-bit
# bitmap from another program pastes with its last stored row on top; a
# bitmap whose header claims more rows than the block holds, and a 16-bit
# one, are refused with "Paste from clipboard failed" and the image stays.
convert-im6.q16 -size 60x40 -seed 3 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
convert-im6.q16 -size 3x2 -seed 4 plasma: -depth 8 -type TrueColor "BMP3:$VX_DATA/small.bmp"
convert-im6.q16 "$VX_DATA/small.bmp" "PNG24:$VX_DATA/small.png"
tail -c +15 "$VX_DATA/small.bmp" >"$VX_DATA/small.dib" # without the file header
cp "$VX_DATA/small.dib" "$VX_DATA/tall.dib"
printf '\350\003\000\000' | dd of="$VX_DATA/tall.dib" bs=1 seek=8 conv=notrunc status=none
cp "$VX_DATA/small.dib" "$VX_DATA/16bit.dib"
printf '\020' | dd of="$VX_DATA/16bit.dib" bs=1 seek=14 conv=notrunc status=none


put_dib() {  # FILE
    vx_drive clip-set-dib "$(vx_dos_path "$VX_DATA/$1")" >/dev/null ||
        vx_fail "cannot put $1 on the clipboard"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_expect_copy a.png "opened" # leaves the image on the clipboard
vx_command 40422 'Clipboard_001*'
vx_expect_copy a.png "pasted copy"

put_dib small.dib
vx_command 40422 'Clipboard_002*'
vx_expect_copy small.png "pasted bottom-up bitmap"

for bad in tall.dib 16bit.dib; do
    put_dib "$bad"
    vx_mark
    vx_command 40422
    vx_expect_box Error "Paste from clipboard failed"
    vx_wait_title 'Clipboard_002*' >/dev/null
    # vx_expect_copy copies, which replaces the bad bitmap on the clipboard.
    vx_expect_copy small.png "after refusing $bad"
done
