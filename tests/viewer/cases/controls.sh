# Every kind of custom control in the control gallery (tests/viewer/gallery),
# driven with posted input; the gallery logs each notification it receives
# as "id code value" (spin fields: the value the parent reads). Codes: 5892
# changed, 5893 pressed, 5894 released (point handles, id 111), 768
# EN_CHANGE; list boxes 105 Insert, 106 Delete, 107 Ctrl+Delete, 108 Space,
# 110 Ctrl+Space or Ctrl+double-click.
[ -n "${VX_GALLERY:-}" ] && [ -f "$VX_GALLERY" ] || vx_fail "no control gallery at ${VX_GALLERY:-}"
log="$VX_OUT/gallery.log"
g=class=VxGallery
GALLERY_PID=""

gallery_start() {  # [dark]
    : >"$log"
    "$VX_WINE_LOADER" "$VX_GALLERY" "$log" "$@" </dev/null \
        >"$VX_OUT/gallery.out" 2>&1 &
    GALLERY_PID=$!
    vx_drive wait "$g" >/dev/null || vx_fail "the gallery showed no window"
}
gallery_close() {
    vx_drive message "$g" 0x10 >/dev/null
    wait "$GALLERY_PID" 2>/dev/null || true
}
post() {  # CONTROL MESSAGE [WPARAM [LPARAM]]
    vx_drive message "$g,control=$1" "${@:2}" >/dev/null || vx_fail "cannot post to $1"
}
at() { echo $((($2 << 16) | $1)); } # X Y as a mouse LPARAM
expect_note() {  # LINE: waits for the line in the log
    local i
    for ((i = 0; i < 250; i++)); do
        grep -qxF -- "$1" "$log" && return 0
        sleep 0.02
    done
    vx_fail "no notification '$1' (log: $(tr '\n' ';' <"$log"))"
}
expect_count() {  # LINE N WHAT: waits until the line stands N times in the log
    local i have=0
    for ((i = 0; i < 250; i++)); do
        have=$(grep -cxF -- "$1" "$log" || true)
        [ "$have" = "$2" ] && return 0
        sleep 0.02
    done
    vx_fail "$3: have $have, want $2"
}
mark_log() { : >"$log"; }
text_of() { vx_drive get-text "$g" "$1"; }

gallery_start
vx_shot "$g" "$VX_OUT/gallery-light.png"

# A spin field of 0..200: a typed 500 is stored and shown as 200, and the
# parent reads 200 for the rewritten text and for the typed one.
mark_log
vx_drive set-text "$g" 1050/1060 500 >/dev/null
vx_expect_eq "$(text_of 1050)" 200 "spin text after typing 500"
expect_count "1050 768 200" 2 "EN_CHANGE notifications of the typed 500"
# The upper arrow at the maximum does nothing; the lower one steps down.
post 1050 0x201 1 "$(at 65 5)"
post 1050 0x202 0 "$(at 65 5)"
post 1050 0x201 1 "$(at 65 15)"
post 1050 0x202 0 "$(at 65 15)"
# One step down, more when a slow machine lets the 310 ms repeat fire
# between the press and the release.
spin=$(text_of 1050)
((spin >= 190 && spin <= 199)) || vx_fail "spin text after the arrows: have $spin, want 199"
# Keys: Page Down the minimum, Space the default.
post 1050 0x100 0x22
vx_expect_eq "$(text_of 1050)" 0 "spin text after Page Down"
post 1050 0x100 0x20
vx_expect_eq "$(text_of 1050)" 100 "spin text after Space"

# A slider of 0..10, 100 long: End, Home, a click at x 3.
mark_log
vx_drive key "$g,control=1060" 0x23 >/dev/null
expect_note "1060 5892 0"
vx_drive key "$g,control=1060" 0x24 >/dev/null
expect_note "1060 5892 10"
post 1060 0x201 1 "$(at 3 7)"
post 1060 0x202 0 "$(at 3 7)"
vx_drive key "$g,control=1060" 0x21 >/dev/null # Page Up: 10
expect_note "1060 5892 10"
expect_count "1060 5892 0" 2 "slider back at 0 by the click"

# A press released outside the button sends nothing; inside, one click.
mark_log
post 1001 0x201 1 "$(at 5 5)"
post 1001 0x200 1 "$(at 5 5)"
post 1001 0x200 1 "$(at 300 5)"
post 1001 0x202 0 "$(at 300 5)"
post 1001 0x201 1 "$(at 5 5)"
post 1001 0x202 0 "$(at 5 5)"
expect_note "1001 5892 0"
vx_expect_eq "$(grep -c '^1001 ' "$log")" 1 "clicks reported by the push button"

# Space toggles a check box and reports the new state; other keys reach the
# parent.
mark_log
vx_drive key "$g,control=1008" 0x20 >/dev/null
expect_note "1008 5892 1"
vx_drive key "$g,control=1008" 0x20 >/dev/null
expect_note "1008 5892 0"
vx_drive key "$g,control=1008" 0x41 >/dev/null
expect_note "0 256 65"

# List box keys, with and without Ctrl held.
mark_log
post 1030 0x100 0x2D # Insert
expect_note "1030 105 0"
post 1030 0x100 0x2E # Delete
expect_note "1030 106 0"
post 1030 0x100 0x20 # Space
expect_note "1030 108 0"
post 1030 0x100 0x11 # Ctrl down
post 1030 0x100 0x2E
expect_note "1030 107 0"
post 1030 0x100 0x20
expect_note "1030 110 0"
post 1030 0x101 0x11 # Ctrl up
post 1030 0x203 0x0009 "$(at 10 5)" # Ctrl+double-click
expect_count "1030 110 0" 2 "Ctrl+Space and Ctrl+double-click"

# A point handle dragged past its bounding rectangle stops at the edge and
# reports each move.
mark_log
read -r _ _ _ _ cx cy _ <<<"$(vx_drive rect "$g")"
post 1020 0x201 1 "$(at 3 3)"
expect_note "111 5893 1020"
post 1020 0x200 1 "$(at 3 3)"
post 1020 0x200 1 "$(at 200 3)"
expect_note "111 5892 1020"
post 1020 0x202 0 "$(at 3 3)"
expect_note "111 5894 1020"
read -r hx hy _ <<<"$(vx_drive rect "$g,control=1020")"
vx_expect_eq "$((hx - cx)),$((hy - cy))" "117,142" "handle at the right edge of its bounds"

# The small button sets the others from the program's side: the handle
# moves (reported), the slider returns to its default 5, and the new defaults
# are clamped to the ranges (Space: slider 10, spin field 0).
mark_log
post 1002 0x201 1 "$(at 5 5)"
post 1002 0x202 0 "$(at 5 5)"
expect_note "111 5892 1020"
expect_note "1020 0 $(((130 << 16) | 40))"
expect_note "1060 0 5"
vx_drive key "$g,control=1060" 0x20 >/dev/null
expect_note "1060 5892 10"
post 1050 0x100 0x20
vx_expect_eq "$(text_of 1050)" 0 "spin text after Space with the new default"

# Pressed and focused, with focus cues on after a key: photographed.
post 1001 0x201 1 "$(at 5 5)"
vx_drive key "$g,control=1001" 0x41 >/dev/null
sleep 0.3
vx_shot "$g" "$VX_OUT/gallery-pressed.png"
post 1001 0x200 1 "$(at 300 5)"
post 1001 0x202 0 "$(at 300 5)"
gallery_close
gallery_start dark
vx_shot "$g" "$VX_OUT/gallery-dark.png"
gallery_close
