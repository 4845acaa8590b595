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

expect_image() {  # REFERENCE WHAT
    local i
    for ((i = 0; i < 50; i++)); do
        vx_drive clip-empty
        vx_command 40421
        vx_drive clip-dib "$(vx_dos_path "$VX_OUT/clip.bmp")" >/dev/null ||
            vx_fail "$2: Copy left no bitmap"
        vx_check_same "$VX_OUT/clip.bmp" "$VX_DATA/$1" && return 0
        sleep 0.1
    done
    vx_fail "$2: $VX_WHY"
}

put_dib() {  # FILE
    vx_drive clip-set-dib "$(vx_dos_path "$VX_DATA/$1")" >/dev/null ||
        vx_fail "cannot put $1 on the clipboard"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
expect_image a.png "opened" # leaves the image on the clipboard
vx_command 40422 'Clipboard_001*'
expect_image a.png "pasted copy"

put_dib small.dib
vx_command 40422 'Clipboard_002*'
expect_image small.png "pasted bottom-up bitmap"

for bad in tall.dib 16bit.dib; do
    put_dib "$bad"
    vx_mark
    vx_command 40422
    vx_expect_box Error "Paste from clipboard failed"
    vx_wait_title 'Clipboard_002*' >/dev/null
    # expect_image copies, which replaces the bad bitmap on the clipboard.
    expect_image small.png "after refusing $bad"
done
