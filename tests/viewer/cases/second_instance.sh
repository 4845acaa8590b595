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
