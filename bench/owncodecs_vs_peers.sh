#!/usr/bin/env bash
# Reading speed and memory of ImgLib's own codecs against a peer reader of
# each format, on one generated 6000 x 4000 (24-megapixel) R, G, B 8-bit
# picture (ramps, one with a little noise, fixed seed) written by the
# peers' own tools:
#   PNM  binary P6                vs  netpbm pamtopnm
#   PCX  24-bit run-length        vs  netpbm pcxtoppm
#   SGI  run-length               vs  netpbm sgitopnm
#   Sun  byte-encoded 24-bit      vs  netpbm rasttopnm
#   TGA  run-length 24-bit        vs  ImageMagick convert (to its own format)
#   GIF  256 colours (pnmquant)   vs  giflib gif2rgb (LZW decoding, the goal
#                                     is within 1.2 x of it)
#   GIF  re-encoded (read, write) vs  ImageMagick convert (LZW encoding)
#   Cineon 10-bit R, G, B         vs  ImageMagick convert, reading and
#                                     writing (from the PNM)
# and a synthetic 16Base Photo CD pack (3072 x 2048, bench/make_pcd.py) read
# at 16Base against ImageMagick.
# Our side is a small driver that loads the file into memory; the peers
# decode and write their output to the work folder on the memory file
# system, which costs them a little more. Every figure is single-threaded;
# timing, interleaving and the report: bench/common.sh.
#
# Usage: bench/owncodecs_vs_peers.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib"
bench_require_tools pgmramp pgmnoise pamfunc pamarith rgb3toppm pamtopnm pcxtoppm ppmtopcx sgitopnm pnmtosgi rasttopnm pnmtorast convert \
    pnmquant ppmtogif gif2rgb \
    g++ pkg-config python3 taskset
bench_make_work vx_owncodecs_bench

cat >"$work/driver.cpp" <<'CPP'
// decode IN | convert IN OUT (Photo CD packs are read at 16Base)
#include <cstring>
#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"

int main(int argc, char** argv) {
    const bool decode = argc == 3 && !std::strcmp(argv[1], "decode");
    if (!decode && (argc != 4 || std::strcmp(argv[1], "convert"))) return 2;
    ILHandle* h = ILCreateHandle("bench");
    h->pcd.resolution = 5;
    ILImage image;
    int result = ILLoadImage(h, ILUtf8ToPath(argv[2]).c_str(), &image, nullptr);
    if (result == IL_OK && !decode)
        result = ILSaveImage(h, ILUtf8ToPath(argv[3]).c_str(), &image, nullptr);
    ILFreeImage(&image);
    ILDestroyHandle(h);
    return result == IL_OK ? 0 : 1;
}
CPP

bench_compile_driver "$work/driver.cpp" "$work/driver"
driver="$work/driver"
# Red a horizontal ramp, green a diagonal ramp with a little noise (0 to
# 7 levels), blue a vertical ramp.
pgmramp -lr 6000 4000 >"$work/r.pgm"
pgmnoise -randomseed=42 6000 4000 | pamfunc -divisor=32 >"$work/noise.pgm"
pgmramp -diag 6000 4000 | pamarith -add - "$work/noise.pgm" >"$work/g.pgm"
pgmramp -tb 6000 4000 >"$work/b.pgm"
rgb3toppm "$work/r.pgm" "$work/g.pgm" "$work/b.pgm" >"$work/in.ppm"
ppmtopcx -24bit "$work/in.ppm" >"$work/in.pcx" 2>/dev/null
pnmtosgi -rle "$work/in.ppm" >"$work/in.sgi"
pnmtorast -rle "$work/in.ppm" >"$work/in.ras"
convert "$work/in.ppm" -compress RLE "$work/in.tga"
pnmquant 256 "$work/in.ppm" 2>/dev/null | ppmtogif >"$work/in.gif" 2>/dev/null
convert "$work/in.ppm" -depth 10 "$work/in.cin"
python3 "$root/bench/make_pcd.py" "$work/in.pcd"
for f in ppm pcx sgi ras tga gif cin pcd; do
    echo "$f: $(stat -c %s "$work/in.$f") bytes"
done

bench_header
bench_pair "PNM pamtopnm" "$driver decode $work/in.ppm" "pamtopnm $work/in.ppm"
bench_pair "PCX pcxtoppm" "$driver decode $work/in.pcx" "pcxtoppm $work/in.pcx"
bench_pair "SGI sgitopnm" "$driver decode $work/in.sgi" "sgitopnm $work/in.sgi"
bench_pair "RAS rasttopnm" "$driver decode $work/in.ras" "rasttopnm $work/in.ras"
bench_pair "TGA convert" "$driver decode $work/in.tga" "convert $work/in.tga $work/peer.miff"
bench_pair "GIF gif2rgb" "$driver decode $work/in.gif" "gif2rgb -1 -o $work/peer.rgb $work/in.gif"
bench_pair "GIF write convert" "$driver convert $work/in.gif $work/ours.gif" \
    "convert $work/in.gif $work/peer.gif"
bench_pair "Cineon convert" "$driver decode $work/in.cin" "convert $work/in.cin $work/peer.miff"
bench_pair "Cineon write convert" "$driver convert $work/in.ppm $work/ours.cin" \
    "convert $work/in.ppm -depth 10 $work/peer.cin"
bench_pair "PCD 16Base convert" "$driver decode $work/in.pcd" \
    "convert -size 3072x2048 $work/in.pcd $work/peer.miff"
