# Acquiring from the project's test data source (tests/viewer/twain_source,
# loaded by Wine's source manager as "sane.ds"): the Acquire submenu lists
# it; 8-bit RGB, 16-bit RGB and black-and-white scans (of either pixel
# flavour) arrive as "Acquired_00N" with the source's pattern (through Copy);
# a scan the source cancels halfway keeps the rows it sent; a failing
# source, a kind the viewer cannot take, a source without memory transfers
# and one answering a code the transfer does not know show their boxes and
# keep the shown image; acquiring over edits asks first, and once allowed
# drops the undo snapshot; a source that answers TWRC_CHECKSTATUS to the
# transfer count still scans.
[ -f "${VX_TWAIN_SOURCE_DIR:-}/sane.ds.so" ] || vx_skip "the test TWAIN source is not built"
export WINEDLLPATH="$VX_TWAIN_SOURCE_DIR"
export VX_TWAIN_SOURCE_MODE="$VX_DATA/scan-mode"

convert-im6.q16 -size 60x40 -seed 3 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
# The source's pattern, 40 x 30 (test_source.cpp): red 6x, green 8y, blue
# 3(x + y); the cancelled scan has only its first 16 rows (four strips);
# black and white is 5 x 5 checks, white at the top left.
perl -e 'print "P6\n40 30\n255\n";
    for $y (0..29) { for $x (0..39) { print pack("C3", 6*$x, 8*$y, 3*($x+$y)) } }' \
    >"$VX_DATA/rgb.ppm"
perl -e 'print "P6\n40 30\n255\n";
    for $y (0..29) { for $x (0..39) {
        print $y < 16 ? pack("C3", 6*$x, 8*$y, 3*($x+$y)) : pack("C3", 0, 0, 0) } }' \
    >"$VX_DATA/cancelled.ppm"
perl -e 'print "P5\n40 30\n255\n";
    for $y (0..29) { for $x (0..39) { print pack("C", (int($x/5) + int($y/5)) % 2 ? 0 : 255) } }' \
    >"$VX_DATA/checks.pgm"
for ref in rgb cancelled; do
    convert-im6.q16 "$VX_DATA/$ref.ppm" -depth 8 "PNG24:$VX_DATA/$ref.png"
done
convert-im6.q16 "$VX_DATA/checks.pgm" -depth 8 -type TrueColor "PNG24:$VX_DATA/checks.png"

# The source asks to be closed once its one image is taken or refused; the
# next scan waits until the viewer has closed it.
scan() {  # MODE [TITLE_GLOB]
    local i
    for ((i = 0; i < 200; i++)); do
        [ "$(cat "$VX_TWAIN_SOURCE_MODE.state" 2>/dev/null || echo closed)" = closed ] && break
        sleep 0.05
    done
    [ "$i" -lt 200 ] || vx_fail "the viewer did not close the source after the last scan"
    echo "$1" >"$VX_TWAIN_SOURCE_MODE"
    vx_command 40428 "${@:2}"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null

# File (Shift's context menu), down to "Acquire" past Open, Save and
# Clipboard, and into its submenu, which draws the source's name.
VK_ESCAPE=0x1b VK_RIGHT=0x27 VK_DOWN=0x28
vx_mark
vx_command 40031
menu=$(vx_drive wait 'class=#32768') || vx_fail "no File menu"
for key in $VK_DOWN $VK_DOWN $VK_DOWN $VK_DOWN $VK_RIGHT; do
    vx_drive key "$menu" "$key"
done
for ((i = 0; i < 200; i++)); do
    vx_box_texts | tr '\0' '\n' | grep -qx 'Vx Test Scanner - 2.5' && break
    sleep 0.05
done
[ "$i" -lt 200 ] || vx_fail "the Acquire submenu does not list 'Vx Test Scanner - 2.5'"
for m in $(vx_drive list 'class=#32768'); do
    vx_drive key "$m" $VK_ESCAPE
done
vx_drive wait-gone 'class=#32768' >/dev/null || vx_fail "the menu stays"

scan rgb8 'Acquired_001*'
vx_expect_copy rgb.png "8-bit RGB scan"
scan rgb16 'Acquired_002*'
vx_expect_copy rgb.png "16-bit RGB scan"
scan bw 'Acquired_003*'
vx_expect_copy checks.png "black-and-white scan of vanilla flavour"
scan bwchocolate 'Acquired_004*'
vx_expect_copy checks.png "black-and-white scan of chocolate flavour"
scan cancel 'Acquired_005*'
vx_expect_copy cancelled.png "cancelled scan"

for failure in "fail:Failed to acquire image" "grey4:Unsupported image format" \
    "nomemory:Data source does not support memory transfer" \
    "oddcode:Failed to acquire image"; do
    vx_mark
    scan "${failure%%:*}"
    vx_expect_box Error "" "${failure#*:}"
done
vx_wait_title 'Acquired_005*' >/dev/null
vx_expect_copy cancelled.png "after the failed scans"

# An edit writes the undo snapshot; acquiring over it asks first.
vx_command 40906 # invert
snapshots() { find "$(vx_settings_dir)" -maxdepth 1 -name 'img*.tmp' 2>/dev/null | wc -l; }
for ((i = 0; i < 100; i++)); do
    [ "$(snapshots)" = 1 ] && break
    sleep 0.05
done
vx_expect_eq "$(snapshots)" 1 "undo snapshots after an edit"
scan rgb8
vx_answer 7 "question before acquiring"
vx_wait_title 'Acquired_005*' >/dev/null
scan rgb8
vx_answer 6 "question before acquiring"
vx_wait_title 'Acquired_006*' >/dev/null
vx_expect_copy rgb.png "scan over an edited image"
vx_expect_eq "$(snapshots)" 0 "undo snapshots after acquiring over the edit"
# A source that keeps its own transfer count gets it set back.
scan keepcount 'Acquired_007*'
vx_expect_copy rgb.png "scan from a source that keeps its count"
vx_viewer_close
