#!/usr/bin/env bash
# The codecs over libraries against each library's own command-line tool, in
# one run, on generated pictures (3000 x 2000, a pattern with noise) and the
# corpus DNG:
#   webp decode   load of a quality-75 file, to PPM       vs  dwebp -ppm
#   webp encode   save at quality 75                      vs  cwebp -q 75
#   jxr decode    load of a lossless 24-bit file, to BMP  vs  JxrDecApp (to BMP)
#   jxr encode    lossless save, no overlap, 4:4:4        vs  JxrEncApp -q 1.0 -l 0 -d 3
#   exr decode    load of a ZIP half RGBA file            vs  the library's RGBA interface
#                                                             reading the whole file at once
#   raw decode    8-bit load, PPG, sRGB curve, to PPM     vs  dcraw_emu -w -a -q 2 -o 1
#                                                             -g 2.4 12.92 (to a PPM)
# Our side is a driver compiled here against a built ImgLib; where the tool
# writes a file, ours writes the same format (the decoded pixels are checked
# equal, and the RAW ones' largest difference printed: the white level is
# the same, the curves round apart); the EXR lines write nothing.
# Timed by bench/common.sh (interleaved runs, medians, processor time).
# "startup" is our driver creating a handle and doing nothing (process start
# with the libraries it loads; the library sets nothing up until it is
# needed) against `true`: that fixed cost is part of every row of ours.
#
# Usage: bench/libcodecs_vs_tools.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib"
bench_require_tools dwebp cwebp JxrDecApp JxrEncApp dcraw_emu g++ pkg-config python3
bench_make_work vx_libcodecs_bench
corpus=${VX_CORPUS_DIR:-"$root/../shared/corpus"}
dng="$corpus/raw-samples/raw/colorchart.dng"
bench_require_files "$dng"

cat >"$work/driver.cpp" <<'CPP'
// picture W H OUT.ppm | startup | decode IN [OUT] | encode IN.ppm OUT [webp-quality] |
// exrpeer IN.exr | makeexr IN.ppm OUT.exr
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include <OpenEXR/ImfRgbaFile.h>
#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"
#include "imglib/pixel_type.h"

