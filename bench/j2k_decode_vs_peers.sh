#!/usr/bin/env bash
# Decoding JPEG 2000: j2kdecode (the engine's decoder, every component
# written as PGX) against opj_decompress and grk_decompress (also writing
# PGX), on one 4096 x 4096 noisy photo-like RGB picture (ImageMagick plasma
# plus noise) coded by opj_compress three ways: lossless 5/3 at 8 bits, 9/7
# at 12:1, and lossless 5/3 at 16 bits.
#
# Two cases per stream: one thread on each side (j2kdecode -t 1,
# opj_decompress -threads 1, grk_decompress -H 1; pinned to one processor,
# compared by processor time), and each side's default on every processor
# (j2kdecode and grk_decompress use one thread per processor, and
# opj_decompress is given -threads with the processor count; compared by the
# wall time a user waits). The outputs of every case are checked: the
# lossless ones equal byte for byte, the 9/7 ones within one level (each
# decoder rounds its own floats; the count of samples that differ is shown).
#
# Usage: bench/j2k_decode_vs_peers.sh [build-dir]     (default: build/default)
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
bench_use_build "${1:-}"
j2kdecode="$build/tools/j2kdecode"
bench_require_files "$j2kdecode"
bench_require_tools opj_compress opj_decompress grk_decompress convert
bench_make_work vx_j2k_decode_bench

convert -size 4096x4096 -seed 3 plasma:fractal -attenuate 0.3 +noise Gaussian -depth 16 \
    "$work/in16.ppm"
convert "$work/in16.ppm" -depth 8 "$work/in8.ppm"
opj_compress -i "$work/in8.ppm" -o "$work/lossless.j2k" >/dev/null
opj_compress -i "$work/in8.ppm" -o "$work/irreversible.j2k" -I -r 12 >/dev/null
opj_compress -i "$work/in16.ppm" -o "$work/lossless16.j2k" >/dev/null
rm "$work/in8.ppm" "$work/in16.ppm"
for f in lossless irreversible lossless16; do
    echo "input $f: 4096 x 4096 RGB, $(stat -c %s "$work/$f.j2k") bytes"
done

# Two PGX files of one component: equal, or (with a tolerance) samples apart
# by at most that much; prints the differing samples' count.
cat >"$work/pgxcmp.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static unsigned char* load(const char* name, long* size) {
    FILE* f = fopen(name, "rb");
    if (!f) { perror(name); exit(2); }
    fseek(f, 0, SEEK_END);
    *size = ftell(f);
    rewind(f);
    unsigned char* data = malloc(*size);
    if (!data || fread(data, 1, *size, f) != (size_t)*size) { perror(name); exit(2); }
    fclose(f);
    return data;
}

int main(int argc, char** argv) {
    long na, nb;
    unsigned char *a = load(argv[1], &na), *b = load(argv[2], &nb);
    const long tolerance = atol(argv[3]);
    const unsigned char* end = memchr(a, '\n', na);
    const long header = end ? end - a + 1 : na;
    if (na != nb || memcmp(a, b, header) != 0) { printf("headers differ\n"); return 1; }
    int depth = 0;
    sscanf((const char*)a, "PG %*s %*c %d", &depth);
    const int bytes = depth > 8 ? 2 : 1;
    long count = 0, worst = 0;
    for (long i = header; i + bytes <= na; i += bytes) {
        long va = a[i], vb = b[i];
        if (bytes == 2) { va = va << 8 | a[i + 1]; vb = vb << 8 | b[i + 1]; }
        const long d = labs(va - vb);
        if (d) ++count;
        if (d > worst) worst = d;
    }
    printf("%ld samples differ, by at most %ld\n", count, worst);
    return worst > tolerance;
}
C
cc -O2 -o "$work/pgxcmp" "$work/pgxcmp.c"

# check_outputs STREAM TOLERANCE: ours against both peers' last outputs.
check_outputs() {
    local c peer
    for c in 0 1 2; do
        for peer in opj grk; do
            printf '  %s component %d against %s: ' "$1" "$c" "$peer"
            "$work/pgxcmp" "$work/ours_$c.pgx" "$work/${peer}_$c.pgx" "$2" ||
                { echo "$1: outputs differ beyond $2" >&2; exit 1; }
        done
    done
    rm -f "$work"/*.pgx
}

echo
echo "one thread each, pinned to processor $bench_cpus (processor time):"
bench_header
for f in lossless irreversible lossless16; do
    bench_pair "$f vs opj" "$j2kdecode -t 1 $work/$f.j2k $work/ours" \
        "opj_decompress -threads 1 -i $work/$f.j2k -o $work/opj.pgx"
    bench_pair "$f vs grk" "$j2kdecode -t 1 $work/$f.j2k $work/ours" \
        "grk_decompress -H 1 -i $work/$f.j2k -o $work/grk.pgx"
    check_outputs "$f" "$([ "$f" = irreversible ] && echo 1 || echo 0)"
done

processors=$(taskset -c "$bench_wall_cpus" nproc)
echo
echo "each side's default threads on processors $bench_wall_cpus (wall time):"
bench_header
for f in lossless irreversible lossless16; do
    bench_pair_wall "$f vs opj" "$j2kdecode $work/$f.j2k $work/ours" \
        "opj_decompress -threads $processors -i $work/$f.j2k -o $work/opj.pgx"
    bench_pair_wall "$f vs grk" "$j2kdecode $work/$f.j2k $work/ours" \
        "grk_decompress -i $work/$f.j2k -o $work/grk.pgx"
    check_outputs "$f" "$([ "$f" = irreversible ] && echo 1 || echo 0)"
done
