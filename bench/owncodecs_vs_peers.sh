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
# Both sides decode and write the pixels to the work folder on the memory
# file system: ours a binary PPM (the driver loads and saves), the netpbm
# tools a PPM on their standard output, gif2rgb its raw R, G, B bytes,
# ImageMagick a PPM; the written pixels are checked equal where both sides
# decode exactly (the netpbm formats, TGA, GIF), both re-encoded GIF files
# are checked to decode to the input's pixels, and the Photo CD pictures
# (both 8-bit, each side's own YCC conversion) have their difference
# printed. The Cineon lines do other work, which they print: ours turns the
# printing-density codes into linear half floats (written as a floatmap),
# ImageMagick writes 10-bit samples. Every figure is
# single-threaded; timing, interleaving and the report: bench/common.sh.
#
# Usage: bench/owncodecs_vs_peers.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib"
bench_require_tools pgmramp pgmnoise pamfunc pamarith pamflip rgb3toppm pamtopnm pcxtoppm ppmtopcx sgitopnm pnmtosgi rasttopnm pnmtorast convert \
    pnmquant ppmtogif gif2rgb \
    g++ pkg-config python3 taskset
bench_make_work vx_owncodecs_bench

cat >"$work/driver.cpp" <<'CPP'
// convert IN OUT (Photo CD packs are read at 16Base, 8 bits a sample)
#include <cstring>
#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"
#include "imglib/pixel_type.h"

int main(int argc, char** argv) {
    if (argc != 4 || std::strcmp(argv[1], "convert")) return 2;
    ILHandle* h = ILCreateHandle("bench");
    h->pcd.resolution = 5;
    h->pcd.sampleKind = IL_KIND_8;
    ILImage image;
    int result = ILLoadImage(h, ILUtf8ToPath(argv[2]).c_str(), &image, nullptr);
    if (result == IL_OK)
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
# One decode into PPM a line, its written pixels checked against the peer's.
decode_pair() {  # NAME FORMAT PEER-COMMAND PEER-OUTPUT [raw|flipped]
    bench_pair "$1" "$driver convert $work/in.$2 $work/ours_$2.ppm" "$3"
    bench_pnm_pixels "$work/ours_$2.ppm" >"$work/ours.pixels"
    if [ "${5:-}" = raw ]; then
        cp "$4" "$work/peer.pixels"
    elif [ "${5:-}" = flipped ]; then
        pamflip -tb "$4" >"$work/peer_flipped.ppm"
        bench_pnm_pixels "$work/peer_flipped.ppm" >"$work/peer.pixels"
    else
        bench_pnm_pixels "$4" >"$work/peer.pixels"
    fi
    bench_same_bytes "$work/ours.pixels" "$work/peer.pixels" "$1"
}
# The netpbm tools write to standard output (while timed, into the pair's
# log file in the work folder); their output is made once more to compare.
netpbm_pair() {  # NAME FORMAT TOOL
    bench_pair "$1" "$driver convert $work/in.$2 $work/ours_$2.ppm" "$3 $work/in.$2"
    "$3" "$work/in.$2" >"$work/peer.ppm"
    bench_pnm_pixels "$work/ours_$2.ppm" >"$work/ours.pixels"
    bench_pnm_pixels "$work/peer.ppm" >"$work/peer.pixels"
    bench_same_bytes "$work/ours.pixels" "$work/peer.pixels" "$1"
}
netpbm_pair "PNM pamtopnm" ppm pamtopnm
netpbm_pair "PCX pcxtoppm" pcx pcxtoppm
netpbm_pair "SGI sgitopnm" sgi sgitopnm
netpbm_pair "RAS rasttopnm" ras rasttopnm
# ImageMagick 6 writes the rows of a bottom-up TGA file top row first and
# reads them back the same way; ours (and netpbm's tgatoppm) put the file's
# first row at the bottom, as its origin says: its picture is compared
# turned upside down.
decode_pair "TGA convert" tga "convert $work/in.tga $work/peer.ppm" "$work/peer.ppm" flipped
decode_pair "GIF gif2rgb" gif "gif2rgb -1 -o $work/peer.rgb $work/in.gif" "$work/peer.rgb" raw
bench_pair "GIF write convert" "$driver convert $work/in.gif $work/ours.gif" \
    "convert $work/in.gif $work/peer.gif"
"$driver" convert "$work/in.gif" "$work/in_gif.ppm"
bench_pnm_pixels "$work/in_gif.ppm" >"$work/in_gif.pixels"
for side in ours peer; do
    "$driver" convert "$work/$side.gif" "$work/${side}_gif.ppm"
    bench_pnm_pixels "$work/${side}_gif.ppm" >"$work/${side}_gif.pixels"
    bench_same_bytes "$work/in_gif.pixels" "$work/${side}_gif.pixels" "GIF write ($side, read back)"
done
bench_pair "Cineon convert" "$driver convert $work/in.cin $work/ours_cin.ppm" \
    "convert $work/in.cin $work/peer.ppm"
echo "Cineon convert: other work (ours linear half floats written as a floatmap, the peer 10-bit samples in a PPM)"
bench_pair "Cineon write convert" "$driver convert $work/in.ppm $work/ours.cin" \
    "convert $work/in.ppm -depth 10 $work/peer.cin"
echo "Cineon write convert: both write 10-bit log codes, each through its own curve (ours little-endian); not compared"
bench_pair "PCD 16Base convert" "$driver convert $work/in.pcd $work/ours_pcd.ppm" \
    "convert -size 3072x2048 $work/in.pcd $work/peer.ppm"
bench_pnm_pixels "$work/ours_pcd.ppm" >"$work/ours.pixels"
bench_pnm_pixels "$work/peer.ppm" >"$work/peer.pixels"
python3 - "$work/ours.pixels" "$work/peer.pixels" <<'PY'
import sys
a, b = (open(p, "rb").read() for p in sys.argv[1:3])
if len(a) != len(b):
    sys.exit(f"PCD: {len(a)} pixel bytes ours, {len(b)} peer")
d = [abs(x - y) for x, y in zip(a, b)]
print(f"PCD: largest sample difference {max(d)}, mean {sum(d) / len(d):.2f} (each side's YCC conversion)")
PY
