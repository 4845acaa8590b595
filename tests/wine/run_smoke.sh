#!/usr/bin/env bash
# Runs the Win32 smoke program under Wine on a few files and checks what it
# printed: DOS paths, including a non-ASCII one, reach ImgLib's UTF-16 API
# intact and its answers and messages come back.
#
# usage: run_smoke.sh path/to/smoke.exe.so
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=env.sh
. "$here/env.sh"

[ $# -eq 1 ] || { echo "usage: $0 smoke.exe.so" >&2; exit 2; }
smoke=$(realpath -- "$1")
[ -f "$smoke" ] || { echo "no program at $smoke" >&2; exit 2; }

vx_wine_init
data="$VX_WINE_ROOT/data"
out="$VX_WINE_ROOT/out"

# Bytes that no format row claims, under an extension no row serves.
printf 'twelve bytes and then some more\n' >"$data/plain.xyz"
cp "$data/plain.xyz" "$data/bild-ü€.xyz"
: >"$data/empty.png"
printf 'eleven byte' >"$data/short.png"
files=(missing.png empty.png short.png plain.xyz "bild-ü€.xyz")

# A real image too, when ImageMagick is there: its load must not crash under
# Wine whatever the codec answers.
if command -v convert-im6.q16 >/dev/null; then
    convert-im6.q16 -size 5x3 xc:orange "$data/real.png"
    files+=(real.png)
fi

args=()
for f in "${files[@]}"; do args+=("$(vx_dos_path "$data/$f")"); done

status=0
vx_wine "$out/smoke.out" "$out/smoke.err" "$smoke" "${args[@]}" || status=$?
if [ "$status" -ne 0 ]; then
    echo "smoke program failed with status $status" >&2
    cat "$out/smoke.out" "$out/smoke.err" >&2
    exit 1
fi

dos() { vx_dos_path "$data/$1"; }
expected=(
    "open $(dos missing.png) -5 [ImgLib: File not found]"
    "open $(dos empty.png) -9 [ImgLib: File size is 0 bytes]"
    "open $(dos short.png) -10 [ImgLib: Invalid image file header]"
    "open $(dos plain.xyz) 1"
    "load $(dos plain.xyz) -3"
    "open $(dos bild-ü€.xyz) 1"
    "load $(dos bild-ü€.xyz) -3"
    "destroy 1"
)

failed=0
for line in "${expected[@]}"; do
    if ! grep -qxF -- "$line" "$out/smoke.out"; then
        echo "missing line: $line" >&2
        failed=1
    fi
done
if [ "$failed" -ne 0 ]; then
    echo "--- smoke printed:" >&2
    cat "$out/smoke.out" >&2
    echo "--- stderr:" >&2
    cat "$out/smoke.err" >&2
    exit 1
fi
cat "$out/smoke.out"
echo "wine smoke test passed"
