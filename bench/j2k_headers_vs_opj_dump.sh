#!/usr/bin/env bash
# Reading JPEG 2000 headers: j2kinfo (the engine's main header, every
# tile-part header, every tile's geometry and its progression walked once,
# and the settings listing) against opj_dump (main header, tile-part index
# and its dump), on one generated 4096 x 4096 RGB picture coded by
# opj_compress in 64 x 64 tiles, resolution-major tile-parts, with SOP and EPH.
# Both sides are single processes; the ratio is on processor time.
#
# Usage: bench/j2k_headers_vs_opj_dump.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
j2kinfo="$build/tools/j2kinfo"
bench_require_files "$j2kinfo"
bench_require_tools opj_compress opj_dump python3
bench_make_work vx_j2k_headers_bench

python3 - "$work/in.ppm" <<'PY'
import random, sys
random.seed(42)
w = h = 4096
row = bytearray()
with open(sys.argv[1], "wb") as f:
    f.write(b"P6\n%d %d\n255\n" % (w, h))
    for y in range(h):
        row = bytes(((x ^ y) & 255) if c == 0 else ((x + y) >> 5) & 255 if c == 1 else random.getrandbits(8)
                    for x in range(0, w) for c in range(3)) if y % 256 == 0 else row
        f.write(row)
PY
opj_compress -i "$work/in.ppm" -o "$work/tiles.j2k" -t 64,64 -n 4 -p RPCL -TP R -SOP -EPH \
    -r 40,20,10 >/dev/null
echo "input: 4096 x 4096 RGB, $(stat -c %s "$work/tiles.j2k") bytes, 4096 tiles of 64 x 64"

bench_header
bench_pair "headers" "$j2kinfo $work/tiles.j2k" "opj_dump -i $work/tiles.j2k -o $work/dump.txt"
