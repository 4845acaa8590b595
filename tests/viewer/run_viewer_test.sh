#!/usr/bin/env bash
# Runs one case of the viewer's Wine tests: sets up a fresh prefix copy with
# its own Xvfb (viewer_env.sh), then runs the case script in this shell. The
# case fails by exiting non-zero (vx_fail); everything stops at the end.
#
# usage: run_viewer_test.sh cases/NAME.sh
set -eEuo pipefail
# A command that stops the case under set -e says where, so that a failure
# that calls no vx_fail is not an empty log.
trap 'echo "FAIL: stopped at: $BASH_COMMAND (status $?)" >&2' ERR

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=viewer_env.sh
. "$here/viewer_env.sh"

if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "usage: $0 cases/NAME.sh" >&2
    exit 2
fi

vx_case_init
# shellcheck disable=SC1090
. "$1"
echo "viewer case $(basename "$1" .sh) passed"
