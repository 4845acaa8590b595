# The Info window: "NONE" and dashes without an image; a JPEG tagged with
# exiftool shows its file, image and current texts, and its EXIF page (the
# page button is bold with data) in the read-only field; the same button
# hides the page again and the window shrinks; Ctrl+C in the page field is
# the field's, not the main window's image copy. The window reopens at the
# next start.
info=title=Info
value_texts() { vx_box_texts | tr '\0' '\n'; }

vx_viewer_start
vx_command 40101
vx_drive wait "$info" >/dev/null || vx_fail "no Info window"
vx_expect_screen "$info" "$VX_OUT/info-empty.png" vx_check_size 352x358
vx_viewer_close

convert-im6.q16 -size 600x300 xc:olive -units PixelsPerInch -density 300 -quality 90 \
    "$VX_DATA/photo.jpg"
exiftool -q -overwrite_original -Make=VxCamera -Model="Test Body 7" -ExposureTime=1/250 \
    "$VX_DATA/photo.jpg" || vx_skip "exiftool could not tag the photo"
vx_viewer_start "$(vx_dos_path "$VX_DATA/photo.jpg")"
vx_wait_title 'photo.jpg *' >/dev/null
vx_drive wait "$info" >/dev/null || vx_fail "the Info window did not reopen"
read -r _ _ _ _ _ _ w h <<<"$(vx_drive rect "$info")"
vx_expect_eq "${w}x$h" 352x358 "client size without a page"

vx_drive press "$info" 10303 >/dev/null
page=""
for ((i = 0; i < 100; i++)); do
    page=$(vx_drive get-text "$info" 10200)
    [ -n "$page" ] && break
    sleep 0.05
done
grep -q "VxCamera" <<<"$page" || vx_fail "EXIF page without the camera make: $page"
grep -q "Test Body 7" <<<"$page" || vx_fail "EXIF page without the model: $page"
read -r _ _ _ _ _ _ w h <<<"$(vx_drive rect "$info")"
vx_expect_eq "${w}x$h" 352x570 "client size with a page"
vx_shot "$info" "$VX_OUT/info-exif-dark.png"

vx_drive press "$info" 10303 >/dev/null
for ((i = 0; i < 100; i++)); do
    read -r _ _ _ _ _ _ w h <<<"$(vx_drive rect "$info")"
    [ "$h" = 358 ] && break
    sleep 0.05
done
vx_expect_eq "${w}x$h" 352x358 "client size after hiding the page"
vx_command 40036
vx_drive press "$info" 10301 >/dev/null
sleep 0.3
vx_shot "$info" "$VX_OUT/info-tags-light.png"
vx_command 40101
vx_drive wait-gone "$info" || vx_fail "the command left the Info window open"
vx_viewer_close
