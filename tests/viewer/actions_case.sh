# shellcheck shell=bash
# What the Actions window's cases share: the favourites seeded in "fa.up",
# iltool's references of them, and steps on the window's lists. Sourced by
# a case after vx_case_init.
[ -x "$VX_ILTOOL" ] || vx_skip "no iltool"
convert-im6.q16 -size 60x40 -seed 5 plasma: -depth 8 "PNG24:$VX_DATA/a.png"

settings=$(vx_settings_dir)
mkdir -p "$settings"
# "Fav": Rotate 90, Shift (5, -3), Gauss Filter (blur, 100 %, radius 2, gain
# 0, every channel), Invert.
perl -e 'print "VxAL", pack("V3", 257, 4, 3), pack("v3", unpack("C3", "Fav")),
         pack("V l<", 11, 90), pack("V l< l<", 10, 5, -3),
         pack("V l< f< l< f< C4", 7, 2, 1.0, 2, 0.0, 1, 1, 1, 1), pack("V V", 14, 0)' \
    >"$settings/fa.up"
cp "$settings/fa.up" "$VX_DATA/seeded.vxa"

# refs IN PREFIX: PREFIX1.png ... PREFIX4.png, the image after each favourite.
refs() {
    "$VX_ILTOOL" rotate "$VX_DATA/$1" "$VX_DATA/${2}1.png" 90 2>/dev/null &&
        "$VX_ILTOOL" shift "$VX_DATA/${2}1.png" "$VX_DATA/${2}2.png" 5 -3 2>/dev/null &&
        "$VX_ILTOOL" blur "$VX_DATA/${2}2.png" "$VX_DATA/${2}3.png" 2 blur 1 0 2>/dev/null &&
        "$VX_ILTOOL" invert "$VX_DATA/${2}3.png" "$VX_DATA/${2}4.png" 2>/dev/null ||
        vx_fail "iltool failed on $1"
}
refs a.png r

lines() { printf '%s\n' "$@"; }
all_favourites=$(lines "0 Rotate" "0 Shift" "0 Gauss Filter" "0 Invert")

# items CONTROL WANT WHAT: the Actions window's list box's items ("DATA NAME"
# lines, then "selected N"), waited for until they match.
items() {
    local have i
    for ((i = 0; i < 50; i++)); do
        have=$(vx_drive items "title=Actions,control=$1") || vx_fail "$3: no list $1"
        [ "$have" = "$2" ] && return 0
        sleep 0.1
    done
    vx_fail "$3: have '$have', want '$2'"
}

actions_command() {
    vx_drive post "title=Actions" "$1" >/dev/null || vx_fail "no Actions window for $1"
}

# Opens a.png with the Actions window beside it, the seeded favourites listed.
actions_start() {
    vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
    vx_wait_title 'a.png *' >/dev/null
    vx_command 40104
    vx_drive wait "title=Actions" >/dev/null || vx_fail "no Actions window"
    items 1021 "$all_favourites"$'\n'"selected -1" "seeded favourites"
    items 1011 "$(lines "0 Open" "selected 0")" "history after opening"
}

# "reset" keeps the Open entry and the image, so that closing asks nothing;
# the favourites go back to "fa.up" unchanged.
actions_close() {
    vx_drive press "title=Actions" 1012 >/dev/null
    items 1011 "$(lines "0 Open" "selected 0")" "history after reset"
    vx_expect_copy "$1" "image after reset"
    vx_viewer_close
    cmp -s "$settings/fa.up" "$VX_DATA/seeded.vxa" ||
        vx_fail "fa.up at exit: $(xxd "$settings/fa.up" | head -5)"
}
