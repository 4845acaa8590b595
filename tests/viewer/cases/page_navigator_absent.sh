# Until the page navigator exists: its option is greyed, so the command does
# not toggle the stored option (byte 47, on by default); and a page change
# passes the open guard like every command that replaces the image, which
# restores a minimised main window first.
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

vx_command 40042
vx_viewer_close
vx_expect_eq "$(byte_at "$prefs" 47)" 1 "multipage dialog option after its command"
