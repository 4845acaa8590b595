# A second start with a path hands the path to the running window and ends
# without a window of its own; paths too long for a global atom (more than
# 255 characters) and non-ASCII names arrive too, and a first instance
# opens a long start-up path itself.
convert-im6.q16 -size 64x48 xc:orange -depth 8 "PNG24:$VX_DATA/a.png"
cp "$VX_DATA/a.png" "$VX_DATA/b.png"
cp "$VX_DATA/a.png" "$VX_DATA/bild-ü€.png"
deep="$VX_DATA/$(printf 'folder-%02d-with-a-rather-long-name/' $(seq 1 7) | tr -d '\n')"
mkdir -p "$deep"
cp "$VX_DATA/a.png" "$deep/long.png"
long=$(vx_dos_path "$deep/long.png")
((${#long} > 255 && ${#long} < 480)) || vx_fail "the long path has ${#long} characters"

# hand_over FILE TITLE_GLOB
hand_over() {
    local status=0
    vx_viewer_run "$1" || status=$?
    [ "$status" -ne 124 ] || vx_fail "the second instance did not end"
    vx_wait_title "$2" >/dev/null
    vx_expect_eq "$(vx_drive count class=Vx)" 1 "main windows after handing over $(basename "$1")"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
hand_over "$(vx_dos_path "$VX_DATA/b.png")" 'b.png *'
hand_over "$(vx_dos_path "$VX_DATA/bild-ü€.png")" 'bild-ü€.png *'
hand_over "$long" 'long.png *'
vx_viewer_close

vx_viewer_start "$long"
vx_wait_title 'long.png *' >/dev/null

# WM_COPYDATA texts need not be terminated: one that fills all 480 units of
# the viewer's path buffer is refused, not cut to the 479 units that name
# another file; 479 units without a terminator still arrive.
base=$(vx_dos_path "$VX_DATA")
room=$((479 - ${#base} - 10))
first=$(printf 'c%.0s' $(seq 1 $((room / 2))))
second=$(printf 'd%.0s' $(seq 1 $((room - room / 2))))
mkdir -p "$VX_DATA/$first/$second"
cp "$VX_DATA/a.png" "$VX_DATA/$first/$second/cut.png"
cut=$(vx_dos_path "$VX_DATA/$first/$second/cut.png")
((${#cut} == 479)) || vx_fail "the cut path has ${#cut} characters"
vx_expect_eq "$(vx_drive copy-data class=Vx 0x56584F50 "${cut}X")" 0 "answer to 480 units"
vx_expect_eq "$(vx_drive copy-data class=Vx 0x56584F50 "$cut")" 1 "answer to 479 units"
vx_wait_title 'cut.png *' >/dev/null
