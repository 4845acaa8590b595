# Exports under load: while a thumbnail sheet or a gallery is written, the
# List window is sent sort, thumbnail-size, selection and reread commands
# (ignored while the export runs) and the main window pages and, every third
# round, rereads the folder (which cancels the export and waits for it).
# (The sheet joins the list once it is there.) After 30 rounds the viewer
# still answers, every sheet or page left behind is whole, most rounds left
# one, and the viewer closes normally.
dir="$VX_DATA/many"
mkdir -p "$dir"
convert-im6.q16 -size 1600x1200 plasma:fractal -quality 85 "$dir/p00.jpg"
for ((i = 1; i < 40; i++)); do
    cp "$dir/p00.jpg" "$dir/p$(printf %02d "$i").jpg"
done
list=class=VxDcTl
sheet="$dir/Vx_Thumbnails.png"
page="$dir/Vx HTML Gallery/Thumbnails.html"

# A round removes the last round's sheet while the list keeps its entry
# until a reread, so paging may reach a file that is gone: the viewer says
# so in an error box, which holds up paging until it is closed.
close_sheet_error() {
    [ "$(vx_drive count 'title=Vx Error')" = 0 ] ||
        vx_expect_box Error "File: $(vx_dos_path "$sheet")"
}

vx_viewer_start "$(vx_dos_path "$dir/p00.jpg")"
vx_wait_title 'p00.jpg *' >/dev/null
vx_command 40102
vx_drive wait "$list" >/dev/null || vx_fail "no List window"

written=0
for ((round = 0; round < 30; round++)); do
    vx_drive --timeout 60 wait-title "$list" 'Image */4? in *' >/dev/null ||
        vx_fail "round $round: the list did not come back: $(vx_drive title "$list")"
    rm -rf "$sheet" "$dir/Vx HTML Gallery"
    if ((round % 2 == 0)); then id=40725 title='Create Thumbnail Sheet'; else id=40726 title='Create HTML'; fi
    vx_drive post "$list" 40730 >/dev/null
    vx_drive post "$list" "$id" >/dev/null
    dialog=$(vx_drive wait "title=$title") || vx_fail "round $round: no '$title' dialog"
    vx_drive press "$dialog" 1 >/dev/null || true
    vx_drive post-rounds "$list" 1 2 40761 40774 40766 40772 40731 40720 >/dev/null || true
    ((round % 3 == 0)) && vx_drive post class=Vx 40024 >/dev/null
    vx_drive post class=Vx 40016 >/dev/null
    # An export that never started (the thumbnails were still loading when
    # OK came) is cancelled.
    if ! vx_drive --timeout 20 wait-gone "$dialog" >/dev/null 2>&1; then
        vx_drive press "$dialog" 2 >/dev/null 2>&1 || true
        vx_drive wait-gone "$dialog" >/dev/null || vx_fail "round $round: '$title' hangs"
    fi
    if [ -e "$sheet" ]; then
        identify-im6.q16 "$sheet" >/dev/null 2>&1 || vx_fail "round $round: a broken sheet is left"
        written=$((written + 1))
    fi
    if [ -e "$page" ]; then
        tail -c 9 "$page" | grep -q '</html>' || vx_fail "round $round: a broken page is left"
        written=$((written + 1))
    fi
    close_sheet_error
done
[ "$written" -ge 10 ] || vx_fail "only $written of 30 rounds wrote their export"

vx_drive --timeout 60 wait-title "$list" 'Image */4? in *' >/dev/null || vx_fail "list title"
vx_drive post "$list" 40760 >/dev/null
# The first image: refused silently while a reread still lists the folder.
first=""
for ((i = 0; i < 40; i++)); do
    close_sheet_error
    vx_drive post class=Vx 40018 >/dev/null
    first=$(vx_drive --timeout 1 wait-title class=Vx 'p00.jpg *' 2>/dev/null) && break
done
[[ "$first" == p00.jpg* ]] ||
    vx_fail "the first image is not shown: main window '$first', list '$(vx_drive title "$list")'," \
        "windows: $(for w in $(vx_drive list 'title~=*'); do printf "'%s' " "$(vx_drive title "$w")"; done)"
vx_viewer_close
