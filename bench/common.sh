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
