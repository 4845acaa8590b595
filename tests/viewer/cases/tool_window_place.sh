# A tool window reopens where it was at the last exit; a stored position past
# the screen's right edge opens it ending at that edge, a negative one at 0.
# The Histogram window's position is kept at offsets 104 and 108 of Vx.up.
prefs="$(vx_settings_dir)/Vx.up"
put_int32() { perl -e 'print pack("l<", $ARGV[0])' -- "$2" | dd of="$prefs" bs=1 seek="$1" conv=notrunc status=none; }
histogram=title=Histogram

vx_viewer_start
vx_command 40103
vx_drive wait "$histogram" >/dev/null || vx_fail "no Histogram window"
vx_viewer_close

put_int32 104 5000
put_int32 108 -40
vx_viewer_start
vx_drive wait "$histogram" >/dev/null || vx_fail "the Histogram window did not reopen"
read -r x y w _ <<<"$(vx_drive rect "$histogram")"
screen=$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1] }')
vx_expect_eq "$((x + w)),$y" "$screen,0" "right edge and top of the reopened window"
vx_viewer_close
