#!/usr/bin/env bash
# PNG speed and memory of ImgLib against vips, on the same generated
# 16-megapixel RGBA picture (4096 x 4096, gradients, a checker pattern and
# noise, fixed seed; vips writes the input PNG) in one run:
#   decode   full load into memory            vs  vips avg (decodes every pixel)
#   encode   save with the default options     vs  vips pngsave with its defaults
#            (ours: compression 1 = zlib level 6, filters NONE, SUB, UP, AVG,
#             Z_FILTERED; vips: zlib level 6, unfiltered rows, so about twice
#             the bytes)
#   filtered the same                          vs  vips pngsave --filter all
#            (level 6 and adaptive filters on both sides: files of one size)
#   fast     save with compression 0           vs  vips pngsave with its defaults
#            (ours: level 4, filters NONE and SUB)
# vips runs once with VIPS_CONCURRENCY=1 (the single-thread figure, next to
# ours, which is single-threaded) and once with its default thread count.
# Our side is a small driver compiled here against a built ImgLib: it loads
# into memory, or reads the raw input and saves, with nothing else.
# Prints for both sides the wall time and the processor time (hyperfine's
# means over several runs), ours/peer on processor time for the
# single-thread line and on wall time for the threaded one, the output size
# for encoding and the peak resident memory of one run (/usr/bin/time -v).
#
# Usage: bench/png_vs_vips.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib"
bench_require_tools vips hyperfine /usr/bin/time g++ pkg-config python3
bench_make_work vx_png_bench

cat >"$work/driver.cpp" <<'EOF'
// picture W H OUT.raw | decode IN.png | encode IN.raw W H OUT.png [COMPRESSION]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>
#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"

// R, G, B, A rows.
static int Picture(unsigned w, unsigned h, const char* out) {
    std::mt19937 noise(42);
    std::vector<unsigned char> row(size_t{w} * 4);
    FILE* f = std::fopen(out, "wb");
    if (!f) return 1;
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            int n = static_cast<int>(noise() % 9) - 4;
            int v[4] = {static_cast<int>(x * 255 / w) + n, ((x / 64 + y / 64) % 2) ? 190 : 60,
                        static_cast<int>(y * 255 / h) - n, 255 - static_cast<int>((x + y) * 255 / (w + h))};
            for (int c = 0; c < 4; ++c) row[4 * x + c] = static_cast<unsigned char>(v[c] < 0 ? 0 : v[c] > 255 ? 255 : v[c]);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc >= 5 && !std::strcmp(argv[1], "picture"))
        return Picture(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    ILHandle* h = ILCreateHandle("bench");
    ILImage image;
    int result = IL_OK;
    if (argc >= 3 && !std::strcmp(argv[1], "decode")) {
        result = ILLoadImage(h, ILUtf8ToPath(argv[2]).c_str(), &image, nullptr);
    } else if (argc >= 6 && !std::strcmp(argv[1], "encode")) {
        const unsigned w = std::atoi(argv[3]), hgt = std::atoi(argv[4]);
        FILE* f = std::fopen(argv[2], "rb");
        if (!f || ILCreateImage(&image, w, hgt, IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_ALPHA, nullptr) != IL_OK)
            return 2;
        for (unsigned y = 0; y < hgt; ++y) {
            unsigned char* row = image.data + y * image.stride;
            if (std::fread(row, 4, w, f) != w) return 2;
            for (unsigned x = 0; x < w; ++x) std::swap(row[4 * x], row[4 * x + 2]);
        }
        std::fclose(f);
        if (argc >= 7) h->png.compression = std::atoi(argv[6]);
        result = ILSaveImage(h, ILUtf8ToPath(argv[5]).c_str(), &image, nullptr);
    } else {
        return 2;
    }
    ILFreeImage(&image);
    ILDestroyHandle(h);
    return result == IL_OK ? 0 : 1;
}
EOF

bench_compile_driver "$work/driver.cpp" "$work/driver"

driver="$work/driver"
w=4096
h=4096
"$driver" picture $w $h "$work/in.raw"
vips rawload "$work/in.raw" "$work/in.v" $w $h 4
vips pngsave "$work/in.v" "$work/in.png"
echo "input: $w x $h RGBA 8-bit, $(stat -c %s "$work/in.png") bytes as PNG (written by vips)"

for threads in 1 default; do
    if [ "$threads" = 1 ]; then
        export VIPS_CONCURRENCY=1
        basis=cpu
    else
        unset VIPS_CONCURRENCY
        basis=wall
    fi
    bench_compare decode "$driver decode $work/in.png" "vips avg $work/in.png" "vips($threads)" $basis
    bench_compare encode "$driver encode $work/in.raw $w $h $work/ours.png" \
        "vips pngsave $work/in.v $work/peer.png" "vips($threads)" $basis "$work/ours.png" "$work/peer.png"
    bench_compare filtered "$driver encode $work/in.raw $w $h $work/ours.png" \
        "vips pngsave $work/in.v $work/peer.png --filter all" "vips($threads)" $basis \
        "$work/ours.png" "$work/peer.png"
    bench_compare fast "$driver encode $work/in.raw $w $h $work/ours.png 0" \
        "vips pngsave $work/in.v $work/peer.png" "vips($threads)" $basis "$work/ours.png" "$work/peer.png"
done
