#!/usr/bin/env bash
# JPEG 2000 encoding: iltool convert to .jp2 against opj_compress and
# grk_compress (both single-threaded) on a generated 4096 x 4096 noisy RGB
# picture of 8 bits (and its 16-bit copy): lossless, 9/7 with four layers at
# 1/96, 1/48, 1/24 and 1/12 of the raw size, the viewer's default options
# (reversible, colour transform, four layers, the top one at 81% of the
# pixel count in bytes) and 16-bit lossless. Each line gives processor time
# and peak memory; the sizes, the check that every lossless file decodes
# back to its input (through opj_decompress) and the PSNR of the 9/7 files
# follow. Pinned to
# one processor by bench_pair, our encoder codes its blocks without worker
# threads, so every side runs single-threaded.
#
# Usage: bench/j2k_encode_vs_peers.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$iltool"
bench_require_tools opj_compress grk_compress opj_decompress convert compare
bench_make_work vx_j2k_encode_bench

convert -seed 7 -size 4096x4096 plasma:fractal -attenuate 0.4 +noise Gaussian -depth 8 \
    "$work/in.ppm"
convert "$work/in.ppm" -depth 16 -attenuate 0.2 +noise Gaussian "$work/in16.ppm"
raw=$((4096 * 4096 * 3))
echo "input: 4096 x 4096 RGB 8-bit, $raw bytes (and 16-bit)"

bench_header
bench_pair "lossless-opj" "$iltool convert $work/in.ppm $work/ll.jp2 --opt jpeg2000.lossless=1" \
    "opj_compress -threads 1 -i $work/in.ppm -o $work/ll_opj.jp2"
bench_pair "lossless-grk" "$iltool convert $work/in.ppm $work/ll.jp2 --opt jpeg2000.lossless=1" \
    "grk_compress -H 1 -i $work/in.ppm -o $work/ll_grk.jp2"
lossy="$iltool convert $work/in.ppm $work/97.jp2 --opt jpeg2000.reversible=0 --opt jpeg2000.rate=50"
bench_pair "9-7x4-opj" "$lossy" \
    "opj_compress -threads 1 -I -r 96,48,24,12 -i $work/in.ppm -o $work/97_opj.jp2"
bench_pair "9-7x4-grk" "$lossy" \
    "grk_compress -H 1 -I -r 96,48,24,12 -i $work/in.ppm -o $work/97_grk.jp2"
bench_pair "default-opj" "$iltool convert $work/in.ppm $work/def.jp2" \
    "opj_compress -threads 1 -r 29.63,14.81,7.41,3.70 -i $work/in.ppm -o $work/def_opj.jp2"
bench_pair "default-grk" "$iltool convert $work/in.ppm $work/def.jp2" \
    "grk_compress -H 1 -r 29.63,14.81,7.41,3.70 -i $work/in.ppm -o $work/def_grk.jp2"
bench_pair "16bit-lossless-opj" \
    "$iltool convert $work/in16.ppm $work/ll16.jp2 --opt jpeg2000.lossless=1" \
    "opj_compress -threads 1 -i $work/in16.ppm -o $work/ll16_opj.jp2"
bench_pair "16bit-lossless-grk" \
    "$iltool convert $work/in16.ppm $work/ll16.jp2 --opt jpeg2000.lossless=1" \
    "grk_compress -H 1 -i $work/in16.ppm -o $work/ll16_grk.jp2"

echo
for f in ll ll_opj ll_grk 97 97_opj 97_grk def def_opj def_grk ll16 ll16_opj ll16_grk; do
    printf '%-10s %10d bytes\n' "$f" "$(stat -c %s "$work/$f.jp2")"
done
for f in 97 97_opj 97_grk; do
    opj_decompress -threads 1 -i "$work/$f.jp2" -o "$work/$f.ppm" >/dev/null
    printf '%-10s PSNR %s dB\n' "$f" "$(compare -metric PSNR "$work/in.ppm" "$work/$f.ppm" null: 2>&1)"
done
for f in ll ll_opj ll_grk ll16 ll16_opj ll16_grk; do
    opj_decompress -threads 1 -i "$work/$f.jp2" -o "$work/$f.ppm" >/dev/null
    input="$work/in.ppm"
    [ "${f#ll16}" = "$f" ] || input="$work/in16.ppm"
    cmp -s <(bench_pnm_pixels "$input") <(bench_pnm_pixels "$work/$f.ppm") ||
        { echo "$f: does not decode back to the input" >&2; exit 1; }
    echo "$f: decodes back to the input"
    rm "$work/$f.ppm"
done
