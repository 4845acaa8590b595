# Files dropped on the main window (through X, as a file manager drops them):
# an image opens, a folder opens its first image by name or says it has none,
# and an action-list file ("vxa") that cannot be read, or comes without an
# image, gives its error and leaves the shown image alone.
mkdir -p "$VX_DATA/folder" "$VX_DATA/empty folder"
convert-im6.q16 -size 200x100 xc:navy -depth 8 "PNG24:$VX_DATA/b c.png"
convert-im6.q16 -size 30x20 xc:khaki -depth 8 "PNG24:$VX_DATA/folder/z.png"
convert-im6.q16 -size 30x20 xc:khaki -depth 8 "PNG24:$VX_DATA/folder/y.png"
printf 'not an image\n' >"$VX_DATA/empty folder/notes.txt"
printf 'VxAL\0\0\0\0\0\0\0\0' >"$VX_DATA/list.VXA" # a 12-byte header

drop() {  # FILE
    vx_drop "$VX_DATA/$1"
}

vx_viewer_start
vx_mark
drop list.VXA
vx_expect_box Error "No image file to apply actions"
vx_expect_eq "$VX_BOX_TEXT" "No image file to apply actions" "box text without an image"

drop "b c.png"
vx_wait_title 'b c.png *' >/dev/null
vx_mark
drop list.VXA
vx_expect_box Error "Invalid action list"
vx_expect_eq "$VX_BOX_TEXT" "Invalid action list" "box text with an image"
vx_wait_title 'b c.png *' >/dev/null

drop folder
vx_wait_title 'y.png *' >/dev/null
vx_mark
drop "empty folder"
vx_expect_box Information "Folder: $(vx_dos_path "$VX_DATA/empty folder")"$'\n\n'"No supported image files in folder"
