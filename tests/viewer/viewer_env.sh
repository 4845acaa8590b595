# shellcheck shell=bash
# Helpers for the viewer's tests under Wine. run_viewer_test.sh sources this
# file, calls vx_case_init, then sources one case script from cases/. Built
# on tests/wine/env.sh (Xvfb, DOS paths, clean-up).
#
# Environment (set by CTest, see CMakeLists.txt):
#   VX_VIEWER           the viewer, vx.exe.so
#   VX_DRIVER           the driver, vxdrive.exe.so (steps: see vxdrive.cpp)
#   VX_VIEWER_WORK_DIR  where the booted prefix and the case folders live
#
# Each case gets a hard-linked copy of one booted prefix (a boot costs about
# ten seconds, a copy a tenth of one), its own HOME, Xvfb and wineserver, so
# cases can run in parallel and start with no preferences.
#
# Failures read "have X, want Y". VX_KEEP_WINE_TEMP=1 keeps the case folder
# (screenshots in out/, the viewer's output, the prefix) for a look;
# VX_EXTRA_DEBUG adds Wine debug channels to the viewer's log (+psdrv).

# shellcheck source=../wine/env.sh
. "$(dirname "${BASH_SOURCE[0]}")/../wine/env.sh"

VX_DATA=""          # the case's folder for test files
VX_OUT=""           # screenshots, logs
VX_VIEWER_PID=""    # the loader process of the running viewer
VX_VIEWER_LOG=""    # its stderr, where the drawn texts are traced
VX_TRACE_MARK=0     # byte offset into that log; see vx_mark
VX_RUNS=0           # viewer starts so far, to name their logs
VX_BOX_TEXT=""      # text of the last box seen by vx_expect_box
# How long a started viewer may live: past the case's own CTest timeout, so
# that a slow case on a loaded machine is never cut short by its viewer
# vanishing; it only bounds a viewer the case failed to close.
VX_VIEWER_LIFETIME=${VX_VIEWER_LIFETIME:-330}

vx_fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# CTest counts this status as skipped (SKIP_RETURN_CODE).
vx_skip() {
    echo "SKIP: $*"
    exit 77
}

# vx_expect_eq HAVE WANT WHAT
vx_expect_eq() {
    [ "$1" = "$2" ] || vx_fail "$3: have '$1', want '$2'"
}

# The booted prefix that every case copies, made once under a lock. Its
# stamp names the Wine version and the settings below, so an upgraded Wine
# or a changed setting boots a new one.
#
# Wine's windows are unmanaged: there is no window manager on Xvfb, and a
# managed window that hides waits two seconds for one to answer.
VX_TEMPLATE_SETTINGS='X11 Driver: Managed=N'

vx_template_prefix() {
    local template="$VX_VIEWER_WORK_DIR/template"
    local version
    version="$("$VX_WINE_LOADER" --version 2>/dev/null </dev/null); $VX_TEMPLATE_SETTINGS"
    mkdir -p "$VX_VIEWER_WORK_DIR"
    (
        flock 9
        if [ "$(cat "$template/stamp" 2>/dev/null)" = "$version" ]; then
            exit 0
        fi
        rm -rf "$template"
        mkdir -p "$template"
        # Boot in a throw-away root (env.sh cleans it up at the subshell's
        # end) after the server has gone, then keep only the prefix.
        (
            vx_wine_init --display || exit 1
            vx_wine "$VX_WINE_ROOT/out/reg.out" "$VX_WINE_ROOT/out/reg.err" reg add \
                'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f || exit 1
            "$VX_WINESERVER" -k </dev/null >/dev/null 2>&1
            "$VX_WINESERVER" -w </dev/null >/dev/null 2>&1
            mv "$WINEPREFIX" "$template/prefix"
        ) || exit 1
        echo "$version" >"$template/stamp"
    ) 9>"$VX_VIEWER_WORK_DIR/template.lock" || vx_fail "cannot boot a Wine prefix"
    echo "$template/prefix"
}

