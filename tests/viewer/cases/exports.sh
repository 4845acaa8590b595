# The thumbnail sheet and the HTML gallery of the List window's selection:
# the sheet has the layout's size, the background, frames, pictures and
# texts; the gallery holds a page that names every file, one thumbnail per
# file and an empty "Images" folder. An export that cannot write reports it
# and leaves no file behind.
dir="$VX_DATA/album"
mkdir -p "$dir"
convert-im6.q16 -size 160x120 xc:red -depth 8 "$dir/a.png"         # 64 x 48
convert-im6.q16 -size 120x160 xc:lime -depth 8 "$dir/b & c.png"    # 48 x 64
convert-im6.q16 -size 100x100 xc:blue -depth 8 "$dir/d#1.jpg"      # 64 x 64

list=class=VxDcTl
vx_viewer_start "$(vx_dos_path "$dir/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40102
vx_drive wait "$list" >/dev/null || vx_fail "no List window"
vx_drive wait-title "$list" 'Image 1/3 in *album' >/dev/null || vx_fail "list title"

# run_export ID TITLE: selects every entry, opens the dialog, presses OK
# (which does nothing until the thumbnails are loaded) and waits until the
# worker has closed the dialog.
run_export() {
    local dialog i
    vx_drive post "$list" 40730 >/dev/null
    vx_drive post "$list" "$1" >/dev/null
    dialog=$(vx_drive wait "title=$2") || vx_fail "no '$2' dialog"
    for ((i = 0; i < 100; i++)); do
        vx_drive press "$dialog" 1 >/dev/null || return 0
        vx_drive --timeout 1 wait-gone "$dialog" >/dev/null && return 0
    done
    vx_fail "'$2' stays open"
}

# The sheet: 8 columns, spacing 24, frame 1, thumbnails of 64, three text
# lines: cells 90 wide and 90 + 3 x 14 + 1 = 133 high.
run_export 40725 'Create Thumbnail Sheet'
sheet="$dir/Vx_Thumbnails.png"
[ -f "$sheet" ] || vx_fail "no sheet was written"
cp "$sheet" "$VX_OUT/sheet.png"
vx_check_size "$sheet" 744x157 || vx_fail "$VX_WHY"
check() { vx_check_pixel "$sheet" "$@" || vx_fail "$VX_WHY"; }
check 2 2 "0 0 187"            # background: blue 0.5, linear light
check 24 31 "255 255 255"      # the frame above the landscape picture
check 56 56 "255 0 0"          # a.png
check 114 56 "0 0 187"         # beside the portrait picture of b & c.png
check 146 56 "0 255 0" 8
check 236 56 "0 0 255" 8       # d#1.jpg
check 400 56 "0 0 187"         # empty cells
yellow=$(convert-im6.q16 "$sheet" -crop 90x42+11+91 +repage -fuzz 25% -fill black +opaque yellow \
    -fill white -opaque yellow -format '%[fx:int(mean*w*h+0.5)]' info:)
[ "$yellow" -gt 20 ] || vx_fail "no yellow text under the first cell ($yellow pixels)"

# The gallery.
run_export 40726 'Create HTML'
gallery="$dir/Vx HTML Gallery"
page="$gallery/Thumbnails.html"
[ -f "$page" ] || vx_fail "no gallery page"
[ -d "$gallery/Images" ] && [ -z "$(ls -A "$gallery/Images")" ] || vx_fail "no empty Images folder"
for name in 'a.png' 'b &amp; c.png' 'd#1.jpg'; do
    grep -qF "    $name<br />" "$page" || vx_fail "the page does not name $name"
done
grep -qF 'src="Thumbnails\d%231.png"' "$page" || vx_fail "the link to d#1's thumbnail is not escaped"
grep -qF 'color: #FFFF00; background-color: #0000BB;' "$page" || vx_fail "page colours"
[ "$(ls "$gallery/Thumbnails" | wc -l)" = 3 ] || vx_fail "want three thumbnails"
vx_check_size "$gallery/Thumbnails/a.png" 64x48 || vx_fail "$VX_WHY"
vx_check_size "$gallery/Thumbnails/b & c.png" 48x64 || vx_fail "$VX_WHY"
vx_check_pixel "$gallery/Thumbnails/d#1.png" 30 30 "0 0 255" 8 || vx_fail "$VX_WHY"

# Exports that cannot write: a folder in the sheet's place, a file in the
# gallery's. Each reports, and no file is left behind.
rm -rf "$sheet" "$gallery"
mkdir "$sheet"
touch "$gallery"
vx_mark
run_export 40725 'Create Thumbnail Sheet'
vx_expect_box Error 'Failed to create thumbnail sheet'
[ -d "$sheet" ] && [ -z "$(ls -A "$sheet")" ] || vx_fail "the failed sheet left something"
vx_mark
run_export 40726 'Create HTML'
vx_expect_box Error 'Failed to create directories'
[ -f "$gallery" ] && [ ! -s "$gallery" ] || vx_fail "the failed gallery left something"
ls "$dir" >"$VX_OUT/left.txt"
[ "$(ls "$dir" | wc -l)" = 5 ] || vx_fail "files were left: $(tr '\n' ' ' <"$VX_OUT/left.txt")"
