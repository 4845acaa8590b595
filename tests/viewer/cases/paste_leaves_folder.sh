# A pasted image has no folder: the paste empties the folder list as
# acquiring does, so Page Down opens no file of the old folder (which would
# silently replace the pasted image) and the List window shows no list.
dir="$VX_DATA/album"
mkdir -p "$dir"
for spec in "a.png:red" "b.png:lime" "c.png:blue"; do
    convert-im6.q16 -size 40x30 "xc:${spec#*:}" -depth 8 "PNG24:$dir/${spec%%:*}"
done
list=class=VxDcTl

vx_viewer_start "$(vx_dos_path "$dir/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40102
vx_drive wait-title "$list" "Image 1/3 in *" >/dev/null || vx_fail "the List window shows no folder"

vx_expect_copy album/a.png "opened" # leaves the image on the clipboard
vx_command 40422 'Clipboard_001*'
vx_drive wait-title "$list" "no directory list" >/dev/null ||
    vx_fail "the List window still lists the old folder: $(vx_drive title "$list")"

# Page Down after the paste: nothing to page to, the pasted image stays.
vx_command 40016
vx_command 40019
sleep 2
title=$(vx_drive title class=Vx)
case "$title" in
    Clipboard_001*) ;;
    *) vx_fail "paging after the paste opened '$title'" ;;
esac
