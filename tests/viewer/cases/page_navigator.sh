# The page navigator "Multipage Image": a multi-page file opens it at page 1
# of its count; choosing page 3 of 5 loads that page and keeps the field at
# 3; a new 4-page file resets it to 1 and to a maximum of 4; a single-page
# file closes it; its option (byte 47, on by default) toggles with its
# command. A page change passes the open guard like every command that
# replaces the image, which restores a minimised main window first.
convert-im6.q16 -size 300x200 xc:khaki -depth 8 "PNG24:$VX_DATA/a.png"
prefs="$(vx_settings_dir)/Vx.up"
byte_at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; } # FILE OFFSET

WM_SYSCOMMAND=0x112 SC_MINIMIZE=0xF020
size_of_window() { read -r _ _ w h _ <<<"$(vx_drive rect class=Vx)"; echo "${w}x$h"; }

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
normal=$(size_of_window)
vx_drive message class=Vx $WM_SYSCOMMAND $SC_MINIMIZE >/dev/null
for ((i = 0; i < 100; i++)); do
    [ "$(size_of_window)" != "$normal" ] && break
    sleep 0.05
done
[ "$(size_of_window)" != "$normal" ] || vx_fail "the main window did not minimise"
vx_drive post class=Vx 40426 0 >/dev/null || vx_fail "cannot post the page change"
for ((i = 0; i < 100; i++)); do
    [ "$(size_of_window)" = "$normal" ] && break
    sleep 0.05
done
vx_expect_eq "$(size_of_window)" "$normal" "window size after a page change of a minimised window"

vx_viewer_close

convert-im6.q16 -size 60x40 xc:red xc:lime xc:blue xc:yellow xc:white "$VX_DATA/five.tif"
convert-im6.q16 -size 30x20 xc:red xc:lime xc:blue xc:yellow "$VX_DATA/four.tif"
nav="title=Multipage Image"
field() { vx_drive get-text "$nav" 1242; }
vx_viewer_start
vx_command 40040 # warning messages off: ImageMagick's TIFF pages carry some
vx_drop "$VX_DATA/five.tif"
vx_wait_title 'five.tif *' >/dev/null
vx_drive wait "$nav" >/dev/null || vx_fail "no page navigator for a 5-page file"
vx_expect_eq "$(field)" 1 "page at opening"
vx_shot "$nav" "$VX_OUT/navigator.png"
vx_drive set-text "$nav" 1242/1252 3 >/dev/null
vx_wait_title 'five.tif (page 3 of 5)*' >/dev/null
vx_expect_eq "$(field)" 3 "page after choosing 3"

vx_drop "$VX_DATA/four.tif"
vx_wait_title 'four.tif *' >/dev/null
vx_expect_eq "$(field)" 1 "page of a new file"
vx_drive set-text "$nav" 1242/1252 9 >/dev/null
vx_expect_eq "$(field)" 4 "page field clamped to the new count"
vx_wait_title 'four.tif (page 4 of 4)*' >/dev/null

vx_drop "$VX_DATA/a.png"
vx_wait_title 'a.png *' >/dev/null
vx_drive wait-gone "$nav" || vx_fail "the navigator stayed open for a single page"
vx_command 40042
vx_command 40040
vx_viewer_close
vx_expect_eq "$(byte_at "$prefs" 47)" 0 "multipage dialog option after its command"
