# shellcheck shell=bash
# What the benchmark scripts share. Source it after `set -euo pipefail`:
#
#   . "$(dirname "${BASH_SOURCE[0]}")/common.sh"
#   bench_use_build "${1:-}"     # sets build and lib; root is the source tree
#
# then bench_require_files, bench_require_tools, bench_make_work (sets work),
# bench_compile_driver, bench_times and bench_peak as below.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The build folder (default build/default) as an absolute path in build, and
# the ImgLib built there in lib.
bench_use_build() {
    build=$(cd "${1:-$root/build/default}" && pwd)
    lib="$build/imglib/libimglib.a"
}

bench_require_files() {
    local file
    for file in "$@"; do
        [ -f "$file" ] || { echo "no $file: build it first" >&2; exit 1; }
    done
}

bench_require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
    done
}

# A temporary folder in work, removed when the script exits.
bench_make_work() {
    work=$(mktemp -d "/tmp/$1.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}

# bench_compile_driver SOURCE OUTPUT: a small C++ program against the built
# ImgLib and the libraries it links, as the build names them.
bench_compile_driver() {
    local modules
    modules=$(sed -n '/IMPORTED_TARGET/,/)/p' "$root/cmake/VxDependencies.cmake" |
              sed -e 's/.*IMPORTED_TARGET//' -e 's/)//')
    # shellcheck disable=SC2046,SC2086
    g++ -std=c++20 -O2 -I"$root" "$1" "$lib" \
        $(pkg-config --cflags --libs $modules) -pthread -o "$2"
}

# bench_times COMMAND FIELD...: hyperfine's mean seconds over several runs
# (RUNS, default 5) of the fields named (mean = wall, user, system), in
# that order on one line. The command runs without a shell.
bench_times() {
    local command=$1
    shift
    hyperfine -N --warmup 1 --runs "${RUNS:-5}" --export-json "$work/t.json" "$command" \
        >/dev/null 2>&1
    python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][0]; print(*(r[f] for f in sys.argv[2:]))' \
        "$work/t.json" "$@"
}

# Peak resident memory of one run, in MiB.
bench_peak() {
    # shellcheck disable=SC2086
    /usr/bin/time -v $1 2>&1 >/dev/null |
        awk '/Maximum resident set size/ {printf "%.0f", $6 / 1024}'
}

# bench_compare NAME OURS PEER LABEL BASIS [OUR_FILE PEER_FILE]: one line
# with both sides' wall and processor times, peak memory and ours/peer on
# processor time (BASIS cpu) or wall time (wall); with the two output files,
# their sizes too.
bench_compare() {
    local name=$1 ours=$2 peer=$3 label=$4 basis=$5 ourFile=${6:-} peerFile=${7:-}
    python3 - "$name" "$label" "$basis" "$(bench_times "$ours" mean user system)" \
        "$(bench_times "$peer" mean user system)" "$(bench_peak "$ours")" "$(bench_peak "$peer")" \
        "$( [ -n "$ourFile" ] && stat -c %s "$ourFile" || echo -)" \
        "$( [ -n "$peerFile" ] && stat -c %s "$peerFile" || echo -)" <<'PY'
import sys
name, label, basis = sys.argv[1:4]
ow, ou, os_ = map(float, sys.argv[4].split())
pw, pu, ps = map(float, sys.argv[5].split())
om, pm, osz, psz = sys.argv[6:10]
ratio = (ou + os_) / (pu + ps) if basis == "cpu" else ow / pw
size = f"   bytes ours {osz} peer {psz}" if osz != "-" else ""
print(f"{name:<12} ours {1000*ow:7.1f} ms wall {1000*(ou+os_):7.1f} ms cpu {om:>4} MiB   "
      f"{label:<9} {1000*pw:7.1f} ms wall {1000*(pu+ps):7.1f} ms cpu {pm:>4} MiB   "
      f"ours/peer ({basis}) {ratio:.3f}{size}")
PY
}
