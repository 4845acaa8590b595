#!/usr/bin/env bash
# Thumbnail throughput of the List window's path against vipsthumbnail, on
# the same 100 generated 4000 x 3000 photo-like JPEG files (plasma, blur and
# noise, quality 85: about 1 MB each), all processors (BENCH_CPUS default
# 0-(n-1) here, since both sides run in parallel):
#   ours   one process, the viewer's worker count of threads with a handle
#          each, as the List window's loader has them (24-bit load mode,
#          alpha dropped, metadata skipped, edge 192), each claiming the
#          next file and calling ILLoadThumbnail
#   peer   vipsthumbnail -s 192, as many processes at a time as ours has
#          threads (xargs -P)
# Thumbnails per second are printed from the wall times; both sides'
# outputs are checked to fit 192 x 192.
#
# Then the viewer itself, under Wine with the harness of tests/viewer: with
# its List window open (192-pixel thumbnails) it is handed the folder of the
# same 100 files, RUNS times (two folders of the same files taking turns, so
# that every hand-over lists anew), and reports (VX_LIST_TIMING) the time
# from the start of the folder scan until every thumbnail is painted, and
# the scan's own time. Last, the scan time of a folder of 5,000 small PNG
# files (hard links of one).
#
# Usage: bench/thumbnails_vs_vipsthumbnail.sh [build-dir]   (default: build/default)
set -euo pipefail
# Before common.sh, which reads them.
export BENCH_CPUS=${BENCH_CPUS:-0-$(($(nproc) - 1))}
export RUNS=${RUNS:-5}

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib"
bench_require_tools vipsthumbnail convert-im6.q16 g++ pkg-config python3 taskset xargs
bench_make_work vx_thumbnail_bench

cat >"$work/driver.cpp" <<'CPP'
// WORKERS FILE... : thumbnails of the files, WORKERS threads with a handle each.
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>
#include "imglib/format.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "viewer/logic/text_utils.h"

int main(int argc, char** argv) {
    const int workers = std::atoi(argv[1]);
    std::atomic<int> next{2}, failed{0}, tooLarge{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < workers; ++t)
        threads.emplace_back([&] {
            ILHandle* h = ILCreateHandle("Vx List");
            ILSetLoadModeRGB8(h);
            ILSetAlphaMode(h, 0);
            ILSkipMetadata(h);
            ILSetThumbnailSize(h, 192);
            for (int i; (i = next++) < argc;) {
                const std::string name = argv[i];
                const std::u16string path(name.begin(), name.end());
                ILImage thumb;
                if (ILLoadThumbnail(h, path.c_str(), &thumb) != IL_OK) ++failed;
                if (thumb.width > 192 || thumb.height > 192) ++tooLarge;
                ILClearImage(&thumb);
            }
            ILDestroyHandle(h);
        });
    for (std::thread& t : threads)
        t.join();
    if (failed || tooLarge) std::fprintf(stderr, "%d failed, %d too large\n", failed.load(), tooLarge.load());
    return failed || tooLarge;
}
CPP
bench_compile_driver "$work/driver.cpp" "$work/driver"
workers=$(python3 -c "n=$(nproc); n=(3*n+2)//4 if n>2 else max(n,1); print(min(n,8))")

echo "generating 100 photo-like 4000 x 3000 JPEG files..."
mkdir -p "$work/in" "$work/out"
convert-im6.q16 -seed 7 -size 1000x750 plasma:fractal -resize 4000x3000\! -blur 0x1 \
    -attenuate 0.1 +noise Gaussian -quality 85 "$work/base.jpg"
for i in $(seq -w 1 100); do cp "$work/base.jpg" "$work/in/photo$i.jpg"; done
echo "input: $(du -k "$work/base.jpg" | cut -f1) KiB each; $workers workers"

