# The save dialog's panel opens the format's option dialog, and its choice
# reaches the file: JPEG at quality 50 is smaller than at 95, a PNG saved
# interlaced is interlaced, a TIFF saved with LZW is LZW-compressed. The
# panel tells what GIF cannot store of an RGB image.
photo="$VX_CORPUS/pillow-tests/png/hopper.png"
[ -r "$photo" ] || vx_skip "no corpus photo"
cp "$photo" "$VX_DATA/a.png"
PNG=2 JPEG=4 TIFF=7 GIF=3 # rows of the save list

dialog=""
open_save() {  # ROW
    vx_open_save_dialog "$1"
    dialog=$VX_SAVE_DIALOG
}
panel() {
    vx_drive children "$dialog" | awk '$3 == "#32770" { print $1; exit }'
}
# Opens the format's option dialog from the panel; prints it.
# A press that comes before the freshly opened dialog takes input is lost:
# press again until the option dialog shows.
open_options() {  # CAPTION
    local p k
    p=$(panel)
    [ -n "$p" ] || vx_fail "the save dialog has no panel"
    for ((k = 0; k < 6; k++)); do
        vx_drive press "$p" 10101 >/dev/null 2>&1 || true
        vx_drive --timeout 10 wait "title=$1" 2>/dev/null && return 0
    done
    vx_drive wait "title=$1" || vx_fail "no '$1' dialog"
}
finish_save() {  # NAME
    vx_drive set-text "$dialog" 1148 "$(vx_dos_path "$VX_DATA/$1")" >/dev/null
    vx_drive press "$dialog" 1 >/dev/null
    vx_wait_file "$VX_DATA/$1"
}
jpeg_at() {  # PAGE_DOWNS NAME
    local options i
    open_save $JPEG
    options=$(open_options "Save JPEG Options")
    vx_drive key "title=Save JPEG Options,control=1402" 0x24 >/dev/null # Home: 100
    for ((i = 0; i < $1; i++)); do
        vx_drive key "title=Save JPEG Options,control=1402" 0x22 >/dev/null # Page Down: -10
    done
    [ "$1" = 0 ] && for ((i = 0; i < 5; i++)); do
        vx_drive key "title=Save JPEG Options,control=1402" 0x25 >/dev/null # Left: -1
    done
    vx_shot "$options" "$VX_OUT/jpeg-options-$2.png"
    vx_drive press "$options" 1 >/dev/null
    vx_drive wait-gone "$options" >/dev/null || vx_fail "the JPEG options stay"
    finish_save "$2"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null

jpeg_at 0 q95.jpg
jpeg_at 5 q50.jpg
q95=$(identify-im6.q16 -format '%Q' "$VX_DATA/q95.jpg")
q50=$(identify-im6.q16 -format '%Q' "$VX_DATA/q50.jpg")
vx_expect_eq "$q95 $q50" "95 50" "JPEG qualities"
(($(stat -c %s "$VX_DATA/q50.jpg") < $(stat -c %s "$VX_DATA/q95.jpg"))) ||
    vx_fail "quality 50 is not smaller than 95"

open_save $PNG
options=$(open_options "Save PNG Options")
vx_drive key "title=Save PNG Options,control=1205" 0x20 >/dev/null # Space: Interlaced
vx_drive press "$options" 1 >/dev/null
vx_drive wait-gone "$options" >/dev/null
finish_save i.png
pngcheck -v "$VX_DATA/i.png" | grep -q "RGB, interlaced" || vx_fail "i.png is not interlaced"
vx_check_same "$VX_DATA/i.png" "$VX_DATA/a.png" || vx_fail "$VX_WHY"

open_save $TIFF
options=$(open_options "Save TIFF Options")
vx_drive press "$options" 1605 >/dev/null # LZW
sleep 0.3
vx_shot "$options" "$VX_OUT/tiff-options.png"
vx_drive press "$options" 1 >/dev/null
vx_drive wait-gone "$options" >/dev/null
finish_save l.tif
tiffinfo "$VX_DATA/l.tif" 2>/dev/null | grep -q "Compression Scheme: LZW" ||
    vx_fail "l.tif is not LZW: $(tiffinfo "$VX_DATA/l.tif" 2>&1 | grep Compression)"

open_save $GIF
sleep 0.3
vx_shot "$dialog" "$VX_OUT/save-dialog-gif.png"
vx_expect_eq "$(vx_drive get-text "$(panel)" 10103)" \
    "Selected format supports only indexed 8 bps colors" "GIF limits"
vx_drive press "$dialog" 2 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null

# Each option dialog built so far opens from the panel and closes with Cancel.
for entry in "0 BMP" "1 PCX" "2 PNG" "3 GIF" "4 JPEG" "7 TIFF" "8 PNM" "9 TGA" "13 RAD" \
    "14 EXR" "12 WebP" "11 PGF"; do
    read -r row name <<<"$entry"
    open_save "$row"
    options=$(open_options "Save $name Options")
    vx_drive press "$options" 2 >/dev/null
    vx_drive wait-gone "$options" >/dev/null || vx_fail "the $name options stay"
    vx_cancel_dialog "$dialog" "save dialog"
done

# A radio choice reaches the file: TGA with RLE.
open_save 9
options=$(open_options "Save TGA Options")
vx_drive press "$options" 1802 >/dev/null # RLE
vx_drive press "$options" 1 >/dev/null
vx_drive wait-gone "$options" >/dev/null
finish_save r.tga
identify-im6.q16 -verbose "$VX_DATA/r.tga" | grep -q "Compression: RLE" || vx_fail "r.tga is not RLE"

# The Metadata dialog's title is saved with the image.
open_save $PNG
vx_drive press "$(panel)" 10102 >/dev/null
meta=$(vx_drive wait "title=Metadata") || vx_fail "no Metadata dialog"
vx_drive set-text "$meta" 10205 "  Hopper  " >/dev/null
vx_shot "$meta" "$VX_OUT/metadata.png"
vx_drive press "$meta" 1 >/dev/null
vx_drive wait-gone "$meta" >/dev/null || vx_fail "the Metadata dialog stays"
finish_save t.png
vx_expect_eq "$(identify-im6.q16 -format '%[Title]' "$VX_DATA/t.png")" "Hopper" \
    "title saved, without its blanks"
