# The JPEG 2000 and JPEG XR option dialogs open from the save dialog's panel
# and their choices reach the file: the kernel and the layer count as
# opj_dump reads them, lossless files that decode to the image pixel for
# pixel (opj_decompress, JxrDecApp), a lossy JPEG XR file smaller than the
# lossless one.
photo="$VX_CORPUS/pillow-tests/png/hopper.png"
[ -r "$photo" ] || vx_skip "no corpus photo"
for tool in opj_dump opj_decompress JxrDecApp; do
    command -v "$tool" >/dev/null || vx_skip "$tool is missing"
done
cp "$photo" "$VX_DATA/a.png"
J2K=5 JXR=6 # rows of the save list

dialog=""
options=""
caption=""
# The save dialog with the row's type, and the format's option dialog.
open_options() {  # ROW CAPTION
    local panel
    vx_open_save_dialog "$1"
    dialog=$VX_SAVE_DIALOG
    panel=$(vx_drive children "$dialog" | awk '$3 == "#32770" { print $1; exit }')
    [ -n "$panel" ] || vx_fail "the save dialog has no panel"
    vx_drive press "$panel" 10101 >/dev/null
    caption=$2
    options=$(vx_drive wait "title=$2") || vx_fail "no '$2' dialog"
}
key() {  # CONTROL VK [TIMES]
    local i
    for ((i = 0; i < ${3:-1}; i++)); do
        vx_drive key "title=$caption,control=$1" "$2" >/dev/null
    done
}
finish_save() {  # NAME
    vx_drive press "$options" 1 >/dev/null
    vx_drive wait-gone "$options" >/dev/null || vx_fail "the option dialog stays"
    vx_drive set-text "$dialog" 1148 "$(vx_dos_path "$VX_DATA/$1")" >/dev/null
    vx_drive press "$dialog" 1 >/dev/null
    vx_wait_file "$VX_DATA/$1"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null

# JPEG 2000: the 9x7 kernel in 7 layers (Home: 12, then 5 down).
open_options $J2K "Save JPEG2000 Options"
vx_drive press "$options" 1511 >/dev/null
key 1522 0x24
key 1522 0x25 5
sleep 0.3
vx_shot "$options" "$VX_OUT/jpeg2000-options.png"
finish_save k.jp2
dump=$(opj_dump -i "$VX_DATA/k.jp2" 2>/dev/null)
grep -q "numlayers=7" <<<"$dump" || vx_fail "k.jp2: want 7 layers: $(grep numlayers <<<"$dump")"
grep -q "qmfbid=0" <<<"$dump" || vx_fail "k.jp2: want the 9x7 kernel: $(grep qmfbid <<<"$dump")"

# Lossless with the 5x3 kernel gives the image back.
open_options $J2K "Save JPEG2000 Options"
vx_drive press "$options" 1510 >/dev/null
key 1505 0x20 # Space: lossless
finish_save l.jp2
grep -q "qmfbid=1" <<<"$(opj_dump -i "$VX_DATA/l.jp2" 2>/dev/null)" ||
    vx_fail "l.jp2: want the 5x3 kernel"
opj_decompress -i "$VX_DATA/l.jp2" -o "$VX_DATA/l.png" >/dev/null 2>&1 ||
    vx_fail "opj_decompress refused l.jp2"
vx_check_same "$VX_DATA/l.png" "$VX_DATA/a.png" || vx_fail "lossless JPEG 2000: $VX_WHY"

# JPEG XR lossless gives the image back; quality 10 with 4-2-0 is smaller.
open_options $JXR "Save JPEG XR / HD Photo Options"
key 2005 0x20
sleep 0.3
vx_shot "$options" "$VX_OUT/jpegxr-options-lossless.png"
finish_save l.jxr
JxrDecApp -i "$VX_DATA/l.jxr" -o "$VX_DATA/l-jxr.bmp" >/dev/null 2>&1 ||
    vx_fail "JxrDecApp refused l.jxr"
vx_check_same "$VX_DATA/l-jxr.bmp" "$VX_DATA/a.png" || vx_fail "lossless JPEG XR: $VX_WHY"

open_options $JXR "Save JPEG XR / HD Photo Options"
key 2005 0x20 # lossless off again
key 2003 0x23 # End: 10
vx_drive press "$options" 2012 >/dev/null
vx_drive press "$options" 2021 >/dev/null
sleep 0.3
vx_shot "$options" "$VX_OUT/jpegxr-options.png"
finish_save q.jxr
JxrDecApp -i "$VX_DATA/q.jxr" -o "$VX_DATA/q-jxr.bmp" >/dev/null 2>&1 ||
    vx_fail "JxrDecApp refused q.jxr"
(($(stat -c %s "$VX_DATA/q.jxr") * 4 < $(stat -c %s "$VX_DATA/l.jxr"))) ||
    vx_fail "quality 10 is not much smaller than lossless"
vx_check_same "$VX_DATA/q-jxr.bmp" "$VX_DATA/a.png" && vx_fail "quality 10 kept every pixel"
true
