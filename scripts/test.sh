#!/usr/bin/env bash
# Installs what Vx needs, builds everything and runs every test:
#   1. scripts/setup.sh (Debian packages; a no-op when all are there);
#   2. the default preset: native tree and the Win32 tree, then all its tests
#      (the Wine tests make their own prefix and, when they need one, X server);
#   3. the sanitizer preset (AddressSanitizer + UndefinedBehaviorSanitizer)
#      and its tests.
# A failing build stops the script; failing tests do not stop the sanitizer
# run, and the script ends non-zero if any test failed.
#
# VX_JOBS sets the parallelism (default: the number of processors).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

jobs=${VX_JOBS:-$(nproc)}
# The Win32 sub-build runs its own build tool: keep it to the same limit.
export CMAKE_BUILD_PARALLEL_LEVEL=$jobs

"$root/scripts/setup.sh"

failed=()
for preset in default asan; do
    echo "== $preset: configure and build"
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    echo "== $preset: test"
    ctest --preset "$preset" -j "$jobs" || failed+=("$preset")
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "tests failed in: ${failed[*]}" >&2
    exit 1
fi
echo "all tests passed"
