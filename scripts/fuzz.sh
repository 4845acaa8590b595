#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/<codec>_fuzz.cpp, libFuzzer with clang 14 and
# the address and undefined-behaviour sanitizers) in build/fuzz and runs each
# one briefly:
#   1. once over every seed of its format in the shared corpus, so that a
#      known file that crashes shows up at once;
#   2. fuzzing for FUZZ_SECONDS seconds from the small seeds: the target's own
#      (fuzz/seeds/<target>/) and the corpus files no longer than its
#      maximum input length, which also bounds the mutants. Large seeds take
#      seconds each and leave the fuzzer a few hundred runs.
# The rate (runs a minute) is printed with each target's statistics.
# Any crash, leak, timeout or out-of-memory is a finding: the input is kept in
# build/fuzz/findings/<target>/ and the script ends non-zero. Not part of the
# test command; run it by hand or in a nightly job.
#
# Usage: scripts/fuzz.sh [target ...]     (default: every target)
# Environment: VX_CORPUS_DIR (default ../shared/corpus), FUZZ_SECONDS
# (default 30), VX_JOBS (build parallelism, default 4), FUZZ_MAX_LEN (the
# maximum input length of targets without one of their own, default 16384),
# FUZZ_CPU (a processor every target runs on, for rates that compare; by
# default only the encoder target is pinned), FUZZ_BUILD=0 (use the targets
# already built, as when several runs of the script share the build).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/fuzz"
corpus=${VX_CORPUS_DIR:-"$root/../shared/corpus"}
seconds=${FUZZ_SECONDS:-30}
jobs=${VX_JOBS:-4}

if [ "${FUZZ_BUILD:-1}" != 0 ]; then
    cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
    cmake --build "$build" -j "$jobs"
fi

# The corpus files a target starts from, by extension (the format table's
# extensions of the target's row).
extensions() {
    case "$1" in
        jpeg) echo "jpg jpe jpeg jfif" ;;
        jpeg2000) echo "jp2 j2k j2c jpc jpf jpx" ;;
        j2k_headers | j2k_decode) echo "jp2 j2k j2c jpc" ;;
        jxr | jxr_container) echo "jxr hdp wdp" ;;
        tiff) echo "tif tiff" ;;
        pnm) echo "pnm pam pgm pbm ppm pfm" ;;
        tga) echo "tga vst vda icb" ;;
        ras) echo "ras im1 im8 im24 im32" ;;
        sgi) echo "sgi rgb rgba bw" ;;
        radiance) echo "hdr rad rgbe xyze" ;;
        exr) echo "exr" ;;
        cineon) echo "cin" ;;
        raw) echo "arw cr2 crw dcr dng eff erf kdc mef mos mrw nef orf pef raf raw rw2 srf sr2 x3f 3fr" ;;
        wmf | wmf_header) echo "wmf emf" ;;
        actions) echo "vxa adb up" ;;
        *) echo "$1" ;;
    esac
}

# The longest input a target fuzzes with: Photo CD keeps its base image
# hundreds of kilobytes into the file; the smallest OpenEXR test images are
# about 20 KB.
max_length() {
    case "$1" in
        pcd) echo 1048576 ;;
        exr) echo 32768 ;;
        j2k_headers | j2k_decode) echo 4096 ;;
        *) echo "${FUZZ_MAX_LEN:-16384}" ;;
    esac
}

# The folder of a target's own seeds (the JPEG 2000 targets share theirs).
own_seeds() {
    case "$1" in
        j2k_headers | j2k_decode) echo "j2k" ;;
        *) echo "$1" ;;
    esac
}

# Options of a target's fuzzing alone. libpgf keeps buffers it allocated
# whenever it refuses a damaged header (suppressed in tests/lsan.supp): the
# fuzzer then scans the whole heap for leaks after most PGF inputs, which
# held it to 200 inputs in 20 s against 11000 without the scan. Its leaks
# are still looked for in the pass over the corpus and in the sanitizer
# tests.
fuzz_options() {
    case "$1" in
        pgf) echo "-detect_leaks=0" ;;
    esac
}

# Targets run on one processor: the encoder starts a coding thread per
# processor for every input, which held it to a few hundred inputs a minute.
runner() {
    if [ -n "${FUZZ_CPU:-}" ]; then
        echo "taskset -c $FUZZ_CPU"
        return
    fi
    case "$1" in
        j2k_encode) echo "taskset -c 0" ;;
    esac
}

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for f in "$root"/fuzz/*_fuzz.cpp; do
        name=$(basename "$f" .cpp)
        targets+=("${name%_fuzz}")
    done
fi

# Leaks of system libraries the project cannot mend (see the file).
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

failed=()
for codec in "${targets[@]}"; do
    program="$build/${codec}_fuzz"
    [ -x "$program" ] || { echo "no fuzz target $codec" >&2; failed+=("$codec"); continue; }
    work="$build/corpus/$codec"
    small="$build/small/$codec"
    findings="$build/findings/$codec"
    max_len=$(max_length "$codec")
    rm -rf "$work" "$small"
    mkdir -p "$work" "$small" "$findings"
    own="$root/fuzz/seeds/$(own_seeds "$codec")"
    if [ -d "$own" ]; then
        cp "$own"/* "$small/"
    fi

    seeds=()
    if [ -d "$corpus" ]; then
        patterns=()
        for ext in $(extensions "$codec"); do
            patterns+=(-o -iname "*.$ext")
        done
        while IFS= read -r -d '' f; do
            seeds+=("$f")
        done < <(find "$corpus" -type f \( "${patterns[@]:1}" \) -print0 | sort -z)
    fi
    echo "== $codec: ${#seeds[@]} seeds"
    for f in "${seeds[@]}"; do
        name=$(echo "$f" | md5sum | cut -c1-16)
        cp "$f" "$work/$name"
        [ "$(stat -c %s "$f")" -le "$max_len" ] && cp "$f" "$small/$name"
    done
    echo "   $(ls "$small" | wc -l) seeds of at most $max_len bytes"

    # Newly covered functions are not printed: naming them forks the
    # symbolizer from a process of gigabytes of shadow memory, which took
    # most of the first minute of small targets.
    options=(-artifact_prefix="$findings/" -timeout=20 -rss_limit_mb=2048 -print_funcs=0)
    ok=1
    if [ ${#seeds[@]} -gt 0 ]; then
        $(runner "$codec") "$program" "${options[@]}" -runs=0 "$work" >"$build/$codec-seeds.log" 2>&1 || ok=0
    fi
    if [ $ok -eq 1 ]; then
        # shellcheck disable=SC2046
        $(runner "$codec") "$program" "${options[@]}" $(fuzz_options "$codec") -max_len="$max_len" \
            -max_total_time="$seconds" -print_final_stats=1 "$small" >"$build/$codec-fuzz.log" 2>&1 ||
            ok=0
    fi
    if [ $ok -eq 1 ]; then
        tail -n 12 "$build/$codec-fuzz.log" | grep -E '^stat::(number_of_executed_units|peak_rss_mb)' || true
        runs=$(grep -E '^stat::number_of_executed_units' "$build/$codec-fuzz.log" | awk '{print $2}')
        echo "   $((${runs:-0} * 60 / seconds)) runs a minute"
    else
        echo "   FINDING in $codec: see $build/$codec-*.log and $findings/" >&2
        failed+=("$codec")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found problems in: ${failed[*]}" >&2
    exit 1
fi
echo "fuzzing found nothing"
