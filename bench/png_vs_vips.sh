#!/usr/bin/env bash
# PNG speed and memory of ImgLib against vips, whole processes doing the same
# work on the same generated 16-megapixel RGBA picture (4096 x 4096,
# gradients, a checker pattern and noise, fixed seed), files on the memory
# file system, vips single-threaded (VIPS_CONCURRENCY=1):
#   decode   iltool topam IN.png OUT.pam          vs  vips rawsave IN.png OUT.raw
#            (the input as photographs come: written by vips with all five
#            row filters chosen adaptively, zlib level 6)
#   encode   our driver: raw file -> PNG          vs  vips rawload RAW OUT.png[...]
#            at equal settings: ours with compression 1 (the default: zlib
#            level 6, filters NONE, SUB, UP, AVG) against vips with
#            compression=6 and the same four filters, and ours with
#            compression 0 (level 4, NONE and SUB) against compression=4
#            with those two. Both write through libpng; ours asks zlib for
#            Z_FILTERED, which vips does not say it does: the sizes are printed.
# The outputs are checked: the decoded pixels equal (the PAM's payload and
# the raw file), and both encoded files decode to the input's pixels.
# Our encoding side is a small driver compiled here against the built ImgLib
# (iltool reads no raw files): it maps the raw input as an R, G, B, A image,
# as vips maps it, and saves, nothing else. Timing, interleaving and the report: bench/common.sh.
#
# Usage: bench/png_vs_vips.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib" "$iltool"
bench_require_tools vips g++ pkg-config python3 taskset
bench_make_work vx_png_bench
export VIPS_CONCURRENCY=1

cat >"$work/driver.cpp" <<'EOF'
// picture W H OUT.raw | encode IN.raw W H OUT.png COMPRESSION
#include <fcntl.h>
#include <sys/mman.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
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
    if (argc == 7 && !std::strcmp(argv[1], "encode")) {
        // The raw file mapped as it is, R, G, B, A, as vips maps it.
        const unsigned w = std::atoi(argv[3]), hgt = std::atoi(argv[4]);
        const int fd = open(argv[2], O_RDONLY);
        const size_t bytes = size_t{w} * hgt * 4;
        void* mapped = fd < 0 ? MAP_FAILED : mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped == MAP_FAILED ||
            ILCreateImage(&image, w, hgt, IL_RGBA8, static_cast<uint8_t*>(mapped)) != IL_OK)
            return 2;
        h->png.compression = std::atoi(argv[6]);
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
vips rawload "$work/in.raw" "$work/in.png[compression=6,filter=248]" $w $h 4
echo "input: $w x $h RGBA 8-bit, $(stat -c %s "$work/in.png") bytes as PNG (written by vips)"
echo "peer: $(vips --version), libpng $(pkg-config --modversion libpng), zlib $(pkg-config --modversion zlib); processor(s) $bench_cpus"

# libpng's filter flags as vips takes them.
none=8 sub=16 up=32 avg=64
bench_header
bench_pair decode "$iltool topam $work/in.png $work/ours.pam" "vips rawsave $work/in.png $work/peer.raw"
bench_pnm_pixels "$work/ours.pam" >"$work/ours.pixels"
bench_same_bytes "$work/ours.pixels" "$work/peer.raw" decode

encode() {  # name, our compression, vips compression, vips filter flags
    bench_pair "$1" "$driver encode $work/in.raw $w $h $work/ours.png $2" \
        "vips rawload $work/in.raw $work/peer.png[compression=$3,filter=$4] $w $h 4"
    local side
    for side in ours peer; do
        vips rawsave "$work/$side.png" "$work/$side.raw"
        bench_same_bytes "$work/$side.raw" "$work/in.raw" "$1 ($side, decoded)"
    done
    echo "$1: $(stat -c %s "$work/ours.png") bytes ours, $(stat -c %s "$work/peer.png") peer"
}
encode encode 1 6 $((none | sub | up | avg))
encode encode_fast 0 4 $((none | sub))
