# The List window on a folder of six images of known colours, pixel sizes,
# file sizes and times: thumbnails at 64 and 192 pixels (aspect kept, never
# enlarged), a click opens its row, the sort keys order the folder list (the
# main window pages through it in that order), shuffle draws new orders,
# Ctrl-click selects, and the selection is deleted to the recycle bin,
# copied and moved through the shell.
dir="$VX_DATA/album"
mkdir -p "$dir"
# name colour size padding mtime: the padding (a PNG comment) sets the file
# size order d f a c e B; the times the order c e a f B d.
while read -r name colour size pad day; do
    convert-im6.q16 -size "$size" "xc:$colour" -depth 8 \
        -set comment "$(head -c "$pad" /dev/urandom | base64 -w0)" "$dir/$name"
    touch -d "2020-01-$day 12:00" "$dir/$name"
done <<'EOF'
a.png red 300x200 3000 03
B.png lime 200x300 9000 05
c.png blue 120x90 4000 01
d.png yellow 60x40 100 06
e.png magenta 250x250 6000 02
f.png cyan 90x60 1000 04
EOF
printf 'notes\n' >"$dir/notes.txt"

list=class=VxDcTl

# The names of the folder list in order: the first entry, then next up to
# the sixth. The List window's title changes after the main window's, so
# once it shows an index the main title names that entry. (Each call ends on
# the sixth entry: the first wait cannot match a title from before.)
folder_order() {
    local title names="" k
    for ((k = 1; k <= 6; k++)); do
        vx_drive post class=Vx $((k == 1 ? 40018 : 40016)) >/dev/null
        vx_drive wait-title "$list" "Image $k/6 in *" >/dev/null || vx_fail "list title at $k"
        title=$(vx_drive title class=Vx)
        names="$names${names:+ }${title%% *}"
    done
    printf '%s\n' "$names"
}

# list_sort ID ORDER: the sort command, then the folder's order.
expect_order() {
    vx_drive post "$list" "$1" >/dev/null
    local have
    have=$(folder_order)
    vx_expect_eq "$have" "$2" "order after command $1"
}

# click ROW [KEYS]: a left click in the middle of a row of 80 pixels.
click() {
    local y=$(($1 * 80 + 40))
    vx_drive message "$list" 0x201 "${2:-0}" $(((y << 16) | 150)) >/dev/null
}

vx_viewer_start "$(vx_dos_path "$dir/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40102
vx_drive wait "$list" >/dev/null || vx_fail "no List window"
vx_drive wait-title "$list" 'Image 1/6 in *album' >/dev/null || vx_fail "list title"

# 64 pixels: rows of 80, thumbnails centred in the cell at their own size
# (c.png 120 x 90 is fitted to 64 x 48; d.png 60 x 40 stays as it is).
vx_expect_screen "$list" "$VX_OUT/list64.png" vx_check_pixel 40 40 "255 0 0" 8
vx_expect_screen "$list" "$VX_OUT/list64.png" vx_check_pixel 40 120 "0 255 0" 8
vx_expect_screen "$list" "$VX_OUT/list64.png" vx_check_pixel 40 200 "0 0 255" 8
vx_check_pixel "$VX_OUT/list64.png" 40 $((160 + 17)) "0 0 255" 8 || vx_fail "$VX_WHY"
! vx_check_pixel "$VX_OUT/list64.png" 40 $((160 + 15)) "0 0 255" 8 ||
    vx_fail "c.png's thumbnail is taller than 48"
vx_check_pixel "$VX_OUT/list64.png" 40 $((240 + 21)) "255 255 0" 8 || vx_fail "$VX_WHY"
! vx_check_pixel "$VX_OUT/list64.png" 40 $((240 + 19)) "255 255 0" 8 ||
    vx_fail "d.png's thumbnail was enlarged"

# 192 pixels: rows of 196; a.png 300 x 200 becomes 192 x 128.
vx_drive post "$list" 40776 >/dev/null
vx_expect_screen "$list" "$VX_OUT/list192.png" vx_check_pixel 98 98 "255 0 0" 8
vx_check_pixel "$VX_OUT/list192.png" 98 $((98 - 62)) "255 0 0" 8 || vx_fail "$VX_WHY"
! vx_check_pixel "$VX_OUT/list192.png" 98 $((98 - 66)) "255 0 0" 8 ||
    vx_fail "a.png's thumbnail is taller than 128"
