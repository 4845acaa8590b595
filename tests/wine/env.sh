# Helpers for tests that run Win32 programs under Wine, headless. Source this
# file from bash, then:
#
#   vx_wine_init [--display]  # temp root, fresh prefix, wineserver; cleans up
#                             # at exit; --display first starts Xvfb (DISPLAY)
#   vx_wine OUT ERR prog.exe.so ARGS...   # runs one program, output to files
#   vx_dos_path /unix/path  # prints Z:\unix\path
#
# Wine's helper processes inherit pipes and keep pipelines open, so every wine
# command reads /dev/null and writes to files. Set VX_KEEP_WINE_TEMP=1 to keep
# the temp folder (prefix, outputs) for a look after a failure.

VX_WINE_LOADER=${VX_WINE_LOADER:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
VX_WINESERVER=${VX_WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver)}
# Seconds one wine command may run before it is killed.
VX_WINE_TIMEOUT=${VX_WINE_TIMEOUT:-120}

VX_WINE_ROOT=""
VX_XVFB_PID=""

vx_wine_log() { echo "wine-env: $*" >&2; }

# Makes the temp root with its own HOME and a fresh prefix, starts a
# persistent wineserver and boots the prefix. Installs vx_wine_cleanup as the
# EXIT trap. Programs that open windows need --display: Wine picks its
# graphics driver when the prefix's desktop process starts during the boot,
# so the X server must be up before then.
vx_wine_init() {
    VX_WINE_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/vx-wine.XXXXXX")
    trap vx_wine_cleanup EXIT
    mkdir -p "$VX_WINE_ROOT/home" "$VX_WINE_ROOT/data" "$VX_WINE_ROOT/out"

    vx_wine_env
    if [ "${1:-}" = --display ]; then
        vx_start_xvfb || return 1
    fi

    # The server needs the prefix folder; wineboot fills it in. It stays up
    # between commands, and goes by itself a minute after the last client
    # should the cleanup never run (a test killed at its timeout).
    mkdir -p "$WINEPREFIX"
    if ! "$VX_WINESERVER" -p60 </dev/null >"$VX_WINE_ROOT/out/wineserver.log" 2>&1; then
        vx_wine_log "wineserver did not start:"
        cat "$VX_WINE_ROOT/out/wineserver.log" >&2
        return 1
    fi
    if ! timeout "$VX_WINE_TIMEOUT" "$VX_WINE_LOADER" wineboot -i \
            </dev/null >"$VX_WINE_ROOT/out/wineboot.out" 2>"$VX_WINE_ROOT/out/wineboot.err"; then
        vx_wine_log "wineboot failed:"
        cat "$VX_WINE_ROOT/out/wineboot.err" >&2
        return 1
    fi
}

# The environment of the programs run under VX_WINE_ROOT: its prefix and
# HOME, and no display until vx_start_xvfb sets one.
vx_wine_env() {
    export WINEPREFIX="$VX_WINE_ROOT/prefix"
    export HOME="$VX_WINE_ROOT/home"
    export XDG_DATA_HOME="$HOME/.local/share"
    export XDG_CONFIG_HOME="$HOME/.config"
    export XDG_CACHE_HOME="$HOME/.cache"
    export WINEDEBUG=-all
    # No Mono or Gecko installer prompts while the prefix boots.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export TZ=UTC
    # Wine takes the Unix code page from the locale; C.UTF-8 is always there
    # (en_US.UTF-8 often is not) and still gives the en-US user locale.
    export LANG=C.UTF-8
    unset LC_ALL LC_CTYPE LANGUAGE DISPLAY
}

# Starts Xvfb on a display it picks itself (-displayfd, so parallel tests never
# race for a number) and waits until it answers.
vx_start_xvfb() {
    local fdfile="$VX_WINE_ROOT/out/xvfb.display"
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
        3>"$fdfile" </dev/null >"$VX_WINE_ROOT/out/xvfb.log" 2>&1 &
    VX_XVFB_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
        if [ -s "$fdfile" ]; then
            export DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
            if xdpyinfo >/dev/null 2>&1 </dev/null; then return 0; fi
        fi
        kill -0 "$VX_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    vx_wine_log "Xvfb did not start:"
    cat "$VX_WINE_ROOT/out/xvfb.log" >&2
    return 1
}

# vx_wine OUT ERR PROGRAM ARGS...: runs a winelib program (name.exe.so) or a
# Wine builtin; answers its exit status (124 when it timed out).
vx_wine() {
    local out=$1 err=$2
    shift 2
    timeout --kill-after=5 "$VX_WINE_TIMEOUT" "$VX_WINE_LOADER" "$@" </dev/null >"$out" 2>"$err"
}

# The DOS path of a Unix path on Wine's Z: drive (the whole Unix tree).
vx_dos_path() {
    local p
    p=$(realpath -m -- "$1")
    printf 'Z:%s\n' "${p//\//\\}"
}

# An EXIT trap of a case that cleans up more of its own passes the case's
# status as the argument.
vx_wine_cleanup() {
    local status=${1:-$?}
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        "$VX_WINESERVER" -k </dev/null >/dev/null 2>&1 || true
        "$VX_WINESERVER" -w </dev/null >/dev/null 2>&1 || true
    fi
    if [ -n "$VX_XVFB_PID" ]; then
        kill "$VX_XVFB_PID" 2>/dev/null || true
        wait "$VX_XVFB_PID" 2>/dev/null || true
        VX_XVFB_PID=""
    fi
    if [ -n "$VX_WINE_ROOT" ]; then
        if [ "${VX_KEEP_WINE_TEMP:-0}" = 1 ]; then
            vx_wine_log "kept $VX_WINE_ROOT"
        else
            rm -rf "$VX_WINE_ROOT"
        fi
        VX_WINE_ROOT=""
    fi
    return $status
}
