#!/usr/bin/env bash
# Installs what Vx needs, builds the viewer and opens an image in it under
# Wine:
#
#   ./scripts/run.sh [image]
#
# Without an image it shows a sample PNG made here with ImageMagick. It uses
# the usual Wine prefix (WINEPREFIX, default ~/.wine); when there is no
# DISPLAY it starts Xvfb for the run. VX_JOBS limits the build's parallelism.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${VX_JOBS:-$(nproc)}
export CMAKE_BUILD_PARALLEL_LEVEL=$jobs

"$root/scripts/setup.sh"
cmake --preset default
cmake --build --preset default -j "$jobs" --target vx_win32
viewer="$root/build/default/win32/viewer/vx.exe.so"

if [ $# -ge 1 ]; then
    image=$(realpath -- "$1")
else
    image="$root/build/default/sample.png"
    [ -f "$image" ] || convert-im6.q16 -size 640x400 gradient:'#ffd070-#2050a0' "PNG24:$image"
fi
# The viewer takes DOS paths; Wine's Z: drive is the Unix root.
dos="Z:${image//\//\\}"

xvfb=""
cleanup() { if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    # Xvfb picks a free display number and writes it to fd 3.
    number=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" </dev/null >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 50); do [ -s "$number" ] && break; sleep 0.1; done
    export DISPLAY=":$(tr -d '[:space:]' <"$number")"
    rm -f "$number"
    echo "no DISPLAY: Xvfb runs on $DISPLAY"
fi

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
log="$root/build/default/vx-run.log"
echo "Vx is running on $image (Wine output in $log)"
# Wine's helpers keep inherited pipes open: no terminal streams for them.
WINEDEBUG=${WINEDEBUG:--all} "$wine" "$viewer" "$dos" </dev/null >"$log" 2>&1
