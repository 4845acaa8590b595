# Cancel stops a running full-size preview: the 3D projection of an
# 8-megapixel picture to 4000 x 4000 pixels, oversampled 8 x 8 (a billion
# samples, most of a minute on eight processors when it runs to its end),
# is cancelled a second after it started. The preview stops within seconds
# (the time is logged), the dialog takes input again with nothing previewed,
# and a second Cancel closes it, the picture as it was.
# shellcheck source=../tool_dialogs.sh
. "$(dirname "${BASH_SOURCE[0]}")/../tool_dialogs.sh"
convert-im6.q16 -size 4000x2000 xc:gray +noise Random -depth 8 "PNG24:$VX_DATA/big.png"
dialog="title=3D Projection"

vx_viewer_start "$(vx_dos_path "$VX_DATA/big.png")"
vx_wait_title 'big.png *' >/dev/null
vx_command 40961
vx_drive wait "$dialog" >/dev/null || vx_fail "no 3D Projection dialog"
vx_drive set-text "$dialog" 1029/1039 8 >/dev/null
vx_drive message "$dialog" 0x111 $((0x17040000 | 1132)) 0 >/dev/null # upsample
vx_expect_eq "$(vx_drive get-text "$dialog" 1021) x $(vx_drive get-text "$dialog" 1022)" \
    "4000 x 4000" "size of the preview"
vx_expect_eq "$(vx_drive get-text "$dialog" 1029)" 8 "oversampling"
vx_cancel_preview "$dialog" 1 "3D projection"
vx_drive press "$dialog" 2 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the 3D Projection dialog stays"
vx_expect_copy big.png "the picture after a cancelled preview"
