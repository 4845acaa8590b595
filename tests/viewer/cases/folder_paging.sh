# Opening a file lists its folder; next and previous page through the
# supported files by name (letter case ignored) and wrap around, first and
# last jump, and Del sends the shown file to the recycle bin and shows the
# entry that took its place. Files the library does not know are not listed.
dir="$VX_DATA/album"
mkdir -p "$dir/sub.png"
for spec in "A.png:red" "b.jpg:lime" "c.png:blue" "D.png:yellow"; do
    convert-im6.q16 -size 40x30 "xc:${spec#*:}" -depth 8 "$dir/${spec%%:*}"
done
printf 'notes\n' >"$dir/notes.txt"

vx_viewer_start "$(vx_dos_path "$dir/b.jpg")"
vx_wait_title 'b.jpg *' >/dev/null

# Paging is refused silently while the scan runs: repeat until it moves.
for ((i = 0; i < 100; i++)); do
    vx_drive post class=Vx 40016 >/dev/null
    vx_drive --timeout 1 wait-title class=Vx 'c.png *' >/dev/null && break
done
vx_wait_title 'c.png *' >/dev/null
vx_command 40016 'D.png *'
vx_command 40016 'A.png *'      # after the last comes the first
vx_command 40017 'D.png *'      # and back
vx_command 40018 'A.png *'
vx_command 40019 'D.png *'
vx_command 40017 'c.png *'

# Del: the shell asks its own question; the follower becomes current.
vx_drive post class=Vx 40025 >/dev/null
vx_drive wait 'title=Confirm file deletion' >/dev/null || vx_fail "no recycle question"
vx_drive press 'title=Confirm file deletion' 6 >/dev/null
vx_wait_title 'D.png *' >/dev/null
[ ! -e "$dir/c.png" ] || vx_fail "c.png is still in the folder"
[ -e "$HOME/.local/share/Trash/files/c.png" ] || vx_fail "c.png is not in the recycle bin"
vx_command 40016 'A.png *'
vx_command 40016 'b.jpg *'
vx_command 40016 'D.png *'      # c.png left the list

# The slideshow pages on by itself every five seconds and stops when asked.
vx_command 40109
vx_drive --timeout 8 wait-title class=Vx 'A.png *' >/dev/null || vx_fail "the slideshow did not move on"
vx_command 40109
sleep 6
vx_wait_title 'A.png *' >/dev/null
