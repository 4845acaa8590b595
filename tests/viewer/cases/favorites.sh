# The favourites live in "fa.up" in the settings folder: read at start-up and
# written back, unchanged, when the viewer closes with the preferences.
settings=$(vx_settings_dir)
mkdir -p "$settings"
# "Fav" with a Rotate 90 and a Shift (5, -3).
perl -e 'print "VxAL", pack("V3", 257, 2, 3), pack("v3", unpack("C3", "Fav")),
         pack("V l<", 11, 90), pack("V l< l<", 10, 5, -3)' >"$settings/fa.up"
cp "$settings/fa.up" "$VX_DATA/written.up"
touch -d '2000-01-01' "$settings/fa.up"

vx_viewer_start
vx_viewer_close
[ "$settings/fa.up" -nt "$VX_DATA/written.up" ] || vx_fail "fa.up was not written at exit"
cmp -s "$settings/fa.up" "$VX_DATA/written.up" || vx_fail "fa.up changed: $(xxd "$settings/fa.up" | head -5)"
