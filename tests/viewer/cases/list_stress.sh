# The List window under load: 200 rounds of sorting, changing the
# thumbnail size and rereading the folder while the thumbnails of 60 JPEG
# files load, and thumbnail sheets exported meanwhile. The viewer must keep
# answering, end up with the whole list and every thumbnail shown, and
# close normally.
dir="$VX_DATA/many"
mkdir -p "$dir"
convert-im6.q16 -size 1600x1200 xc:red -quality 85 "$dir/p00.jpg"
for ((i = 1; i < 60; i++)); do
    cp "$dir/p00.jpg" "$dir/p$(printf %02d "$i").jpg"
    touch -d "2020-01-01 + $i hours" "$dir/p$(printf %02d "$i").jpg"
done
convert-im6.q16 -size 1600x1200 xc:blue -quality 85 "$dir/p50.jpg"
touch -d "2020-01-01 + 50 hours" "$dir/p50.jpg"
list=class=VxDcTl
# Every command that reorders the list waits for the thumbnails being
# decoded: the backlog takes minutes on a loaded machine.
VX_WINE_TIMEOUT=540
VX_VIEWER_LIFETIME=630

vx_viewer_start "$(vx_dos_path "$dir/p00.jpg")"
vx_wait_title 'p00.jpg *' >/dev/null
vx_command 40102
vx_drive wait "$list" >/dev/null || vx_fail "no List window"
vx_drive wait-title "$list" 'Image 1/60 in *' >/dev/null || vx_fail "list title"

# Ten batches of 20 rounds: sort by size, 128 pixels, shuffle, 192 pixels,
# reread, sort by name, 64 pixels, sort by time, each posted 5 ms after the
# one before. After each batch, while the viewer still works through it, a
# sheet of every entry from the List window's menu: its OK stays disabled
# while thumbnails load (the dialog is cancelled when it does not start
# soon), a reread closes the dialog, and while the sheet is written the
# List window's commands are refused.
sheet='title=Create Thumbnail Sheet'
# export_sheet TRIES: opens the dialog and presses OK until it goes away;
# false when it is still open after TRIES presses.
export_sheet() {
    vx_drive post "$list" 40730 >/dev/null
    vx_drive post "$list" 40725 >/dev/null
    vx_drive --timeout 10 wait "$sheet" >/dev/null || return 0
    for ((t = 0; t < $1; t++)); do
        vx_drive --timeout 2 press "$sheet" 1 >/dev/null 2>&1 || return 0
        vx_drive --timeout 1 wait-gone "$sheet" >/dev/null 2>&1 && return 0
    done
    return 1
}
for ((batch = 0; batch < 10; batch++)); do
    vx_drive --timeout 60 post-rounds "$list" 20 5 40761 40774 40766 40776 40720 40760 40772 \
        40764 >/dev/null || vx_fail "could not post batch $batch"
    export_sheet 3 || vx_drive --timeout 2 press "$sheet" 2 >/dev/null 2>&1 || true
done
vx_drive --timeout 10 wait-gone "$sheet" >/dev/null || vx_fail "the sheet dialog stays open"

vx_drive post class=Vx 40024 >/dev/null # the last reread sees every sheet written
vx_drive --timeout 120 wait-title "$list" 'Image */6? in *' >/dev/null ||
    vx_fail "the list did not come back: list '$(vx_drive title "$list")'," \
        "main window '$(vx_drive title class=Vx)'"
vx_drive post "$list" 40760 >/dev/null
# The first image: refused silently while a reread still lists the folder.
for ((i = 0; i < 100; i++)); do
    vx_drive post class=Vx 40018 >/dev/null
    vx_drive --timeout 1 wait-title class=Vx 'p00.jpg *' >/dev/null && break
done
vx_wait_title 'p00.jpg *' >/dev/null
vx_drive --timeout 60 wait-title "$list" 'Image 1/6? in *' >/dev/null || vx_fail "list title"
vx_command 40016 'p01.jpg *'
# Once the thumbnails are loaded an export starts at the first press.
rm -f "$dir/Vx_Thumbnails.png"
export_sheet 10 || vx_fail "the sheet did not start"
vx_drive --timeout 30 wait-gone "$sheet" >/dev/null || vx_fail "the sheet was not written"
[ -s "$dir/Vx_Thumbnails.png" ] || vx_fail "no sheet file"
# Every visible row shows its thumbnail (64 x 48 red in rows of 80).
for row in 0 1 2 3; do
    vx_expect_screen "$list" "$VX_OUT/stress.png" vx_check_pixel 40 $((row * 80 + 40)) "255 0 0" 16
done
# Scrolled to row 50, the rows show p50.jpg (blue) and the ones after it.
vx_drive message "$list" 0x115 $(((50 << 16) | 4)) >/dev/null
vx_expect_screen "$list" "$VX_OUT/scrolled.png" vx_check_pixel 40 40 "0 0 255" 16
vx_check_pixel "$VX_OUT/scrolled.png" 40 120 "255 0 0" 16 || vx_fail "$VX_WHY"
vx_viewer_close
