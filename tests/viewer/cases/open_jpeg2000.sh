# A JPEG 2000 file opens like any other: a lossless, tiled code-stream (its
# rows pulled tile row by tile row, code-blocks decoded on worker threads)
# shows at 1:1 the pixels of the picture it was made from.
command -v opj_compress >/dev/null || vx_skip "opj_compress is missing"
convert-im6.q16 -size 300x200 -seed 5 plasma: -depth 8 "PNG24:$VX_DATA/a.png"
convert-im6.q16 "$VX_DATA/a.png" "$VX_DATA/a.ppm"
opj_compress -t 128,96 -n 3 -i "$VX_DATA/a.ppm" -o "$VX_DATA/a.j2k" >/dev/null ||
    vx_fail "opj_compress failed"

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.j2k")"
vx_wait_title 'a.j2k 171% (time: ?.??? sec)' >/dev/null
vx_command 40052 'a.j2k [1:1] (time: ?.??? sec)'
vx_expect_screen class=Vx "$VX_OUT/shown.png" vx_check_same "$VX_DATA/a.png"