static int Picture(unsigned w, unsigned h, const char* out) {
    std::mt19937 noise(42);
    std::vector<unsigned char> row(size_t{w} * 3);
    FILE* f = std::fopen(out, "wb");
    if (!f) return 1;
    std::fprintf(f, "P6\n%u %u\n255\n", w, h);
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            int n = static_cast<int>(noise() % 41) - 20;
            int v[3] = {static_cast<int>(x * 255 / w) + n, ((x / 64 + y / 64) % 2) ? 190 : 60,
                        static_cast<int>(y * 255 / h) - n};
            for (int c = 0; c < 3; ++c)
                row[3 * x + c] = static_cast<unsigned char>(v[c] < 0 ? 0 : v[c] > 255 ? 255 : v[c]);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

static bool ReadPpm(const char* path, ILImage* image) {
    FILE* f = std::fopen(path, "rb");
    unsigned w = 0, h = 0, max = 0;
    if (!f || std::fscanf(f, "P6 %u %u %u", &w, &h, &max) != 3) return false;
    std::fgetc(f);
    if (ILCreateImage(image, w, h, IL_BGR8, nullptr) != IL_OK) return false;
    for (unsigned y = 0; y < h; ++y) {
        unsigned char* row = image->data + y * image->stride;
        if (std::fread(row, 3, w, f) != w) return false;
        for (unsigned x = 0; x < w; ++x) std::swap(row[3 * x], row[3 * x + 2]);
    }
    std::fclose(f);
    return true;
}

int main(int argc, char** argv) {
    if (argc >= 5 && !std::strcmp(argv[1], "picture"))
        return Picture(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    if (argc >= 3 && !std::strcmp(argv[1], "exrpeer")) {
        Imf::RgbaInputFile file(argv[2], 0);
        const Imath::Box2i w = file.dataWindow();
        const long width = w.max.x - w.min.x + 1, height = w.max.y - w.min.y + 1;
        std::vector<Imf::Rgba> pixels(size_t(width) * height);
        file.setFrameBuffer(pixels.data() - w.min.x - w.min.y * width, 1, width);
        file.readPixels(w.min.y, w.max.y);
        return 0;
    }
    ILHandle* h = ILCreateHandle("bench");
    ILImage image;
    int result = IL_OK;
    if (argc >= 2 && !std::strcmp(argv[1], "startup")) {
        // the handle alone
    } else if (argc >= 3 && !std::strcmp(argv[1], "decode")) {
        ILRAWImportOptions raw;
        ILGetRAWImportOptions(h, &raw);
        raw.sampleKind = IL_KIND_8;
        ILSetRAWImportOptions(h, &raw);
        result = ILLoadImage(h, ILUtf8ToPath(argv[2]).c_str(), &image, nullptr);
        if (result == IL_OK && argc >= 4)
            result = ILSaveImage(h, ILUtf8ToPath(argv[3]).c_str(), &image, nullptr);
    } else if (argc >= 4 && !std::strcmp(argv[1], "encode")) {
        if (!ReadPpm(argv[2], &image)) return 2;
        const uint32_t quality = argc >= 5 ? std::atoi(argv[4]) : 75;
        ILSetWebPOptions(h, &quality);
        const ILJPEGXROptions jxr{90, 0, 0, 1};
        ILSetJPEGXROptions(h, &jxr);
        if (std::strstr(argv[3], ".exr")) {
            ILImage half;
            ILAllocImage(&half, image.width, image.height, IL_BGRA_HALF, nullptr);
            // opaque half RGBA of the picture
            for (unsigned y = 0; y < image.height; ++y)
                for (unsigned x = 0; x < image.width; ++x) {
                    auto* out = reinterpret_cast<uint16_t*>(half.data + y * half.stride) + 4 * x;
                    const unsigned char* in = image.data + y * image.stride + 3 * x;
                    for (int c = 0; c < 3; ++c) out[c] = static_cast<uint16_t>(0x3000 + in[c] * 16);
                    out[3] = 0x3C00;
                }
            result = ILSaveImage(h, ILUtf8ToPath(argv[3]).c_str(), &half, nullptr);
            ILFreeImage(&half);
        } else {
            result = ILSaveImage(h, ILUtf8ToPath(argv[3]).c_str(), &image, nullptr);
        }
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
"$driver" picture 3000 2000 "$work/in.ppm"
convert-im6.q16 "$work/in.ppm" "$work/in.bmp" 2>/dev/null || convert "$work/in.ppm" "$work/in.bmp"
cwebp -quiet -q 75 "$work/in.ppm" -o "$work/in.webp"
"$driver" encode "$work/in.ppm" "$work/in.jxr"
"$driver" encode "$work/in.ppm" "$work/in.exr"
cp "$dng" "$work/raw.dng"

echo "input: 3000 x 2000 generated picture; $(basename "$dng")"
bench_header
bench_pair "startup" "$driver startup" "true"
bench_pair "webp decode" "$driver decode $work/in.webp $work/ours_webp.ppm" \
    "dwebp -quiet -ppm $work/in.webp -o $work/peer_webp.ppm"
bench_pair "webp encode" "$driver encode $work/in.ppm $work/ours.webp 75" \
    "cwebp -quiet -q 75 $work/in.ppm -o $work/peer.webp"
bench_pair "jxr decode" "$driver decode $work/in.jxr $work/ours_jxr.bmp" \
    "JxrDecApp -i $work/in.jxr -o $work/peer.bmp"
bench_pair "jxr encode" "$driver encode $work/in.ppm $work/ours.jxr" \
    "JxrEncApp -i $work/in.bmp -o $work/peer.jxr -q 1.0 -l 0 -d 3"
bench_pair "exr decode" "$driver decode $work/in.exr" "$driver exrpeer $work/in.exr"
bench_pair "raw decode" "$driver decode $work/raw.dng $work/ours_raw.ppm" \
    "dcraw_emu -w -a -q 2 -o 1 -g 2.4 12.92 -Z $work/peer_raw.ppm $work/raw.dng"
[ -s "$work/peer_raw.ppm" ] || { echo "dcraw_emu wrote no PPM" >&2; exit 1; }

for side in ours peer; do
    bench_pnm_pixels "$work/${side}_webp.ppm" >"$work/${side}_webp.pixels"
    convert-im6.q16 "$work/$([ $side = ours ] && echo ours_jxr || echo peer).bmp" \
        "ppm:$work/${side}_jxr.ppm"
    bench_pnm_pixels "$work/${side}_jxr.ppm" >"$work/${side}_jxr.pixels"
    bench_pnm_pixels "$work/${side}_raw.ppm" >"$work/${side}_raw.pixels"
done
bench_same_bytes "$work/ours_webp.pixels" "$work/peer_webp.pixels" "webp decode"
bench_same_bytes "$work/ours_jxr.pixels" "$work/peer_jxr.pixels" "jxr decode"
python3 - "$work/ours_raw.pixels" "$work/peer_raw.pixels" <<'PY'
import sys
a, b = (open(p, "rb").read() for p in sys.argv[1:3])
if len(a) != len(b):
    sys.exit(f"raw decode: {len(a)} pixel bytes ours, {len(b)} peer")
print(f"raw decode: largest sample difference {max(abs(x - y) for x, y in zip(a, b))}")
PY
