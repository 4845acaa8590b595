#!/usr/bin/env bash
# Thumbnail throughput of the List window's path against vipsthumbnail, on
# 100 different generated 4000 x 3000 photo-like JPEG files (crops at
# different places of one plasma picture with blur and noise, quality 85:
# about 1 MB each). Both sides are one process over all the files and write
# every thumbnail (edge 192) as a PPM file:
#   ours   the library's work pool, as the List window's loader uses it: a
#          thread per processor with a handle each (24-bit load mode, alpha
#          dropped, metadata skipped), each taking the next file, calling
#          ILLoadThumbnail and saving the result
#   peer   vipsthumbnail -s 192 given all the files, with VIPS_CONCURRENCY
#          set to the same count of threads
# on one processor (one thread, VIPS_CONCURRENCY=1) and on all of them
# (BENCH_CPUS default 0-(n-1) there); on one processor timed by processor
# time, on all by the wall time a user waits.
# The decoding differs where each side takes its shortcuts:
#   ours   libjpeg's DCT scaling (1/8 here), the fast integer IDCT, plain
#          upsampling of the chroma, then the fast 8-bit cubic resampler
#   peer   libjpeg's DCT scaling (shrink-on-load, 1/8 here) with the
#          accurate integer IDCT and smooth upsampling, then its Lanczos-3
#          resize
# so the outputs are compared by their sizes and their mean difference.
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
all_cpus=${BENCH_CPUS:-0-$(($(nproc) - 1))}
# Before common.sh, which reads them.
export BENCH_CPUS=$all_cpus
export RUNS=${RUNS:-5}

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$lib"
bench_require_tools vipsthumbnail vips convert-im6.q16 g++ pkg-config python3 taskset xargs
bench_make_work vx_thumbnail_bench

cat >"$work/driver.cpp" <<'CPP'
// THREADS OUTDIR FILE... : thumbnails of the files into OUTDIR/NAME.ppm on
// the library's work pool (at most THREADS threads, the caller's included),
// a handle per thread.
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>
#include "imglib/format.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "workpool/work_pool.h"

int main(int argc, char** argv) {
    workpool::SetThreadLimit(static_cast<unsigned>(std::atoi(argv[1])));
    const std::string outDir = argv[2];
    std::atomic<int> failed{0}, tooLarge{0};
    std::vector<ILHandle*> handles(workpool::ThreadCount());
    for (ILHandle*& h : handles) {
        h = ILCreateHandle("Vx List");
        ILSetLoadModeRGB8(h);
        ILSetAlphaMode(h, 0);
        ILSkipMetadata(h);
        ILSetThumbnailSize(h, 192);
    }
    workpool::Run(static_cast<uint32_t>(argc - 3), 1, [&](unsigned slot, uint32_t first, uint32_t) {
        ILHandle* h = handles[slot];
        const std::string name = argv[first + 3];
        const std::u16string path(name.begin(), name.end());
        std::string base = name.substr(name.rfind('/') + 1);
        base = outDir + "/" + base.substr(0, base.rfind('.')) + ".ppm";
        const std::u16string out(base.begin(), base.end());
        ILImage thumb;
        if (ILLoadThumbnail(h, path.c_str(), &thumb) != IL_OK ||
            ILSaveImage(h, out.c_str(), &thumb, nullptr) != IL_OK)
            ++failed;
        if (thumb.width > 192 || thumb.height > 192) ++tooLarge;
        ILClearImage(&thumb);
    });
    for (ILHandle* h : handles)
        ILDestroyHandle(h);
    if (failed || tooLarge) std::fprintf(stderr, "%d failed, %d too large\n", failed.load(), tooLarge.load());
    return failed || tooLarge;
}
CPP
bench_compile_driver "$work/driver.cpp" "$work/driver"
workers=$(taskset -c "$all_cpus" nproc)

echo "generating 100 different photo-like 4000 x 3000 JPEG files..."
mkdir -p "$work/in" "$work/ours" "$work/peer"
convert-im6.q16 -seed 7 -size 1100x825 plasma:fractal -resize 4400x3300\! -blur 0x1 \
    -attenuate 0.1 +noise Gaussian "$work/base.ppm"
seq 1 100 | xargs -P "$(nproc)" -I{} sh -c \
    'vips crop "$1/base.ppm" "$1/in/photo$(printf %03d {}).jpg[Q=85]" $(({} * 37 % 400)) $(({} * 53 % 300)) 4000 3000' \
    sh "$work"
rm "$work/base.ppm"
echo "input: $(du -sk "$work/in" | cut -f1) KiB in 100 files; $workers threads on all processors"
inputs=$(echo "$work"/in/*.jpg)

# Other work on the machine moves the all-processor and viewer figures most.
echo "machine load (1, 5, 15 min): $(cut -d' ' -f1-3 /proc/loadavg)"
bench_header
bench_cpus=$(echo "$all_cpus" | sed "s/[-,].*//")
bench_pair "thumbnails, 1 proc" "$work/driver 1 $work/ours $inputs" \
    "env VIPS_CONCURRENCY=1 vipsthumbnail -s 192 -o $work/peer/%s.ppm $inputs"
bench_cpus=$all_cpus
bench_pair "thumbnails, all" "$work/driver $workers $work/ours $inputs" \
    "env VIPS_CONCURRENCY=$workers vipsthumbnail -s 192 -o $work/peer/%s.ppm $inputs" threads

# The outputs: the same sizes, and how far apart their pixels are.
python3 - "$work/ours" "$work/peer" <<'PY'
import os, re, sys
def ppm(path):
    data = open(path, "rb").read()
    gap = rb"(?:\s|#[^\n]*\n)+"  # white space and comment lines
    m = re.match(rb"P6" + gap + rb"(\d+)" + gap + rb"(\d+)" + gap + rb"255\s", data)
    return int(m[1]), int(m[2]), data[m.end():]
names = sorted(os.listdir(sys.argv[2]))
if len(names) != 100 or sorted(os.listdir(sys.argv[1])) != names:
    sys.exit("outputs: not the same 100 files on both sides")
total = count = 0
for name in names:
    a, b = ppm(os.path.join(sys.argv[1], name)), ppm(os.path.join(sys.argv[2], name))
    if a[:2] != b[:2]:
        sys.exit(f"outputs: {name} is {a[0]} x {a[1]} ours, {b[0]} x {b[1]} peer")
    total += sum(abs(x - y) for x, y in zip(a[2], b[2]))
    count += len(a[2])
print(f"outputs: same sizes (192 x 144); mean sample difference {total / count:.2f} of 255")
PY

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

echo "machine load (1, 5, 15 min): $(cut -d' ' -f1-3 /proc/loadavg)"
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
