# The List window under load: 200 rounds of sorting, changing the
# thumbnail size and rereading the folder while the thumbnails of 60 JPEG
# files load. The viewer must keep answering, end up with the whole list
# and every thumbnail shown, and close normally.
dir="$VX_DATA/many"
mkdir -p "$dir"
convert-im6.q16 -size 1600x1200 xc:red -quality 85 "$dir/p00.jpg"
for ((i = 1; i < 60; i++)); do
    cp "$dir/p00.jpg" "$dir/p$(printf %02d "$i").jpg"
    touch -d "2020-01-01 + $i hours" "$dir/p$(printf %02d "$i").jpg"
done
list=class=VxDcTl

vx_viewer_start "$(vx_dos_path "$dir/p00.jpg")"
vx_wait_title 'p00.jpg *' >/dev/null
vx_command 40102
vx_drive wait "$list" >/dev/null || vx_fail "no List window"
vx_drive wait-title "$list" 'Image 1/60 in *' >/dev/null || vx_fail "list title"

# Sort by size, 128 pixels, shuffle, 192 pixels, reread, sort by name,
# 64 pixels, sort by time; each posted 5 ms after the one before.
vx_drive --timeout 120 post-rounds "$list" 200 5 40761 40774 40766 40776 40720 40760 40772 \
    40764 >/dev/null || vx_fail "could not post the rounds"

vx_drive --timeout 120 wait-title "$list" 'Image */60 in *' >/dev/null ||
    vx_fail "the list did not come back: $(vx_drive title "$list")"
vx_drive post "$list" 40760 >/dev/null
# The first image: refused silently while a reread still lists the folder.
for ((i = 0; i < 100; i++)); do
    vx_drive post class=Vx 40018 >/dev/null
    vx_drive --timeout 1 wait-title class=Vx 'p00.jpg *' >/dev/null && break
done
vx_wait_title 'p00.jpg *' >/dev/null
vx_drive --timeout 60 wait-title "$list" 'Image 1/60 in *' >/dev/null || vx_fail "list title"
vx_command 40016 'p01.jpg *'
# Every visible row shows its thumbnail (64 x 48 red in rows of 80).
for row in 0 1 2 3; do
    vx_expect_screen "$list" "$VX_OUT/stress.png" vx_check_pixel 40 $((row * 80 + 40)) "255 0 0" 16
done
vx_viewer_close
