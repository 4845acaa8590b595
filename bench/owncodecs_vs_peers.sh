#!/usr/bin/env bash
# Reading speed and memory of ImgLib's own codecs against a peer reader of
# each format, on one generated 6000 x 4000 (24-megapixel) R, G, B 8-bit
# picture (gradients, a checker pattern and noise, fixed seed) written by
# the peers' own tools:
#   PNM  binary P6                vs  netpbm pamtopnm
#   PCX  24-bit run-length        vs  netpbm pcxtoppm
#   SGI  run-length               vs  netpbm sgitopnm
#   Sun  byte-encoded 24-bit      vs  netpbm rasttopnm
#   TGA  run-length 24-bit        vs  ImageMagick convert (to its own format)
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
bench_require_tools pamtopnm pcxtoppm ppmtopcx sgitopnm pnmtosgi rasttopnm pnmtorast convert \
    g++ pkg-config python3 taskset
bench_make_work vx_owncodecs_bench

cat >"$work/driver.cpp" <<'CPP'
// picture W H OUT.ppm | decode IN
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>
#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"

static int Picture(unsigned w, unsigned h, const char* out) {
    std::mt19937 noise(42);
    FILE* f = std::fopen(out, "wb");
    if (!f) return 1;
    std::fprintf(f, "P6\n%u %u\n255\n", w, h);
    std::vector<unsigned char> row(size_t{w} * 3);
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            int n = static_cast<int>(noise() % 9) - 4;
            int v[3] = {static_cast<int>(x * 255 / w) + n, ((x / 64 + y / 64) % 2) ? 190 : 60,
                        static_cast<int>(y * 255 / h) - n};
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = static_cast<unsigned char>(v[c] < 0 ? 0 : v[c] > 255 ? 255 : v[c]);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc >= 5 && !std::strcmp(argv[1], "picture"))
        return Picture(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    if (argc < 3 || std::strcmp(argv[1], "decode")) return 2;
    ILHandle* h = ILCreateHandle("bench");
    ILImage image;
    const int result = ILLoadImage(h, ILUtf8ToPath(argv[2]).c_str(), &image, nullptr);
    ILFreeImage(&image);
    ILDestroyHandle(h);
    return result == IL_OK ? 0 : 1;
}
CPP

bench_compile_driver "$work/driver.cpp" "$work/driver"
driver="$work/driver"
"$driver" picture 6000 4000 "$work/in.ppm"
ppmtopcx -24bit "$work/in.ppm" >"$work/in.pcx" 2>/dev/null
pnmtosgi -rle "$work/in.ppm" >"$work/in.sgi"
pnmtorast -rle "$work/in.ppm" >"$work/in.ras"
convert "$work/in.ppm" -compress RLE "$work/in.tga"
for f in ppm pcx sgi ras tga; do
    echo "$f: $(stat -c %s "$work/in.$f") bytes"
done

bench_header
bench_pair "PNM pamtopnm" "$driver decode $work/in.ppm" "pamtopnm $work/in.ppm"
bench_pair "PCX pcxtoppm" "$driver decode $work/in.pcx" "pcxtoppm $work/in.pcx"
bench_pair "SGI sgitopnm" "$driver decode $work/in.sgi" "sgitopnm $work/in.sgi"
bench_pair "RAS rasttopnm" "$driver decode $work/in.ras" "rasttopnm $work/in.ras"
bench_pair "TGA convert" "$driver decode $work/in.tga" "convert $work/in.tga $work/peer.miff"