cat >"$work/peer.sh" <<SH
#!/bin/sh
ls "$work"/in/*.jpg | xargs -P $workers -n 4 vipsthumbnail -s 192 -o "$work/out/%s.jpg"
SH
chmod +x "$work/peer.sh"

bench_header
bench_pair thumbnails "$work/driver $workers $(echo "$work"/in/*.jpg)" "$work/peer.sh"
vipsheader -f width "$(ls "$work"/out/*.jpg | head -1)" | grep -qx 192 ||
    { echo "vipsthumbnail's output is not 192 wide" >&2; exit 1; }

# Thumbnails per second from one more wall-clock run of each side.
per_second() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    python3 -c "print(f'{100 / ($end - $start):.0f}')"
}
echo "thumbnails per second: ours $(per_second taskset -c "$BENCH_CPUS" "$work/driver" "$workers" "$work"/in/*.jpg)," \
     "vipsthumbnail $(per_second taskset -c "$BENCH_CPUS" "$work/peer.sh")"

# The viewer: the time from opening a folder until every thumbnail shows.
export VX_VIEWER="$build/win32/viewer/vx.exe.so"
export VX_DRIVER="$build/win32/tests/viewer/vxdrive.exe.so"
export VX_VIEWER_WORK_DIR="$build/win32/tests/viewer/work"
if [ ! -f "$VX_VIEWER" ] || [ ! -f "$VX_DRIVER" ]; then
    echo "no viewer built: the viewer's own times are skipped"
    exit 0
fi
bench_work=$work
# shellcheck source=../tests/viewer/viewer_env.sh
. "$root/tests/viewer/viewer_env.sh"
vx_case_init
trap 'vx_wine_cleanup; rm -rf "$bench_work"' EXIT
for side in one two; do
    mkdir -p "$work/viewer/$side"
    ln "$work"/in/*.jpg "$work/viewer/$side/"
done
mkdir -p "$work/viewer/many"
convert-im6.q16 -size 64x48 xc:teal "$work/viewer/many/f00000.png"
for ((i = 1; i < 5000; i++)); do ln "$work/viewer/many/f00000.png" "$work/viewer/many/f$(printf %05d "$i").png"; done

# "list: N thumbnails shown T ms after the scan began (scan S ms)" lines
# of the viewer's log, one per listing; waits until count of them exist.
timing_lines() {
    local count=$1 t
    for ((t = 0; t < 1200; t++)); do
        [ "$(grep -c '^list: ' "$VX_VIEWER_LOG")" -ge "$count" ] && break
        sleep 0.1
    done
    grep '^list: ' "$VX_VIEWER_LOG" | tail -n +"$2" | head -n $(("$count" - "$2" + 1))
}

export VX_LIST_TIMING=1
vx_viewer_start
vx_drive post class=Vx 40102 >/dev/null
vx_drive wait class=VxDcTl >/dev/null || vx_fail "no List window"
vx_drive post class=VxDcTl 40776 >/dev/null
sides=(one two)
for ((i = 0; i < RUNS; i++)); do
    vx_viewer_run "$(vx_dos_path "$work/viewer/${sides[$((i % 2))]}/photo001.jpg")" >/dev/null || true
    timing_lines $((i + 1)) $((i + 1)) >/dev/null
done
lines=$(timing_lines "$RUNS" 1)
shown=$(sed -n 's/.* shown \([0-9]*\) ms .*/\1/p' <<<"$lines" | bench_median)
scan=$(sed -n 's/.*(scan \([0-9]*\) ms)/\1/p' <<<"$lines" | bench_median)
echo "viewer, 100 files: every thumbnail shown ${shown} ms after the folder scan began" \
     "(median of $RUNS; scan ${scan} ms): $(python3 -c "print(f'{100000 / $shown:.0f}')") thumbnails per second"

vx_viewer_run "$(vx_dos_path "$work/viewer/many/f00000.png")" >/dev/null || true
line=$(timing_lines $((RUNS + 1)) $((RUNS + 1)))
echo "viewer, 5000 files: scan $(sed -n 's/.*(scan \([0-9]*\) ms)/\1/p' <<<"$line") ms," \
     "every thumbnail shown $(sed -n 's/.* shown \([0-9]*\) ms .*/\1/p' <<<"$line") ms after the scan began"
vx_viewer_close