vx_expect_screen "$list" "$VX_OUT/list192.png" vx_check_pixel 98 294 "0 255 0" 8
vx_drive post "$list" 40772 >/dev/null

# A click opens its row; the list title follows.
click 2
vx_wait_title 'c.png *' >/dev/null
vx_drive wait-title "$list" 'Image 3/6 in *' >/dev/null || vx_fail "list title after a click"

expect_order 40761 "d.png f.png a.png c.png e.png B.png"
expect_order 40751 "B.png e.png c.png a.png f.png d.png"
expect_order 40764 "d.png B.png f.png a.png e.png c.png"
expect_order 40750 "c.png e.png a.png f.png B.png d.png"
expect_order 40762 "d.png f.png c.png a.png B.png e.png"
expect_order 40760 "a.png B.png c.png d.png e.png f.png"

# Shuffle: every order holds the six names; three shuffles are not all alike.
orders=()
for ((k = 0; k < 3; k++)); do
    vx_drive post "$list" 40766 >/dev/null
    orders+=("$(folder_order)")
    sorted=$(tr ' ' '\n' <<<"${orders[k]}" | sort -f | tr '\n' ' ')
    vx_expect_eq "$sorted" "a.png B.png c.png d.png e.png f.png " "names after a shuffle"
done
[ "${orders[0]}" != "${orders[1]}" ] || [ "${orders[1]}" != "${orders[2]}" ] ||
    vx_fail "three shuffles gave one order: ${orders[0]}"
expect_order 40760 "a.png B.png c.png d.png e.png f.png"

# Ctrl-click selects B.png and c.png; deleting them asks the shell, which
# moves them to the recycle bin; a.png stays shown.
vx_command 40018 'a.png *'
click 1 8
click 2 8
vx_drive post "$list" 40721 >/dev/null
vx_drive wait 'title~=Confirm*deletion' >/dev/null || vx_fail "no recycle question"
vx_drive press 'title~=Confirm*deletion' 6 >/dev/null
vx_drive wait-title "$list" 'Image 1/4 in *' >/dev/null || vx_fail "list after delete"
for name in B.png c.png; do
    [ ! -e "$dir/$name" ] || vx_fail "$name is still in the folder"
    [ -e "$HOME/.local/share/Trash/files/$name" ] || vx_fail "$name is not in the recycle bin"
done

# Copy d.png, then move e.png, to the folder the chooser offers first (the
# desktop, which is $HOME here); moving takes the entry off the list.
choose_first_folder() {
    vx_drive wait 'title=Select folder' >/dev/null || vx_fail "no folder chooser"
    vx_drive press 'title=Select folder' 1 >/dev/null
}
click 1 8
vx_drive post "$list" 40722 >/dev/null
choose_first_folder
for ((t = 0; t < 100; t++)); do [ -e "$HOME/d.png" ] && break; sleep 0.1; done
[ -e "$HOME/d.png" ] && [ -e "$dir/d.png" ] || vx_fail "d.png was not copied"
vx_drive post "$list" 40731 >/dev/null
click 2 8
vx_drive post "$list" 40723 >/dev/null
choose_first_folder
vx_drive wait-title "$list" 'Image 1/3 in *' >/dev/null || vx_fail "list after move"
[ -e "$HOME/e.png" ] && [ ! -e "$dir/e.png" ] || vx_fail "e.png was not moved"
# Next and previous wrap around; the List window follows.
vx_command 40016 'd.png *'
vx_command 40016 'f.png *'
vx_command 40016 'a.png *'
vx_drive wait-title "$list" 'Image 1/3 in *' >/dev/null || vx_fail "list title after next"
vx_command 40017 'f.png *'
vx_drive wait-title "$list" 'Image 3/3 in *' >/dev/null || vx_fail "list title after previous"
vx_command 40016 'a.png *'

# Saving the shown image into the listed folder adds its row, thumbnail and
# all, while a.png stays current.
vx_open_save_dialog 2 40012
vx_drive set-text "$VX_SAVE_DIALOG" 1148 "$(vx_dos_path "$dir/b2.png")" >/dev/null
vx_drive press "$VX_SAVE_DIALOG" 1 >/dev/null
vx_wait_file "$dir/b2.png"
vx_drive wait-title "$list" 'Image 1/4 in *' >/dev/null || vx_fail "list after a save"
vx_expect_screen "$list" "$VX_OUT/list-saved.png" vx_check_pixel 40 120 "255 0 0" 8