# Sets up the case: folders, environment, prefix copy, Xvfb, wineserver.
vx_case_init() {
    local var
    for var in VX_VIEWER VX_DRIVER VX_VIEWER_WORK_DIR; do
        [ -n "${!var:-}" ] || vx_fail "$var is not set"
    done
    [ -f "$VX_VIEWER" ] || vx_fail "no viewer at $VX_VIEWER"
    [ -f "$VX_DRIVER" ] || vx_fail "no driver at $VX_DRIVER"
    local tool
    for tool in Xvfb xdpyinfo import-im6.q16 convert-im6.q16 compare-im6.q16 perl flock; do
        command -v "$tool" >/dev/null || vx_skip "$tool is missing (scripts/setup.sh installs it)"
    done

    local template
    template=$(vx_template_prefix) || exit 1

    VX_WINE_ROOT=$(mktemp -d "$VX_VIEWER_WORK_DIR/case.XXXXXX")
    trap vx_wine_cleanup EXIT
    VX_DATA="$VX_WINE_ROOT/data"
    VX_OUT="$VX_WINE_ROOT/out"
    mkdir -p "$VX_WINE_ROOT/home" "$VX_DATA" "$VX_OUT"

    vx_wine_env

    # Hard links share the files (the DLLs make up most of the prefix); the
    # few that Wine rewrites, the registry and the .ini files, get copies of
    # their own so that the template stays as it was.
    cp -al "$template" "$WINEPREFIX" 2>/dev/null || cp -a "$template" "$WINEPREFIX" ||
        vx_fail "cannot copy the Wine prefix"
    local file
    while IFS= read -r -d '' file; do
        cp --remove-destination "$template/${file#"$WINEPREFIX"/}" "$file"
    done < <(find "$WINEPREFIX" -type f \( -name '*.reg' -o -name '*.ini' \) -print0)
    # The shell folders link to the HOME of the boot: point them at ours.
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then
            rm -f "$link"
            ln -s "$HOME" "$link"
        fi
    done

    vx_start_xvfb || exit 1
    "$VX_WINESERVER" -p60 </dev/null >"$VX_OUT/wineserver.log" 2>&1 ||
        vx_fail "wineserver did not start"
}

