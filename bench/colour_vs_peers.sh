#!/usr/bin/env bash
# The colour operations against their peers on 24 megapixels (6000 x 4000
# photo-like pixels), all on the processors of BENCH_CPUS (one by default;
# vips and ImageMagick are given as many threads, ours takes them from its
# affinity):
#   invert, colour filter and tone map on 8-bit and float R, G, B against
#   vips operations of comparable per-pixel work, in one process
#   (bench/colour_vs_vips.cpp): vips invert (the same work, outputs
#   compared), vips recomb (a 3x3 matrix, less work a pixel than the Lab
#   round trip), vips linear (less than the curve and matrix); the driver
#   prints which is which;
#   quantising to 256 colours, plain and with Floyd-Steinberg, as whole
#   processes: iltool quantize against ImageMagick -colors 256 with +dither
#   and -dither FloydSteinberg, both reading and writing uncompressed TIFF.
#
#   bench/colour_vs_peers.sh [build dir]      (default build/default)
#   BENCH_LANES=8 (or 4) keeps our kernels to eight (four) lanes, as on a
#   processor without AVX-512 (or without AVX2).
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib" "$iltool"
bench_require_tools g++ pkg-config vips convert python3 taskset
bench_make_work vx_colour_bench
threads=$(taskset -c "$bench_cpus" nproc)
export VIPS_CONCURRENCY=$threads MAGICK_THREAD_LIMIT=$threads OMP_NUM_THREADS=$threads
# On several processors the sides run threads: headlined by wall time.
timing=$([ "$threads" -gt 1 ] && echo threads || true)

vips gaussnoise "$work/noise.v" 6000 4000 --mean 128 --sigma 50
vips gaussblur "$work/noise.v" "$work/smooth.v" 3
vips bandjoin "$work/smooth.v $work/noise.v $work/smooth.v" "$work/joined.v"
vips cast "$work/joined.v" "$work/photo.tif" uchar

echo "peers: libvips $(vips --version | head -1), $(convert -version | head -1); processor(s) $bench_cpus, $threads thread(s) each"
bench_compile_driver "$root/bench/colour_vs_vips.cpp" "$work/driver" vips
status=0
taskset -c "$bench_cpus" "$work/driver" "$bench_runs" "$work" || status=$?
[ "$status" -le 1 ] || exit "$status"
bench_header
for samples in "$work"/*.samples; do
    bench_summary "$(basename "$samples" .samples)" "$samples" "$timing"
done
bench_pair quantize_256_plain "$iltool quantize $work/photo.tif $work/ours.tif 256 6 plain" \
    "convert $work/photo.tif +dither -colors 256 $work/peer.tif" "$timing"
bench_pair quantize_256_dither "$iltool quantize $work/photo.tif $work/ours.tif 256 6 dither" \
    "convert $work/photo.tif -dither FloydSteinberg -colors 256 $work/peer.tif" "$timing"
[ "$status" -eq 0 ] || { echo "outputs of the same work differ" >&2; exit 1; }
