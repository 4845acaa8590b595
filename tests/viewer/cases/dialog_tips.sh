# A dialog tip (the control gallery puts one over its free bottom-right corner)
# appears when the pointer rests on its rectangle, with its text, and stays
# hidden while the pointer is elsewhere.
[ -n "${VX_GALLERY:-}" ] && [ -f "$VX_GALLERY" ] || vx_fail "no control gallery at ${VX_GALLERY:-}"
# The drawn texts are traced to the gallery's error output.
WINEDEBUG="-all,trace+text" "$VX_WINE_LOADER" "$VX_GALLERY" "$VX_OUT/gallery.log" </dev/null \
    >"$VX_OUT/gallery.out" 2>"$VX_OUT/gallery.err" &
gallery=$!
vx_drive wait class=VxGallery >/dev/null || vx_fail "the gallery showed no window"
tip=class=tooltips_class32

vx_drive hover class=VxGallery 250 20 >/dev/null || vx_fail "cannot move the pointer"
sleep 2
vx_drive --timeout 0.2 wait "$tip" >/dev/null 2>&1 && vx_fail "a tip shows away from its rectangle"
vx_drive hover class=VxGallery 370 230 >/dev/null
vx_drive hover class=VxGallery 371 231 >/dev/null
shown=$(vx_drive wait "$tip") || vx_fail "no tip over the corner"
sleep 0.3
vx_shot "$shown" "$VX_OUT/dialog-tip.png"
grep -q 'DrawTextExW L"A free corner of the gallery."' "$VX_OUT/gallery.err" ||
    vx_fail "the tip did not draw its text"
vx_drive message class=VxGallery 0x10 >/dev/null
wait "$gallery" 2>/dev/null || true
