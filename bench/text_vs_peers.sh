#!/usr/bin/env bash
# Write Text of a paragraph at a 48-pixel em against vips text with the
# mask blended over the same box, in one process (bench/text_vs_vips.cpp),
# and against ImageMagick -annotate as whole processes on a 3000 x 2000
# uncompressed TIFF (reading and writing the image dominate that pair).
#
#   bench/text_vs_peers.sh [build dir]      (default build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib" "$iltool"
bench_require_tools g++ pkg-config vips convert python3 taskset
bench_make_work vx_text_bench
export VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1

vips gaussnoise "$work/noise.v" 3000 2000 --mean 128 --sigma 40
vips bandjoin "$work/noise.v $work/noise.v $work/noise.v" "$work/joined.v"
vips cast "$work/joined.v" "$work/photo.tif" uchar
paragraph='The quick brown fox jumps over the lazy dog while
five boxing wizards jump quickly past the vexed judge;
sphinx of black quartz, judge my vow, and pack my box
with five dozen liquor jugs as the waltz bade nymph
for quick jigs vex: 0123456789 (and some punctuation!)'
font=$(fc-match -f '%{file}' 'Liberation Sans')

echo "peers: libvips $(vips --version | head -1), $(convert -version | head -1); processor(s) $bench_cpus"
bench_header
bench_compile_driver "$root/bench/text_vs_vips.cpp" "$work/driver" vips
taskset -c "$bench_cpus" "$work/driver" "$bench_runs" "$work"
bench_summary write_text_48px "$work/write_text_48px.samples"
# iltool takes "\n" for a line break.
escaped=${paragraph//$'\n'/\\n}
bench_pair write_text_process "$iltool text $work/photo.tif $work/ours.tif '$escaped' x=200 y=-300" \
    "convert $work/photo.tif -font $font -pointsize 48 -density 72 -fill white -annotate +200+343 '$paragraph' $work/peer.tif"
