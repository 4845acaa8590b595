#!/usr/bin/env bash
# Geometry, resampling, Gauss filter, panorama projection and thumbnails
# against vips, both single-threaded, on the same generated photo-like
# inputs: prints seconds for each and ours/vips (below 1: we are faster).
#
#   bench/ops_vs_vips.sh [build dir]      (default build/default)
#
# Ours comes from ops_bench (in-process, images in memory; the resampler and
# the Gauss filter convert from and to 8-bit sRGB inside the call). vips runs
# from .v files on a memory file system; where it needs several commands
# (scRGB in, operation, sRGB out) their times add up, each less the time of
# starting vips. The thumbnail rows time both whole programs from the same
# JPEG file: iltool thumbnail against vipsthumbnail.
set -euo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$build/bench/ops_bench" "$build/tools/iltool"
bench_require_tools vips vipsthumbnail hyperfine python3

tmp=$(mktemp -d /dev/shm/vx-ops.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export VIPS_CONCURRENCY=1
"$build/bench/ops_bench" --write-inputs "$tmp"

load() { # name width height bands [rawload options]
    vips rawload "$tmp/$1.raw" "$tmp/$1.v" "$2" "$3" "$4" "${@:5}"
}
load photo 6000 4000 3 --interpretation srgb
load small 1000 667 3 --interpretation srgb
load pano 4096 2048 3 --interpretation srgb
load map 2048 2048 2 --format float
vips colourspace "$tmp/photo.v" "$tmp/photo_lin.v" scrgb
vips colourspace "$tmp/small.v" "$tmp/small_lin.v" scrgb
vips jpegsave "$tmp/photo.v" "$tmp/photo.jpg" --Q 90
vips extract_area "$tmp/photo.v" "$tmp/p4k.v" 0 0 4000 3000
vips jpegsave "$tmp/p4k.v" "$tmp/p4000.jpg" --Q 90

sigma() { python3 -c "import math; print($1 / (2 * math.sqrt(math.pi)))"; }
# Each entry: vips commands separated by ';', timed one by one.
declare -A peer=(
    [resize_quarter_lanczos]="vips colourspace $tmp/photo.v $tmp/a.v scrgb;vips resize $tmp/photo_lin.v $tmp/b.v 0.25 --kernel lanczos3;vips colourspace $tmp/b.v $tmp/c.v srgb"
    [enlarge_cubic]="vips colourspace $tmp/small.v $tmp/a.v scrgb;vips resize $tmp/small_lin.v $tmp/b.v 4 --kernel cubic;vips colourspace $tmp/b.v $tmp/c.v srgb"
    [gauss_r10]="vips colourspace $tmp/photo.v $tmp/a.v scrgb;vips gaussblur $tmp/photo_lin.v $tmp/b.v $(sigma 10) --min-ampl 0.0018 --precision float;vips colourspace $tmp/b.v $tmp/c.v srgb"
    [gauss_r100]="vips colourspace $tmp/photo.v $tmp/a.v scrgb;vips gaussblur $tmp/photo_lin.v $tmp/b.v $(sigma 100) --min-ampl 0.0018 --precision float;vips colourspace $tmp/b.v $tmp/c.v srgb"
    [rotate30_os1]="vips rotate $tmp/photo.v $tmp/a.v 30"
    [rotate30_os4]="vips rotate $tmp/photo.v $tmp/a.v 30 --interpolate nohalo"
    [latlong_to_angular]="vips mapim $tmp/pano.v $tmp/a.v $tmp/map.v"
)
order=(resize_quarter_lanczos enlarge_cubic gauss_r10 gauss_r100 rotate30_os1 rotate30_os4
       latlong_to_angular)

"$build/bench/ops_bench" --benchmark_format=json --benchmark_out="$tmp/ours.json" \
    --benchmark_out_format=json >/dev/null
hyperfine -N --warmup 2 --runs 10 --export-json "$tmp/start.json" "vips --version" >/dev/null
for name in "${order[@]}"; do
    IFS=';' read -r -a commands <<<"${peer[$name]}"
    i=0
    for command in "${commands[@]}"; do
        hyperfine -N --warmup 1 --runs 3 --export-json "$tmp/$name.$i.json" "$command" >/dev/null
        i=$((i + 1))
    done
done
for size in 192; do
    hyperfine -N --warmup 1 --runs 10 --export-json "$tmp/thumb_ours.json" \
        "$build/tools/iltool thumbnail $tmp/p4000.jpg $tmp/t.bmp $size" >/dev/null 2>&1
    hyperfine -N --warmup 1 --runs 10 --export-json "$tmp/thumb_vips.json" \
        "vipsthumbnail $tmp/p4000.jpg -s $size -o $tmp/t.jpg" >/dev/null
done

python3 - "$tmp" "${order[@]}" <<'PY'
import glob, json, sys
tmp, names = sys.argv[1], sys.argv[2:]
best = lambda f: min(json.load(open(f))["results"][0]["times"])
ours = {b["name"].split("/")[0]: b["real_time"] / 1000
        for b in json.load(open(f"{tmp}/ours.json"))["benchmarks"]}
start = best(f"{tmp}/start.json")
print(f"{'operation':26} {'ours s':>8} {'vips s':>8} {'ours/vips':>10}")
for n in names:
    vips = sum(best(f) - start for f in sorted(glob.glob(f"{tmp}/{n}.*.json")))
    print(f"{n:26} {ours[n]:8.3f} {vips:8.3f} {ours[n] / vips:10.2f}")
o, v = best(f"{tmp}/thumb_ours.json"), best(f"{tmp}/thumb_vips.json")
print(f"{'thumbnail 4000x3000 192':26} {o:8.3f} {v:8.3f} {o / v:10.2f}")
PY
