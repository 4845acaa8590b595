# Save As through the save dialog: the chosen type's extension replaces the
# typed one and the file holds the image; when that forced name exists the
# user is asked again (No goes back to the dialog, Yes replaces it); a save
# that the library cannot write reports it and leaves what was there.
convert-im6.q16 -size 60x40 -seed 7 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
convert-im6.q16 -size 5x5 xc:khaki "$VX_DATA/b.tif"
cp "$VX_DATA/b.tif" "$VX_DATA/b-before.tif"
mkdir "$VX_DATA/d.tif" # a folder where the file would go

GIF=3 TIFF=7 # the save list's rows: BMP, PCX, PNG, GIF, JPEG, JPEG 2000, JPEG XR, TIFF

# Fills the save dialog: the type's row and the typed name, then OK.
save_as() {  # ROW NAME
    vx_open_save_dialog "$1"
    vx_drive set-text "$VX_SAVE_DIALOG" 1148 "$(vx_dos_path "$VX_DATA/$2")" >/dev/null
    vx_drive press "$VX_SAVE_DIALOG" 1 >/dev/null
}

answer() {  # BUTTON (6 yes, 7 no)
    vx_answer "$1" question
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null

save_as $TIFF out.png
vx_wait_file "$VX_DATA/out.tif"
[ ! -e "$VX_DATA/out.png" ] || vx_fail "out.png written under the typed extension"
sleep 0.5
vx_check_same "$VX_DATA/out.tif" "$VX_DATA/a.png" || vx_fail "saved TIFF: $VX_WHY"

# GIF: the plasma's colours quantised to one table that giflib reads.
save_as $GIF out.png
vx_wait_file "$VX_DATA/out.gif"
sleep 0.5
giftext "$VX_DATA/out.gif" >/dev/null 2>&1 || vx_fail "giftext refuses out.gif"
vx_expect_eq "$(identify-im6.q16 -format '%w %h' "$VX_DATA/out.gif")" "60 40" "GIF size"

# b.png does not exist, b.tif does: asked; No goes back to the dialog.
save_as $TIFF b.png
answer 7
dialog=$(vx_drive wait "title=Save image file") || vx_fail "No did not go back to the dialog"
vx_cancel_dialog "$dialog" "save dialog"
cmp -s "$VX_DATA/b.tif" "$VX_DATA/b-before.tif" || vx_fail "b.tif changed after No"
save_as $TIFF b.png
answer 6
for ((i = 0; i < 100; i++)); do
    cmp -s "$VX_DATA/b.tif" "$VX_DATA/b-before.tif" || break
    sleep 0.1
done
sleep 0.5
vx_check_same "$VX_DATA/b.tif" "$VX_DATA/a.png" || vx_fail "replaced b.tif: $VX_WHY"

# The library cannot write over a folder: the error box, the folder stays.
vx_mark
save_as $TIFF d.png
answer 6
vx_expect_box Error ""
[ -d "$VX_DATA/d.tif" ] || vx_fail "the folder d.tif is gone"
