# The preferences file "Vx.up": 2688 bytes starting with the version 10102,
# written at every close; a toggled option flips its own byte and no other;
# a file of another version or length is ignored (defaults, rewritten at the
# close) and values out of range are not taken as they stand.
convert-im6.q16 -size 300x200 xc:khaki -depth 8 "PNG24:$VX_DATA/a.png"
image=$(vx_dos_path "$VX_DATA/a.png")
prefs="$(vx_settings_dir)/Vx.up"

int32_at() { od -An -td4 -j "$2" -N4 "$1" | tr -d ' '; }  # FILE OFFSET
byte_at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }   # FILE OFFSET
put_bytes() { printf '%b' "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
size_of() { stat -c %s "$1"; }

# A run without a file writes the defaults: a 512 x 384 client area, fit
# image to window (offset 41), warning messages on (offset 44).
vx_viewer_start
vx_viewer_close
[ -f "$prefs" ] || vx_fail "no preferences file at $prefs"
vx_expect_eq "$(size_of "$prefs")" 2688 "file size"
vx_expect_eq "$(int32_at "$prefs" 0)" 10102 "version"
vx_expect_eq "$(int32_at "$prefs" 12)x$(int32_at "$prefs" 16)" 512x384 "client size"
vx_expect_eq "$(byte_at "$prefs" 41)" 1 "window mode"
vx_expect_eq "$(byte_at "$prefs" 44)" 1 "warning messages"
cp "$prefs" "$VX_OUT/defaults.up"

# Warning messages off, fit nothing: those two bytes change, nothing else.
vx_viewer_start
vx_command 40040
vx_command 40050
vx_viewer_close
vx_expect_eq "$(cmp -l "$VX_OUT/defaults.up" "$prefs" | tr -s ' ' | sed 's/^ //' | tr '\n' ';')" \
    '42 1 0;45 1 0;' "changed bytes (1-based offset, old, new)"
cp "$prefs" "$VX_OUT/fit-nothing.up"

# The file is read back: fit nothing shows the new image at 1:1.
vx_viewer_start "$image"
vx_wait_title 'a.png [1:1] *' >/dev/null
vx_viewer_close

# Files that are not ours: the defaults hold (the image fitted to the
# window), and the close writes a good file again.
cp "$VX_OUT/fit-nothing.up" "$VX_OUT/version-10101.up"
put_bytes "$VX_OUT/version-10101.up" 0 '\x75\x27'
cp "$VX_OUT/fit-nothing.up" "$VX_OUT/long.up"
printf '\0' >>"$VX_OUT/long.up"
for foreign in version-10101.up long.up; do
    cp "$VX_OUT/$foreign" "$prefs"
    vx_viewer_start "$image"
    vx_wait_title 'a.png 171% *' >/dev/null
    vx_viewer_close
    vx_expect_eq "$(size_of "$prefs"):$(int32_at "$prefs" 0):$(byte_at "$prefs" 41)" \
        2688:10102:1 "size:version:window mode after $foreign"
done

# A window mode of 7: the viewer runs in one of its three modes and writes
# one of them back.
cp "$VX_OUT/defaults.up" "$prefs"
put_bytes "$prefs" 41 '\x07'
vx_viewer_start "$image"
vx_wait_title 'a.png *' >/dev/null
vx_viewer_close
mode=$(byte_at "$prefs" 41)
((mode <= 2)) || vx_fail "window mode written back: have $mode, want 0, 1 or 2"
