#!/usr/bin/env bash
# Opening a 24-megapixel JPEG in the viewer: the load time the viewer shows
# in its title, against ImgLib's own decode time of the same file in a
# native program, in one run. The goal is a viewer time within 20 % of the
# library's: the viewer adds nothing to the load it times.
#
# The picture (6000 x 4000, a gradient with Gaussian noise, quality 90,
# 4:2:0) is made by ImageMagick with a fixed seed. The viewer runs under Wine
# with the test harness of tests/viewer (its own Xvfb and prefix copy); it
# opens the file once at start and then again from a second instance, two
# names taking turns so that every load changes the title. The native side
# loads the file as many times in one process, timing each ILLoadImage with
# a steady clock, as the viewer times its load. Both print the median.
#
# Usage: bench/viewer_open_time.sh [build-dir]     (default: build/default)
#        RUNS=N sets the number of loads on each side (default 7).
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
runs=${RUNS:-7}
export VX_VIEWER="$build/win32/viewer/vx.exe.so"
export VX_DRIVER="$build/win32/tests/viewer/vxdrive.exe.so"
export VX_VIEWER_WORK_DIR="$build/win32/tests/viewer/work"
bench_require_files "$lib" "$VX_VIEWER" "$VX_DRIVER"
bench_require_tools g++ pkg-config convert-im6.q16

# shellcheck source=../tests/viewer/viewer_env.sh
. "$root/tests/viewer/viewer_env.sh"
vx_case_init   # the temp folder goes at exit, with Xvfb and the wineserver

cat >"$VX_OUT/decode.cpp" <<'EOF'
// decode FILE RUNS: prints the milliseconds of each ILLoadImage.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    ILHandle* h = ILCreateHandle("bench");
    const auto path = ILUtf8ToPath(argv[1]);
    for (int i = 0; i < std::atoi(argv[2]); ++i) {
        ILImage image;
        ILInitImage(&image);
        const auto start = std::chrono::steady_clock::now();
        const ILResult result = ILLoadImage(h, path.c_str(), &image, nullptr);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        ILFreeImage(&image);
        if (result != 1) return 1;
        std::printf("%.1f\n", took.count());
    }
    ILDestroyHandle(h);
    return 0;
}
EOF
bench_compile_driver "$VX_OUT/decode.cpp" "$VX_OUT/decode"

convert-im6.q16 -size 6000x4000 gradient:navy-orange -seed 42 -attenuate 1 +noise Gaussian \
    -quality 90 -sampling-factor 2x2 "$VX_DATA/one.jpg"
cp "$VX_DATA/one.jpg" "$VX_DATA/two.jpg"
echo "input: 6000 x 4000, 4:2:0, quality 90, $(stat -c %s "$VX_DATA/one.jpg") bytes"

library=$("$VX_OUT/decode" "$VX_DATA/one.jpg" "$runs" | bench_median)

# "name (time: S.MMM sec)" -> milliseconds
title_ms() { sed -n 's/.*(time: \([0-9]*\)\.\([0-9]*\) sec)$/\1\2/p' <<<"$1" | sed 's/^0*//'; }
names=(one two)
vx_viewer_start "$(vx_dos_path "$VX_DATA/one.jpg")"
times=()
for ((i = 0; i < runs; i++)); do
    name=${names[$((i % 2))]}
    ((i == 0)) || vx_viewer_run "$(vx_dos_path "$VX_DATA/$name.jpg")" >/dev/null || true
    title=$(vx_drive --timeout 60 wait-title class=Vx "$name.jpg * (time: *)") ||
        vx_fail "the viewer did not show $name.jpg: $title"
    times+=("$(title_ms "$title")")
done
viewer=$(printf '%s\n' "${times[@]}" | bench_median)

awk -v v="$viewer" -v l="$library" -v n="$runs" 'BEGIN {
    printf "viewer title  %7.1f ms   library decode %7.1f ms   viewer/library %.3f   (median of %d; goal <= 1.2)\n",
           v, l, v / l, n }'
