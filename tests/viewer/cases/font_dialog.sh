# "Select Font" over a plain window (tests/viewer/gallery/font_dialog_host):
# the record comes back with its weight made regular or bold, OK while the
# sample is being edited only ends the edit, Cancel changes neither the
# record nor the family filter but keeps an edited sample. The host logs
# "RESULT FACE|HEIGHT|WEIGHT|ITALIC|UNDERLINE|FILTER|SAMPLE".
[ -n "${VX_FONT_DIALOG_HOST:-}" ] && [ -f "$VX_FONT_DIALOG_HOST" ] ||
    vx_fail "no font dialog host at ${VX_FONT_DIALOG_HOST:-}"
log="$VX_OUT/font.log"
title="title=Select Font"
HOST_PID=""

host_start() {  # STYLE WEIGHT FACE
    : >"$log"
    "$VX_WINE_LOADER" "$VX_FONT_DIALOG_HOST" "$log" "$@" </dev/null \
        >"$VX_OUT/host.out" 2>&1 &
    HOST_PID=$!
    dialog=$(vx_drive wait "$title") || vx_fail "no font dialog"
}
host_result() {  # prints the logged line once the host has written it
    local i
    for ((i = 0; i < 250; i++)); do
        [ -s "$log" ] && break
        sleep 0.04
    done
    wait "$HOST_PID" 2>/dev/null || true
    cat "$log"
}
at() { echo $((($2 << 16) | $1)); } # X Y as a mouse LPARAM

# Weight 600 comes back bold (700); a face name that begins others selects
# the first of them in the sorted list; the height is 12 pt on the screen,
# positive.
host_start light 600 Liberation
sleep 0.5
vx_shot "$dialog" "$VX_OUT/font-light.png"
vx_drive press "$dialog" 1 >/dev/null
vx_expect_eq "$(host_result)" "1 Liberation Mono|16|700|0|0|0|Hello Taxi!" "OK on weight 600"

# Weight 500 comes back regular; the Swiss filter, italic, 20 pt and a new
# sample text are taken. OK while the sample is edited only ends the edit.
host_start dark 500 "Liberation Serif"
vx_drive press "$dialog" 1132 >/dev/null                      # Swiss
vx_drive key "$title,control=1112" 0x20 >/dev/null           # Space: italic
vx_drive set-text "$dialog" 1110/1120 20 >/dev/null || vx_fail "cannot type the size"
vx_drive message "$dialog" 0x203 1 "$(at 100 220)" >/dev/null # double click on the sample
vx_drive set-text "$dialog" 1120 "Quick brown fox" >/dev/null || vx_fail "no sample edit"
sleep 0.3
vx_shot "$dialog" "$VX_OUT/font-dark-editing.png"
vx_drive press "$dialog" 1 >/dev/null
sleep 0.5
vx_drive --timeout 1 wait "$dialog" >/dev/null || vx_fail "OK while editing closed the dialog"
sleep 0.3
vx_shot "$dialog" "$VX_OUT/font-dark.png"
vx_drive press "$dialog" 1 >/dev/null
result=$(host_result)
vx_expect_eq "$result" "1 Liberation Serif|27|400|1|0|2|Quick brown fox" "OK on weight 500"

# Cancel: the record and the filter stay, an edited sample is kept.
host_start light 600 "Liberation Sans"
vx_drive press "$dialog" 1134 >/dev/null # Script
vx_drive key "$title,control=1113" 0x20 >/dev/null
vx_drive message "$dialog" 0x203 1 "$(at 300 230)" >/dev/null
vx_drive set-text "$dialog" 1120 "Kept" >/dev/null || vx_fail "no sample edit"
vx_drive message "$dialog" 0x201 1 "$(at 300 150)" >/dev/null # a click ends the edit
sleep 0.3
vx_drive press "$dialog" 2 >/dev/null
result=$(host_result)
vx_expect_eq "$result" "0 Liberation Sans|-16|600|0|0|0|Kept" "Cancel"
