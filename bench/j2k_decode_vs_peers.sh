#!/usr/bin/env bash
# Decoding JPEG 2000: j2kdecode (the engine's decoder, every component
# written as PGX) against opj_decompress -threads 1 and grk_decompress -H 1
# (also writing PGX), on one 4096 x 4096 noisy photo-like RGB picture
# (ImageMagick plasma plus noise) coded by opj_compress three ways: lossless
# 5/3 at 8 bits, 9/7 at 12:1, and lossless 5/3 at 16 bits. All sides are
# single-threaded processes; the ratios are on processor time.
#
# Usage: bench/j2k_decode_vs_peers.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
j2kdecode="$build/tools/j2kdecode"
bench_require_files "$j2kdecode"
bench_require_tools opj_compress opj_decompress grk_decompress convert
bench_make_work vx_j2k_decode_bench

convert -size 4096x4096 -seed 3 plasma:fractal -attenuate 0.3 +noise Gaussian -depth 16 \
    "$work/in16.ppm"
convert "$work/in16.ppm" -depth 8 "$work/in8.ppm"
opj_compress -i "$work/in8.ppm" -o "$work/lossless.j2k" >/dev/null
opj_compress -i "$work/in8.ppm" -o "$work/irreversible.j2k" -I -r 12 >/dev/null
opj_compress -i "$work/in16.ppm" -o "$work/lossless16.j2k" >/dev/null
for f in lossless irreversible lossless16; do
    echo "input $f: 4096 x 4096 RGB, $(stat -c %s "$work/$f.j2k") bytes"
done

bench_header
for f in lossless irreversible lossless16; do
    bench_pair "$f vs opj" "$j2kdecode $work/$f.j2k $work/ours" \
        "opj_decompress -threads 1 -i $work/$f.j2k -o $work/opj.pgx"
    bench_pair "$f vs grk" "$j2kdecode $work/$f.j2k $work/ours" \
        "grk_decompress -H 1 -i $work/$f.j2k -o $work/grk.pgx"
done
