#!/usr/bin/env bash
# The converter against vips, both single-threaded, in one process on the
# same 24-megapixel buffers (bench/convert_vs_vips.cpp, compiled here against
# the built ImgLib and libvips): each conversion runs ours and vips's
# alternately, RUNS times each (default 9), and prints the medians, their
# ratio and the spread (bench/common.sh). Both outputs are first compared:
# the script fails when they differ by more than the tolerance it prints.
#
# The vips side does the same work as ours, not merely a similar one:
#   rgb8_to_grey8     luminance in linear light (sRGB -> scRGB, weights,
#                     back to sRGB); vips's own b-w formula differs
#   rgb16_to_rgb8     ours dithered and ours plain (rounded) against vips,
#                     which shifts (colourspace rgb16 -> srgb)
#   linear_float_...  scRGB -> sRGB; ours dithers
#   rgba8_composite   in linear light onto the same background (flatten)
#   ycbcr8_to_rgb8    full-range BT.601: chroma - 128, the matrix, rounded
#   index8_to_rgb8    the palette as a look-up table (maplut)
#
#   bench/convert_vs_vips.sh [build dir]      (default build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib"
bench_require_tools g++ pkg-config python3 taskset
pkg-config --exists vips || { echo "missing libvips-dev" >&2; exit 1; }
bench_make_work vx_convert_bench

bench_compile_driver "$root/bench/convert_vs_vips.cpp" "$work/driver" vips
echo "peer: libvips $(pkg-config --modversion vips), single-threaded; processor(s) $bench_cpus"
status=0
taskset -c "$bench_cpus" "$work/driver" "$bench_runs" "$work" || status=$?
[ "$status" -le 1 ] || exit "$status"
bench_header
# In the order the driver ran them.
while read -r samples; do
    bench_summary "$(basename "$samples" .samples)" "$samples"
done < <(ls -tr "$work"/*.samples)
[ "$status" -eq 0 ] || { echo "outputs differ beyond the tolerance" >&2; exit 1; }
