#!/usr/bin/env bash
# Runs the Win32 text program under Wine: the drawing surface must measure
# every text of its table within a pixel of the same rectangle whether GDI
# or the library's built-in rasteriser draws it, and draw it alike. VX_TEXT_SHOTS=DIR keeps
# both renderings of every case there as PNG.
#
# usage: run_text_surface.sh path/to/text_surface.exe.so
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=env.sh
. "$here/env.sh"

[ $# -eq 1 ] || { echo "usage: $0 text_surface.exe.so" >&2; exit 2; }
program=$(realpath -- "$1")
[ -f "$program" ] || { echo "no program at $program" >&2; exit 2; }

vx_wine_init --display
out="$VX_WINE_ROOT/out"
args=()
if [ -n "${VX_TEXT_SHOTS:-}" ]; then
    mkdir -p "$VX_TEXT_SHOTS"
    args+=(-o "$(vx_dos_path "$(realpath "$VX_TEXT_SHOTS")")")
fi

status=0
vx_wine "$out/text.out" "$out/text.err" "$program" "${args[@]}" || status=$?
cat "$out/text.out"
lines=$(grep -c '^measure ' "$out/text.out" || true)
if [ "$status" -ne 0 ] || [ "$lines" -eq 0 ]; then
    echo "text program failed with status $status" >&2
    cat "$out/text.err" >&2
    exit 1
fi
echo "wine text test passed: $lines texts measured and drawn alike"
