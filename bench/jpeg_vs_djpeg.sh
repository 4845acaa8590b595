#!/usr/bin/env bash
# JPEG speed and memory of ImgLib's iltool against libjpeg-turbo's own
# tools, whole processes doing the same work on the same generated
# 24-megapixel picture (6000 x 4000, a gradient with Gaussian noise, fixed
# seed), files on the memory file system:
#   decode     iltool topam  IN.jpg OUT.pam         vs  djpeg -ppm
#   thumbnail  iltool topam  IN.jpg OUT.pam          vs  djpeg -ppm -scale 1/8
#              --opt thumbnailEdge=256                    -dct fast -nosmooth
#              (the reduced load thumbnails use: 750 x 500 pixels)
#   encode     iltool convert IN.bmp OUT.jpg         vs  cjpeg -quality 90 -progressive
#              (the default options: quality 90, progressive, 4:2:0)
#   start-up   iltool topam on a 64 x 48 file        vs  djpeg -ppm on it: what starting
#              the process costs each side (the libraries it loads), which
#              every line above includes once
# and, as the viewer pays for decoding (its process started once), both in
# one process (bench/jpeg_in_process.cpp): ImgLib's load against
# libjpeg-turbo driven as djpeg drives it, into a new image each run:
#   decode (1 process), thumbnail (1 process)
# Both sides read the same file and write the same pixels: the decoded
# pixel bytes are checked equal (PAM and PPM differ only in their headers),
# and the two encoded files are checked to decode to equal pixels.
# Timing, interleaving and the report: bench/common.sh.
#
# Usage: bench/jpeg_vs_djpeg.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$iltool"
bench_require_files "$lib"
bench_require_tools djpeg cjpeg convert-im6.q16 g++ pkg-config python3 taskset
bench_make_work vx_jpeg_bench

convert-im6.q16 -size 6000x4000 gradient:navy-orange -seed 42 -attenuate 1 +noise Gaussian \
    -type TrueColor "BMP3:$work/in.bmp"
cjpeg -quality 90 -outfile "$work/in.jpg" "$work/in.bmp"
convert-im6.q16 -size 64x48 gradient:navy-orange "BMP3:$work/tiny.bmp"
cjpeg -outfile "$work/tiny.jpg" "$work/tiny.bmp"
echo "input: 6000 x 4000, 4:2:0, quality 90, $(stat -c %s "$work/in.jpg") bytes"
echo "peer: $(djpeg -version 2>&1 | head -1); processor(s) $bench_cpus"

same_pixels() {  # ours.pam peer.ppm what
    bench_pnm_pixels "$1" >"$work/ours.pixels"
    bench_pnm_pixels "$2" >"$work/peer.pixels"
    bench_same_bytes "$work/ours.pixels" "$work/peer.pixels" "$3"
}

decode_ours="$iltool topam $work/in.jpg $work/ours.pam"
decode_peer="djpeg -ppm -outfile $work/peer.ppm $work/in.jpg"
thumb_ours="$iltool topam $work/in.jpg $work/ours_thumb.pam --opt thumbnailEdge=256"
thumb_peer="djpeg -ppm -scale 1/8 -dct fast -nosmooth -outfile $work/peer_thumb.ppm $work/in.jpg"
encode_ours="$iltool convert $work/in.bmp $work/ours.jpg"
encode_peer="cjpeg -quality 90 -progressive -outfile $work/peer.jpg $work/in.bmp"

bench_header
bench_pair decode "$decode_ours" "$decode_peer"
bench_pair thumbnail "$thumb_ours" "$thumb_peer"
bench_pair encode "$encode_ours" "$encode_peer"
bench_pair start-up "$iltool topam $work/tiny.jpg $work/ours_tiny.pam" \
    "djpeg -ppm -outfile $work/peer_tiny.ppm $work/tiny.jpg"

bench_compile_driver "$root/bench/jpeg_in_process.cpp" "$work/in_process"
for edge in 0 256; do
    taskset -c "$bench_cpus" "$work/in_process" "$work/in.jpg" $edge "$bench_runs" \
        "$work/in_process_$edge.samples"
done
bench_summary "decode (1 process)" "$work/in_process_0.samples"
bench_summary "thumbnail (1 process)" "$work/in_process_256.samples"

same_pixels "$work/ours.pam" "$work/peer.ppm" decode
same_pixels "$work/ours_thumb.pam" "$work/peer_thumb.ppm" thumbnail
djpeg -ppm -outfile "$work/ours_encoded.ppm" "$work/ours.jpg"
djpeg -ppm -outfile "$work/peer_encoded.ppm" "$work/peer.jpg"
echo "encode: $(stat -c %s "$work/ours.jpg") bytes ours, $(stat -c %s "$work/peer.jpg") peer"
same_pixels "$work/ours_encoded.ppm" "$work/peer_encoded.ppm" "encode (decoded)"
