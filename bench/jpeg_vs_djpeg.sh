#!/usr/bin/env bash
# JPEG speed and memory of ImgLib against libjpeg-turbo's own tools, on the
# same generated 24-megapixel picture (6000 x 4000, fixed pattern and noise)
# in one run:
#   decode     full-quality load of a 4:2:0 file      vs  djpeg
#   thumbnail  DCT-scaled load for a 256 edge (1/8)   vs  djpeg -scale 1/8 -dct fast -nosmooth
#   encode     save with the default options          vs  cjpeg -quality 90 -progressive
#              (quality 90, progressive, 4:2:0)
# Our side is a small driver compiled here against a built ImgLib; it loads
# into memory, while djpeg also writes its PPM (to /dev/null). (iltool's
# topam would add its RGBA conversion and PAM writer, and it has no
# thumbnail load: the driver measures the codec alone.)
# Prints for both sides the processor time (user + system, hyperfine's mean
# of several runs: steadier than wall time on a shared machine) with its
# system part, ours/peer, and the peak resident memory of one run
# (/usr/bin/time -v). "startup" is our driver doing nothing: process start
# and the handle's shared tables, paid once per process. Most of our
# system time in decode is the first touch of the 72 MB image, which djpeg,
# streaming a few rows to its output, never holds.
#
# Usage: bench/jpeg_vs_djpeg.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib"
bench_require_tools djpeg cjpeg hyperfine /usr/bin/time g++ pkg-config python3
bench_make_work vx_jpeg_bench

cat >"$work/driver.cpp" <<'EOF'
// picture W H OUT.ppm | startup | decode IN | thumbnail IN EDGE | encode IN.ppm OUT.jpg
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>
#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"

static int Picture(unsigned w, unsigned h, const char* out) {
    std::mt19937 noise(42);
    std::vector<unsigned char> row(size_t{w} * 3);
    FILE* f = std::fopen(out, "wb");
    if (!f) return 1;
    std::fprintf(f, "P6\n%u %u\n255\n", w, h);
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            int n = static_cast<int>(noise() % 81) - 40;
            int v[3] = {static_cast<int>(x * 255 / w) + n, ((x / 64 + y / 64) % 2) ? 190 : 60,
                        static_cast<int>(y * 255 / h) - n};
            for (int c = 0; c < 3; ++c) row[3 * x + c] = static_cast<unsigned char>(v[c] < 0 ? 0 : v[c] > 255 ? 255 : v[c]);
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
    if (argc >= 2 && !std::strcmp(argv[1], "startup")) {
        // the handle alone: process start and the library's shared tables
    } else if (argc >= 3 && !std::strcmp(argv[1], "decode")) {
        result = ILLoadImage(h, ILUtf8ToPath(argv[2]).c_str(), &image, nullptr);
    } else if (argc >= 4 && !std::strcmp(argv[1], "thumbnail")) {
        ILSetThumbnailSize(h, std::atoi(argv[3]));
        result = ILLoadImage(h, ILUtf8ToPath(argv[2]).c_str(), &image, nullptr);
    } else if (argc >= 4 && !std::strcmp(argv[1], "encode")) {
        FILE* f = std::fopen(argv[2], "rb");
        unsigned w = 0, hgt = 0, max = 0;
        if (!f || std::fscanf(f, "P6 %u %u %u", &w, &hgt, &max) != 3) return 2;
        std::fgetc(f);
        if (ILCreateImage(&image, w, hgt, IL_MODEL_RGB | IL_KIND_8, nullptr) != IL_OK) return 2;
        for (unsigned y = 0; y < hgt; ++y) {
            unsigned char* row = image.data + y * image.stride;
            if (std::fread(row, 3, w, f) != w) return 2;
            for (unsigned x = 0; x < w; ++x) std::swap(row[3 * x], row[3 * x + 2]);
        }
        std::fclose(f);
        result = ILSaveImage(h, ILUtf8ToPath(argv[3]).c_str(), &image, nullptr);
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
"$driver" picture 6000 4000 "$work/in.ppm"
cjpeg -quality 90 -outfile "$work/in.jpg" "$work/in.ppm"
echo "input: 6000 x 4000, 4:2:0, quality 90, $(stat -c %s "$work/in.jpg") bytes"

compare() {
    local name=$1 ours=$2 peer=$3
    local o p
    o=$(bench_times "$ours" user system)
    p=$(bench_times "$peer" user system)
    python3 - "$name" "$o" "$p" "$(bench_peak "$ours")" "$(bench_peak "$peer")" <<'PY'
import sys
name, (ou, os_), (pu, ps) = sys.argv[1], map(float, sys.argv[2].split()), map(float, sys.argv[3].split())
print(f"{name:<10} ours {1000*(ou+os_):7.1f} ms (sys {1000*os_:5.1f}) {sys.argv[4]:>4} MiB   "
      f"peer {1000*(pu+ps):7.1f} ms (sys {1000*ps:5.1f}) {sys.argv[5]:>4} MiB   "
      f"ours/peer {(ou+os_)/(pu+ps):.3f}")
PY
}

read -r su ss <<<"$(bench_times "$driver startup" user system)"
python3 -c "print(f'startup    ours {1000*($su+$ss):7.1f} ms')"
compare decode "$driver decode $work/in.jpg" "djpeg -ppm -outfile /dev/null $work/in.jpg"
compare thumbnail "$driver thumbnail $work/in.jpg 256" \
    "djpeg -ppm -scale 1/8 -dct fast -nosmooth -outfile /dev/null $work/in.jpg"
compare encode "$driver encode $work/in.ppm $work/ours.jpg" \
    "cjpeg -quality 90 -progressive -outfile $work/peer.jpg $work/in.ppm"
