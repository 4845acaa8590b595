#!/usr/bin/env bash
# TIFF speed and memory of ImgLib against libtiff's own tiffcp and vips, on
# one generated 8000 x 6000 RGB 8-bit picture (gradients, a checker pattern
# and noise, fixed seed) stored with LZW and horizontal differencing
# (tiffcp -c lzw:2), once in strips and once in 256 x 256 tiles:
#   load      full decode, written        vs  tiffcp -c none (decodes every
#             uncompressed (the TIFF          strip or tile, writes them raw)
#             saver, compression 0)       and vips copy to its own format
#                                             (raw pixels, VIPS_CONCURRENCY=1)
#   save      the default options (LZW     vs  tiffcp -c lzw:2 from the
#             with predictor) from memory      uncompressed file
# Our side is a small driver compiled here against a built ImgLib. Both
# sides write their whole output, and the written pixels are checked equal.
# Every figure is single-threaded; timing, interleaving and the report:
# bench/common.sh.
#
# Usage: bench/tiff_vs_tiffcp.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib"
bench_require_tools tiffcp vips g++ pkg-config python3 taskset
bench_make_work vx_tiff_bench

cat >"$work/driver.cpp" <<'CPP'
// picture W H OUT.tif | copy IN.tif OUT.tif (uncompressed) | encode IN.tif OUT.tif
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>
#include <tiffio.h>
#include "imglib/format.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/io/path.h"

// An uncompressed striped R, G, B file written with libtiff.
static int Picture(unsigned w, unsigned h, const char* out) {
    std::mt19937 noise(42);
    TIFF* tif = TIFFOpen(out, "w");
    if (!tif) return 1;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<unsigned char> row(size_t{w} * 3);
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            int n = static_cast<int>(noise() % 9) - 4;
            int v[3] = {static_cast<int>(x * 255 / w) + n, ((x / 64 + y / 64) % 2) ? 190 : 60,
                        static_cast<int>(y * 255 / h) - n};
            for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<unsigned char>(v[c] < 0 ? 0 : v[c] > 255 ? 255 : v[c]);
        }
        if (TIFFWriteScanline(tif, row.data(), y, 0) < 0) return 1;
    }
    TIFFClose(tif);
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 5 && !std::strcmp(argv[1], "picture"))
        return Picture(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    ILHandle* h = ILCreateHandle("bench");
    ILImage image;
    int result = 0;
    if (argc >= 4 && !std::strcmp(argv[1], "copy")) {
        h->tiff.compression = 0;
        result = ILLoadImage(h, ILUtf8ToPath(argv[2]).c_str(), &image, nullptr);
        if (result == IL_OK) result = ILSaveImage(h, ILUtf8ToPath(argv[3]).c_str(), &image, nullptr);
    } else if (argc >= 4 && !std::strcmp(argv[1], "encode")) {
        // The load is not timed apart: the figure of "load" is subtracted
        // by the reader of the output.
        result = ILLoadImage(h, ILUtf8ToPath(argv[2]).c_str(), &image, nullptr);
        if (result == IL_OK) result = ILSaveImage(h, ILUtf8ToPath(argv[3]).c_str(), &image, nullptr);
    } else {
        return 2;
    }
    ILFreeImage(&image);
    ILDestroyHandle(h);
    return result == IL_OK ? 0 : 1;
}
CPP

bench_compile_driver "$work/driver.cpp" "$work/driver"
driver="$work/driver"
w=8000
h=6000
"$driver" picture $w $h "$work/raw.tif"
tiffcp -c lzw:2 "$work/raw.tif" "$work/strips.tif"
tiffcp -c lzw:2 -t -w 256 -l 256 "$work/raw.tif" "$work/tiles.tif"
echo "input: $w x $h RGB 8-bit; LZW + predictor: $(stat -c %s "$work/strips.tif") bytes striped," \
     "$(stat -c %s "$work/tiles.tif") bytes tiled"

export VIPS_CONCURRENCY=1
bench_header
for layout in strips tiles; do
    bench_pair "load $layout tiffcp" "$driver copy $work/$layout.tif $work/ours_raw.tif" \
        "tiffcp -c none $work/$layout.tif $work/peer_raw.tif"
    bench_pair "load $layout vips" "$driver copy $work/$layout.tif $work/ours_raw.tif" \
        "vips copy $work/$layout.tif $work/peer.v"
    for side in ours_raw.tif peer_raw.tif peer.v; do
        vips copy "$work/$side" "$work/${side%.*}.ppm"
        bench_pnm_pixels "$work/${side%.*}.ppm" >"$work/${side%.*}.pixels"
    done
    bench_same_bytes "$work/ours_raw.pixels" "$work/peer_raw.pixels" "load $layout (tiffcp)"
    bench_same_bytes "$work/ours_raw.pixels" "$work/peer.pixels" "load $layout (vips)"
done
# Saving: both sides read the uncompressed file first.
bench_pair save "$driver encode $work/raw.tif $work/ours.tif" \
    "tiffcp -c lzw:2 $work/raw.tif $work/peer.tif"
echo "save: $(stat -c %s "$work/ours.tif") bytes ours, $(stat -c %s "$work/peer.tif") peer"
