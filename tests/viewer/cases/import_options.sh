# The image-import option dialogs store their choices in the preferences
# (OpenEXR byte 744; RAW sample kind, interpolation and threshold float at
# 748; Photo CD sample kind and resolution at 760); Cancel keeps them; a
# stored threshold that is not a number opens the slider at 0.
prefs="$(vx_settings_dir)/Vx.up"
int32_at() { od -An -td4 -j "$1" -N4 "$prefs" | tr -d ' '; }
float_at() { od -An -tf4 -j "$1" -N4 "$prefs" | tr -d ' '; }
byte_at() { od -An -tu1 -j "$1" -N1 "$prefs" | tr -d ' '; }
run_dialog() {  # COMMAND TITLE CLOSE-ID IDS... (the radio buttons to click)
    local command=$1 title="title=$2" close=$3
    shift 3
    vx_command "$command"
    vx_drive wait "$title" >/dev/null || vx_fail "no dialog $title"
    local id
    for id in "$@"; do vx_drive press "$title" "$id" >/dev/null; done
    [ "$command" != 40202 ] || vx_drive key "$title,control=1230" 0x24 >/dev/null # Home
    [ "$command" != 40202 ] || vx_shot "$title" "$VX_OUT/raw-import.png"
    vx_drive press "$title" "$close" >/dev/null
    vx_drive wait-gone "$title" || vx_fail "$title stayed open"
}

vx_viewer_start
run_dialog 40201 "OpenEXR Import" 1 1209
run_dialog 40202 "Digital Camera RAW Import" 1 1212 1222
run_dialog 40203 "Kodak Photo CD Import" 2 1213 1216
run_dialog 40203 "Kodak Photo CD Import" 1 1211 1214
vx_viewer_close
vx_expect_eq "$(byte_at 744)" 0 "OpenEXR pre-multiplied"
vx_expect_eq "$(int32_at 748) $(int32_at 752) $(float_at 756)" "256 2 2500" "RAW options"
vx_expect_eq "$(int32_at 760) $(int32_at 764)" "96 3" "Photo CD options"

# A threshold that is not a number: OK stores the slider's 0.
printf '\x00\x00\xc0\x7f' | dd of="$prefs" bs=1 seek=756 conv=notrunc status=none
vx_viewer_start
vx_command 40202
vx_drive wait "title=Digital Camera RAW Import" >/dev/null || vx_fail "no RAW dialog"
vx_drive press "title=Digital Camera RAW Import" 1 >/dev/null
vx_drive wait-gone "title=Digital Camera RAW Import" || vx_fail "the RAW dialog stayed open"
vx_viewer_close
vx_expect_eq "$(float_at 756)" 0 "threshold after a NaN"
