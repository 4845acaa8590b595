# The Affine Projection dialog on a 200 x 100 picture: neutral settings keep
# Apply disabled; three rotation steps (3 degrees, the canvas adapted) enable
# it, the size label follows, and Apply equals the native replay of the
# Affine Projection action. Screenshots in both styles.
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
convert-im6.q16 -size 200x100 -seed 13 plasma: -depth 8 "PNG24:$VX_DATA/a.png"

expect_enabled() {  # SEL WANT WHAT
    local i have
    for ((i = 0; i < 50; i++)); do
        have=$(vx_drive enabled "$1")
        [ "$have" = "$2" ] && return 0
        sleep 0.1
    done
    vx_fail "$3: enabled '$have', want '$2'"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title "a.png *" >/dev/null
dialog=$(vx_tool_open 40959 "Affine Projection")
expect_enabled "$dialog,control=1" 0 "Apply at neutral settings"
vx_slider_keys "$dialog" 1010 0x21 0x21 0x21
expect_enabled "$dialog,control=1" 1 "Apply after turning"
# 3 degrees: |sin| x 100 + |cos| x 200 = 204.95 and |sin| x 200 + |cos| x 100
# = 110.33, rounded half up.
for ((i = 0; i < 50; i++)); do
    [ "$(vx_drive get-text "$dialog" 1018)" = "205 x 110 pixel" ] && break
    sleep 0.1
done
vx_expect_eq "$(vx_drive get-text "$dialog" 1018)" "205 x 110 pixel" "size label"
vx_styles_shots "$dialog" affine

# Angle 30 x 0.1 degrees, scales 1, no shift, the default background (opaque
# black, no index), oversampling 1, canvas adapted.
vx_action_list "$VX_DATA/affine.vxa" 17 5d4fiBB2x "$(python3 -c 'print(repr(30 * 0.1))')" \
    1.0 1.0 0.0 0.0 0.0 0.0 0.0 1.0 -1 1 1
"$VX_REPLAY" apply "$VX_DATA/a.png" "$VX_DATA/affine.vxa" "$VX_DATA/turned.bmp" ||
    vx_fail "vxreplay apply failed"
vx_tool_close "$dialog" 1 "Affine Projection dialog"
vx_expect_copy turned.bmp "applied affine projection"
vx_close_changed
