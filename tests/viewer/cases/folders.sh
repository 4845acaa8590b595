# A folder path opens the folder's supported file, passing over files the
# library cannot read and sub-folders with an image's name; a folder
# without one gives an information box and keeps the window as it was.
mkdir -p "$VX_DATA/pictures/sub.png" "$VX_DATA/texts"
printf 'notes\n' >"$VX_DATA/pictures/notes.txt"
cp "$VX_DATA/pictures/notes.txt" "$VX_DATA/texts/readme.txt"
convert-im6.q16 -size 40x30 xc:teal -depth 8 "PNG24:$VX_DATA/pictures/only.png"

vx_viewer_start "$(vx_dos_path "$VX_DATA/pictures")"
vx_wait_title 'only.png *' >/dev/null

texts=$(vx_dos_path "$VX_DATA/texts")
vx_mark
vx_viewer_run "$texts" || true
vx_expect_box Information "Folder: $texts"$'\n\n'"No supported image files in folder"$'\n'
vx_expect_eq "$VX_BOX_TEXT" "Folder: $texts"$'\n\n'"No supported image files in folder"$'\n' "box text"
vx_wait_title 'only.png *' >/dev/null
