#!/usr/bin/env bash
# Runs the Win32 metafile program under Wine: an enhanced metafile drawn
# with known colours must come out with those colours where it paints and
# white where it does not, at the size its frame gives; the corpus samples
# must load (the damaged ones may fail, but the program must not crash).
# VX_METAFILE_SHOTS=DIR keeps PNG renderings of every file there.
#
# usage: run_metafile.sh path/to/metafile.exe.so
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=env.sh
. "$here/env.sh"

[ $# -eq 1 ] || { echo "usage: $0 metafile.exe.so" >&2; exit 2; }
program=$(realpath -- "$1")
[ -f "$program" ] || { echo "no program at $program" >&2; exit 2; }

vx_wine_init --display
data="$VX_WINE_ROOT/data"
out="$VX_WINE_ROOT/out"
python3 "$here/make_boxes_emf.py" "$data/boxes.emf"

corpus=${VX_CORPUS_DIR:-"$here/../../../shared/corpus"}/wmf-emf-samples
samples=()
damaged=()
if [ -d "$corpus" ]; then
    while IFS= read -r -d '' f; do
        case "$f" in
            */corrupted/*) damaged+=("$f") ;;
            *) samples+=("$f") ;;
        esac
    done < <(find "$corpus" -type f \( -name '*.emf' -o -name '*.wmf' \) -print0 | sort -z)
fi
args=()
if [ -n "${VX_METAFILE_SHOTS:-}" ]; then
    mkdir -p "$VX_METAFILE_SHOTS"
    args+=(-o "$(vx_dos_path "$(realpath "$VX_METAFILE_SHOTS")")")
fi
args+=("$(vx_dos_path "$data/boxes.emf")")
for f in "${samples[@]}" "${damaged[@]}"; do args+=("$(vx_dos_path "$f")"); done

status=0
vx_wine "$out/metafile.out" "$out/metafile.err" "$program" "${args[@]}" || status=$?
if [ "$status" -ne 0 ]; then
    echo "metafile program failed with status $status" >&2
    cat "$out/metafile.out" "$out/metafile.err" >&2
    exit 1
fi

failed=0
# 100 x 50 mm at 31.2479 hundredths of a millimetre a pixel; red (B,G,R
# 0,0,255) at the left, white in the middle, blue at the right.
want="load boxes.emf 1 319x159 39,79=0,0,255 159,79=255,255,255 279,79=255,0,0"
grep -qxF -- "$want" "$out/metafile.out" || { echo "boxes.emf: want \"$want\"" >&2; failed=1; }
for f in "${samples[@]}"; do
    name=$(basename "$f")
    grep -q "^load $name 1 " "$out/metafile.out" || { echo "sample $name did not load" >&2; failed=1; }
done
lines=$(grep -c '^load ' "$out/metafile.out" || true)
if [ "$lines" -ne $((1 + ${#samples[@]} + ${#damaged[@]})) ]; then
    echo "the program stopped early ($lines lines)" >&2
    failed=1
fi
if [ "$failed" -ne 0 ]; then
    cat "$out/metafile.out" >&2
    exit 1
fi
echo "wine metafile test passed: ${#samples[@]} samples, ${#damaged[@]} damaged files"
