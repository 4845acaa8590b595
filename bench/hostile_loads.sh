#!/usr/bin/env bash
# The processor time and peak memory of loading each hostile file of
# bench/make_hostile.py (resource bombs and broken files) through iltool, a
# full load (topam) and an info-only load (info) each, with the exit status
# (0 loaded, else refused or partial) and the library's first message. The
# goal, in the sanitizer build (build/asan): every hostile load under a
# second and under 300 MB. Runs pinned to one processor (BENCH_CPUS, else
# the idlest). Full loads run with an image memory budget of BUDGET_MB
# (default 256, as the library's tests and the fuzz targets set): with the
# default budget, a quarter of the memory, some of these headers claim
# images the budget admits, which then load as large flat pictures.
#
# Usage: bench/hostile_loads.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
bench_require_files "$iltool"
bench_require_tools cjpeg tiffcp python3
bench_make_work hostile
cpus=$bench_cpus

python3 "$root/bench/make_hostile.py" "$work/files" "$iltool"
# The sanitizer build's report of leaks is no finding of this script.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

printf '%-34s %-6s %6s %6s %9s  %s\n' "file" "load" "status" "CPU s" "peak MiB" "first message"
for file in "$work"/files/*; do
    name=$(basename "$file")
    for load in topam info; do
        args=("$iltool" info "$file")
        [ "$load" = topam ] && args=("$iltool" topam "$file" "$work/out.pam" \
                                     --opt imageBudget=$((${BUDGET_MB:-256} << 20)))
        status=0
        /usr/bin/time -f '%U %S %M' -o "$work/time" taskset -c "$cpus" "${args[@]}" \
            >"$work/messages" 2>&1 || status=$?
        read -r user system kb < <(tail -n 1 "$work/time")
        message=$(grep -v -e '^op ' -e '^Command exited' -e '^$' "$work/messages" | head -n 1 | cut -c1-70 || true)
        printf '%-34s %-6s %6s %6.2f %9.1f  %s\n' "$name" "$load" "$status" \
            "$(echo "$user + $system" | bc)" "$(echo "scale=1; $kb / 1024" | bc)" "$message"
        rm -f "$work/out.pam"
    done
done
