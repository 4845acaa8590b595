#!/usr/bin/env bash
# Converter against vips, both single-threaded, on the same generated
# 24-megapixel inputs: prints megapixels per second for each and ours/vips.
#
#   bench/convert_vs_vips.sh [build dir]      (default build/default)
#
# Ours comes from convert_bench (in-process, rows already in memory). vips
# runs from its own .v files on a memory file system; its figure is the wall
# time of the operation minus the time of starting vips, so it still pays for
# writing its output (a few milliseconds).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
bench=$build/bench/convert_bench
[ -x "$bench" ] || { echo "no $bench: build the project first" >&2; exit 1; }
command -v vips >/dev/null || { echo "vips not found (libvips-tools)" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine not found" >&2; exit 1; }

tmp=$(mktemp -d /dev/shm/vx-convert.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$tmp"' EXIT
read -r W H < <("$bench" --write-inputs "$tmp")
export VIPS_CONCURRENCY=1

load() {  # raw name, .v name, bands, extra rawload options
    vips rawload "$tmp/$1.raw" "$tmp/$2.v" "$W" "$H" "$3" "${@:4}"
}
load rgb8_to_grey8 rgb8 3 --interpretation srgb
load rgb16_to_rgb8 rgb16 3 --format ushort --interpretation rgb16
load linear_float_to_srgb8 scrgb 3 --format float --interpretation scrgb
load rgba8_composite rgba8 4 --interpretation srgb
load ycbcr8_to_rgb8 ycbcr8 3
load index8_to_rgb8 index8 1
vips rawload "$tmp/palette.raw" "$tmp/lut.v" 256 1 3
# Full-range BT.601 YCbCr to RGB as a matrix (vips has no YCbCr space).
printf '3 3 1 0\n1 0 1.402\n1 -0.344136 -0.714136\n1 1.772 0\n' > "$tmp/ycbcr.mat"

declare -A op=(
    [rgb8_to_grey8]="vips colourspace $tmp/rgb8.v $tmp/out.v b-w"
    [rgb16_to_rgb8]="vips colourspace $tmp/rgb16.v $tmp/out.v srgb"
    [linear_float_to_srgb8]="vips colourspace $tmp/scrgb.v $tmp/out.v srgb"
    [rgba8_composite]="vips flatten $tmp/rgba8.v $tmp/out.v --background '231 150 51'"
    [ycbcr8_to_rgb8]="vips recomb $tmp/ycbcr8.v $tmp/out.v $tmp/ycbcr.mat"
    [index8_to_rgb8]="vips maplut $tmp/index8.v $tmp/out.v $tmp/lut.v"
)
order=(rgb8_to_grey8 rgb16_to_rgb8 linear_float_to_srgb8 rgba8_composite ycbcr8_to_rgb8 index8_to_rgb8)

"$bench" --benchmark_format=json --benchmark_out="$tmp/ours.json" --benchmark_out_format=json \
    >/dev/null
hyperfine --warmup 2 --runs 10 --export-json "$tmp/start.json" "vips --version" >/dev/null
for name in "${order[@]}"; do
    hyperfine --warmup 1 --runs 5 --export-json "$tmp/$name.json" "${op[$name]}" >/dev/null
done

python3 - "$tmp" "$W" "$H" "${order[@]}" <<'PY'
import json, sys
tmp, w, h, names = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
mp = w * h / 1e6
ours = {b["name"].split("/")[0]: b["MP/s"] for b in json.load(open(f"{tmp}/ours.json"))["benchmarks"]}
start = min(json.load(open(f"{tmp}/start.json"))["results"][0]["times"])
print(f"{'conversion':24} {'ours MP/s':>10} {'vips MP/s':>10} {'ours/vips':>10}")
for n in names:
    t = min(json.load(open(f"{tmp}/{n}.json"))["results"][0]["times"]) - start
    vips = mp / t
    print(f"{n:24} {ours[n]:10.1f} {vips:10.1f} {ours[n] / vips:10.2f}")
PY
