# A save that finishes while the folder scan runs joins the list that the
# scan hands over, once. The folder holds 400 TIFF files of 5000 pages each,
# whose headers take the scan seconds to read: the save of b.png ends while
# it runs, and paging is refused meanwhile.
dir="$VX_DATA/album"
mkdir "$dir"
convert-im6.q16 -size 8x8 xc:teal "$dir/a.png"
convert-im6.q16 -size 1x1 xc:red -duplicate 4999 "$dir/0000.tif"
for ((i = 1; i < 400; i++)); do
    ln "$dir/0000.tif" "$dir/$(printf %04d $i).tif"
done

vx_viewer_start "$(vx_dos_path "$dir/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_open_save_dialog 2 # PNG
vx_drive set-text "$VX_SAVE_DIALOG" 1148 "$(vx_dos_path "$dir/b.png")" >/dev/null
vx_drive press "$VX_SAVE_DIALOG" 1 >/dev/null
vx_wait_file "$dir/b.png"
vx_drive post class=Vx 40016 >/dev/null
vx_drive --timeout 1 wait-title class=Vx 'b.png *' >/dev/null &&
    vx_skip "the scan ended before the save"
for ((i = 0; i < 120; i++)); do
    vx_drive post class=Vx 40016 >/dev/null
    vx_drive --timeout 1 wait-title class=Vx 'b.png *' >/dev/null && break
done
vx_wait_title 'b.png *' >/dev/null
# b.png is listed once: after it comes the first file.
vx_command 40016 '0000.tif *'
