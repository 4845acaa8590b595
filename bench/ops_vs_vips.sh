#!/usr/bin/env bash
# Geometry, resampling, the Gauss filter, the panorama projection and
# thumbnails against vips, both on the processors of BENCH_CPUS (one by
# default): vips with as many threads, ours with the work pool, which sizes
# itself from the affinity.
#
# The operations run in one process on the same generated photo-like pixels
# (bench/ops_vs_vips.cpp, compiled here against the built ImgLib and
# libvips): ours and vips's alternately, up to RUNS times each (default 9;
# the slow cases fewer), medians and their ratio printed by bench/common.sh.
# Each case says whether vips does the same work: where ours works in linear
# light vips goes through scRGB with our geometry and a kernel of the same
# reach, and the outputs must agree within the case's tolerance; the
# *_vipsdefault and *_codes cases time vips's cheaper default paths on the
# sRGB codes, other work whose difference from ours is printed; in
# latlong_to_angular_map the peer is handed the map computed beforehand
# (not timed) and only samples it while ours computes the mapping, in
# latlong_to_angular_vipsmap vips computes the map too; nohalo is not our
# supersampling.
#
# The thumbnail row times two whole programs on the same 4000 x 3000 JPEG:
# iltool thumbnail (DCT scaling, then the fast resampler) against
# vipsthumbnail, both to an edge of 192 and both writing a PPM.
#
#   bench/ops_vs_vips.sh [build dir]      (default build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib" "$iltool"
bench_require_tools g++ pkg-config python3 taskset vips vipsthumbnail
pkg-config --exists vips || { echo "missing libvips-dev" >&2; exit 1; }
bench_make_work vx_ops_bench
threads=$(taskset -c "$bench_cpus" nproc)
export VIPS_CONCURRENCY=$threads
# On several processors both sides run threads: headlined by wall time.
timing=$([ "$threads" -gt 1 ] && echo threads || true)

bench_compile_driver "$root/bench/ops_vs_vips.cpp" "$work/driver" vips
echo "peer: libvips $(pkg-config --modversion vips); processor(s) $bench_cpus, $threads thread(s) each"
status=0
taskset -c "$bench_cpus" "$work/driver" "$bench_runs" "$work" || status=$?
[ "$status" -le 1 ] || exit "$status"

vips black "$work/black.v" 4000 3000 --bands 3
vips gaussnoise "$work/noise.v" 4000 3000 --mean 128 --sigma 40
vips bandjoin "$work/noise.v $work/noise.v $work/noise.v" "$work/photo.v"
vips gaussblur "$work/photo.v" "$work/smooth.v" 2
vips cast "$work/smooth.v" "$work/photo.jpg[Q=90]" uchar
bench_header
for samples in "$work"/*.samples; do
    bench_summary "$(basename "$samples" .samples)" "$samples" "$timing"
done
bench_pair thumbnail_4000x3000_192 "$iltool thumbnail $work/photo.jpg $work/ours.ppm 192" \
    "vipsthumbnail $work/photo.jpg -s 192 -o $work/peer.ppm" "$timing"
[ "$status" -eq 0 ] || { echo "outputs differ beyond the tolerance" >&2; exit 1; }
