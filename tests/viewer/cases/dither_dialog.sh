# "Dither to monochrome": asked before a conversion to monochrome while the
# monochrome dithering is set to ask. OK converts with the chosen kind and
# keeps it with the ask bit (16 + kind at byte 53 of the preferences);
# Escape converts with the last choice. The shown image (through Copy)
# equals the library's own conversion.
photo="$VX_CORPUS/pillow-tests/png/hopper.png"
[ -r "$photo" ] || vx_skip "no corpus photo"
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
cp "$photo" "$VX_DATA/a.png"
"$VX_ILTOOL" mode "$VX_DATA/a.png" "$VX_DATA/m1.png" mono 1 2>/dev/null || vx_fail "iltool mono 1"
"$VX_ILTOOL" mode "$VX_DATA/a.png" "$VX_DATA/m2.png" mono 2 2>/dev/null || vx_fail "iltool mono 2"
prefs="$(vx_settings_dir)/Vx.up"
title="title=Dither to monochrome"

ask() {  # RADIO CLOSE-ID|escape
    vx_command 40911
    local dialog
    dialog=$(vx_drive wait "$title") || vx_fail "no dither question"
    vx_drive press "$dialog" "$1" >/dev/null || vx_fail "cannot press $1"
    if [ "$2" = escape ]; then
        vx_drive key "$dialog" 0x1B >/dev/null || vx_fail "cannot press Escape"
    else
        vx_drive press "$dialog" "$2" >/dev/null || vx_fail "cannot press $2"
    fi
    vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the dither question stays"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40524 # monochrome dithering: ask
vx_command 40911
dialog=$(vx_drive wait "$title") || vx_fail "no dither question"
sleep 0.3
vx_shot "$dialog" "$VX_OUT/dither-dialog.png"
vx_drive press "$dialog" 1211 >/dev/null || vx_fail "cannot choose Ordered"
vx_drive press "$dialog" 1 >/dev/null || vx_fail "cannot press 1"
vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the dither question stays"
vx_expect_copy m1.png "OK with Ordered"
vx_command 40530
vx_expect_copy a.png "undo"

# Escape keeps the last choice (Ordered), whatever was clicked.
ask 1212 escape
vx_expect_copy m1.png "Escape after Ordered"
vx_command 40530
vx_expect_copy a.png "undo"

ask 1212 1 # Floyd-Steinberg
vx_expect_copy m2.png "OK with Floyd-Steinberg"
vx_command 40041 # no question on exit
vx_viewer_close
vx_expect_eq "$(od -An -tu1 -j 53 -N1 "$prefs" | tr -d ' ')" 18 "stored choice with the ask bit"

# The next run asks again and opens on the stored choice: OK alone converts
# with Floyd-Steinberg.
vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_command 40911
dialog=$(vx_drive wait "$title") || vx_fail "no dither question in the next run"
vx_drive press "$dialog" 1 >/dev/null || vx_fail "cannot press 1"
vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the dither question stays"
vx_expect_copy m2.png "the stored choice"