# The settings folder of the viewer in this prefix: in the application data
# of the one user the boot made (named after the Unix user).
vx_settings_dir() {
    local roaming
    for roaming in "$WINEPREFIX"/drive_c/users/*/AppData/Roaming; do
        printf '%s/Vx\n' "$roaming"
        return 0
    done
    vx_fail "the prefix has no user folder"
}

# vx_drive STEP ARGS...: one driver step; prints what it prints. Its
# complaints, and Wine's errors about it, go to the test's output only when
# the step fails.
vx_drive() {
    local err="$VX_OUT/driver.err" status=0
    : >"$err"
    WINEDEBUG=fixme-all timeout --kill-after=5 "$VX_WINE_TIMEOUT" "$VX_WINE_LOADER" "$VX_DRIVER" "$@" \
        </dev/null 2>"$err" || status=$?
    if [ "$status" -ne 0 ]; then
        cat "$err" >&2
        echo "vxdrive $* ended with status $status" >&2
    fi
    return "$status"
}

# vx_viewer_start ARGS...: starts the viewer in the background and waits for
# its main window. Its drawn texts are traced to its log (vx_box_texts).
vx_viewer_start() {
    VX_RUNS=$((VX_RUNS + 1))
    VX_VIEWER_LOG="$VX_OUT/vx.$VX_RUNS.err"
    VX_TRACE_MARK=0
    WINEDEBUG="-all,trace+text${VX_EXTRA_DEBUG:+,$VX_EXTRA_DEBUG}" timeout --kill-after=5 "$VX_VIEWER_LIFETIME" \
        "$VX_WINE_LOADER" "$VX_VIEWER" "$@" \
        </dev/null >"$VX_OUT/vx.$VX_RUNS.out" 2>"$VX_VIEWER_LOG" &
    VX_VIEWER_PID=$!
    vx_drive wait class=Vx >/dev/null || vx_fail "the viewer showed no main window"
}

# vx_viewer_run ARGS...: runs a viewer process to its end (a second instance);
# answers its exit status, 124 when it did not end in time.
vx_viewer_run() {
    VX_RUNS=$((VX_RUNS + 1))
    timeout --kill-after=5 30 "$VX_WINE_LOADER" "$VX_VIEWER" "$@" \
        </dev/null >"$VX_OUT/vx.$VX_RUNS.out" 2>"$VX_OUT/vx.$VX_RUNS.err"
}

# Closes the viewer as the user would (the preferences are written then) and
# waits for its process to end.
vx_viewer_close() {
    [ -n "$VX_VIEWER_PID" ] || return 0
    vx_drive message class=Vx 0x10 >/dev/null || vx_fail "no main window to close"
    local i
    for ((i = 0; i < 500; i++)); do
        kill -0 "$VX_VIEWER_PID" 2>/dev/null || break
        sleep 0.02
    done
    kill -0 "$VX_VIEWER_PID" 2>/dev/null && vx_fail "the viewer did not end after WM_CLOSE"
    wait "$VX_VIEWER_PID" 2>/dev/null || true
    VX_VIEWER_PID=""
}

# vx_cancel_dialog SEL WHAT: presses a dialog's Cancel until it goes. A
# dialog ignores presses until it is enabled again after a child dialog or
# box it showed, which a loaded machine can delay past one press.
vx_cancel_dialog() {
    local k
    for ((k = 0; k < 6; k++)); do
        vx_drive press "$1" 2 >/dev/null 2>&1 || true
        vx_drive --timeout 10 wait-gone "$1" >/dev/null 2>&1 && return 0
    done
    vx_drive wait-gone "$1" >/dev/null || vx_fail "the $2 stays"
}

# vx_wait_title GLOB: waits until the main window's title matches; prints it.
vx_wait_title() {
    local title
    title=$(vx_drive wait-title class=Vx "$1") ||
        vx_fail "title: have '$title', want '$1'"
    printf '%s\n' "$title"
}

# vx_command ID [WAIT_GLOB]: posts a command to the main window, then waits
# until the title matches WAIT_GLOB when one is given.
vx_command() {
    vx_drive post class=Vx "$1" >/dev/null || vx_fail "cannot post command $1"
    [ $# -lt 2 ] || vx_wait_title "$2" >/dev/null
}

# vx_shot SEL FILE: the client area of a window, from the screen (a popup
# menu's client area is the whole menu).
vx_shot() {
    local rect cx cy cw ch
    rect=$(vx_drive rect "$1") || vx_fail "no window $1 to photograph"
    read -r _ _ _ _ cx cy cw ch <<<"$rect"
    import-im6.q16 -window root -crop "${cw}x${ch}+${cx}+${cy}" +repage "$2" ||
        vx_fail "screenshot failed"
}

# vx_pixel FILE X Y: prints "R G B" of one pixel.
vx_pixel() {
    convert-im6.q16 "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.g+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]" info:
}

# The number of pixels in which two images of the same size differ.
vx_count_differences() {
    compare-im6.q16 -metric AE "$1" "$2" null: 2>&1 || true
}

# Checks on a screenshot for vx_expect_screen: each answers 0 when it holds,
# else sets VX_WHY and answers 1.
VX_WHY=""

# vx_check_pixel FILE X Y "R G B" [TOLERANCE]
vx_check_pixel() {
    local have tol=${5:-0} r g b hr hg hb
    have=$(vx_pixel "$1" "$2" "$3")
    read -r r g b <<<"$4"
    read -r hr hg hb <<<"$have"
    if ((hr - r > tol || r - hr > tol || hg - g > tol || g - hg > tol || hb - b > tol ||
         b - hb > tol)); then
        VX_WHY="pixel ($2, $3) of $(basename "$1"): have '$have', want '$4' (±$tol)"
        return 1
    fi
}

# vx_check_size FILE WxH
vx_check_size() {
    local have
    have=$(identify-im6.q16 -format '%wx%h' "$1")
    [ "$have" = "$2" ] && return 0
    VX_WHY="size of $(basename "$1"): have $have, want $2"
    return 1
}

# vx_check_same FILE REFERENCE: the same size and every pixel the same.
vx_check_same() {
    vx_check_size "$1" "$(identify-im6.q16 -format '%wx%h' "$2")" || return 1
    local n
    n=$(vx_count_differences "$1" "$2")
    [ "$n" = 0 ] && return 0
    VX_WHY="$(basename "$1"): have $n pixels that differ from $(basename "$2"), want 0"
    return 1
}

# vx_expect_screen SEL FILE CHECK [ARGS...]: photographs the window's client
# area into FILE until CHECK FILE ARGS... holds. Painting reaches the screen
# some time after the title changed, so one photograph could come too early.
vx_expect_screen() {
    local sel=$1 file=$2 check=$3 i
    shift 3
    for ((i = 0; i < 50; i++)); do
        vx_shot "$sel" "$file"
        "$check" "$file" "$@" && return 0
        sleep 0.1
    done
    vx_fail "$VX_WHY"
}

# vx_drop PATH: drops the file (a Unix path) on the main window. The viewer
# takes no drops while it lists the folder of the image it has just opened:
# a refused drop is tried again for a few seconds.
vx_drop() {
    local i
    for ((i = 0; i < 10; i++)); do
        vx_drive drop class=Vx "$1" >/dev/null 2>&1 && return 0
        sleep 0.5
    done
    vx_fail "the viewer took no drop of $1"
}

# Remembers where the viewer's trace stands: vx_expect_box looks only at the
# texts drawn after the last mark.
vx_mark() {
    VX_TRACE_MARK=$(stat -c %s "$VX_VIEWER_LOG")
}

# The texts the viewer drew (DrawText) since the mark, NUL-separated, read
# back from Wine's trace of them (L"..." with \n, \\, \" and \xxxx escapes).
vx_box_texts() {
    tail -c +$((VX_TRACE_MARK + 1)) "$VX_VIEWER_LOG" | perl -ne '
        BEGIN { binmode STDOUT, ":utf8" }
        next unless /:trace:text:DrawTextExW L"(.*)"(?:\.\.\.)?, -?\d+, \[/;
        my $t = $1;
        $t =~ s/\\(n|r|t|"|\\|[0-9a-f]{4})/
            $1 eq "n" ? "\n" : $1 eq "r" ? "\r" : $1 eq "t" ? "\t" :
            length($1) == 4 ? chr(hex($1)) : $1/ge;
        print $t, "\0";'
}

# vx_expect_box KIND PREFIX [PART...]: waits for the "Vx KIND" box (Error,
# Warning, Information), checks that it shows a text that starts with PREFIX
# and holds every PART, keeps that text in VX_BOX_TEXT and closes the box
# with its OK button.
vx_expect_box() {
    local kind=$1 prefix=$2
    shift 2
    local box text part ok i
    box=$(vx_drive wait "title=Vx $kind") || vx_fail "no 'Vx $kind' box"
    for ((i = 0; i < 400; i++)); do
        while IFS= read -r -d '' text; do
            ok=1
            [[ $text == "$prefix"* ]] || ok=0
            for part in "$@"; do
                [[ $text == *"$part"* ]] || ok=0
            done
            if [ "$ok" = 1 ]; then
                # shellcheck disable=SC2034  # read by the cases
                VX_BOX_TEXT=$text
                vx_drive press "$box" 1 >/dev/null || vx_fail "cannot press OK"
                vx_drive wait-gone "$box" >/dev/null || vx_fail "the 'Vx $kind' box stays"
                return 0
            fi
        done < <(vx_box_texts)
        sleep 0.05
    done
    echo "texts drawn since the mark:" >&2
    vx_box_texts | tr '\0' '\n' | sed 's/^/  | /' >&2
    vx_fail "'Vx $kind' box: want a text starting with '$prefix'${*:+ and holding: $*}"
}

# vx_answer BUTTON WHAT: waits for the "Vx Confirmation" box and answers it
# with its button (6 yes, 7 no, 2 cancel); WHAT names the question in the
# failures.
vx_answer() {
    local box
    box=$(vx_drive wait "title=Vx Confirmation") || vx_fail "no $2"
    vx_drive press "$box" "$1" >/dev/null || vx_fail "cannot answer the $2"
    vx_drive wait-gone "$box" >/dev/null || vx_fail "the $2 stays"
}

# vx_expect_copy REFERENCE WHAT: copies the shown image until it equals
# $VX_DATA/REFERENCE (the commands before it are handled some time after they
# were sent).
vx_expect_copy() {
    local i
    for ((i = 0; i < 50; i++)); do
        vx_drive clip-empty
        vx_command 40421
        vx_drive clip-dib "$(vx_dos_path "$VX_OUT/clip.bmp")" >/dev/null ||
            vx_fail "$2: Copy left no bitmap"
        vx_check_same "$VX_OUT/clip.bmp" "$VX_DATA/$1" && return 0
        sleep 0.1
    done
    vx_fail "$2: $VX_WHY"
}

# vx_open_save_dialog ROW [COMMAND]: the save dialog of the Save command (or
# of COMMAND), with the type of that row of the save list chosen; the
# dialog's handle in VX_SAVE_DIALOG.
VX_SAVE_DIALOG=""
vx_open_save_dialog() {
    local combo
    vx_command "${2:-40012}"
    VX_SAVE_DIALOG=$(vx_drive wait "title=Save image file") || vx_fail "no save dialog"
    combo=$(vx_drive children "$VX_SAVE_DIALOG" |
        awk '$2 == 1136 && $3 == "ComboBox" { print $1; exit }')
    [ -n "$combo" ] || vx_fail "no type list"
    vx_drive message "$combo" 0x14E "$1" >/dev/null # CB_SETCURSEL
    # Wine's dialog takes the type on CBN_SELENDOK.
    vx_drive post "$VX_SAVE_DIALOG" $((1136 + (9 << 16))) "$combo" >/dev/null
}

# vx_wait_file FILE: waits until the save thread has written the file.
vx_wait_file() {
    local i
    for ((i = 0; i < 100; i++)); do
        # A moment more: the file appears before its last rows are written.
        [ -s "$1" ] && sleep 0.3 && return 0
        sleep 0.1
    done
    vx_fail "no file $(basename "$1")"
}
