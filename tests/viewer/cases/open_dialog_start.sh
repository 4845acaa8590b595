# The Open dialog starts where the user was: a successful open stores its path
# in the preferences (UTF-16 at offset 1728, the rest of the field zero), and
# after a restart without an image the dialog shows that file in its folder.
mkdir -p "$VX_DATA/last folder"
convert-im6.q16 -size 30x20 xc:khaki -depth 8 "PNG24:$VX_DATA/last folder/b.png"
image=$(vx_dos_path "$VX_DATA/last folder/b.png")
prefs="$(vx_settings_dir)/Vx.up"

vx_viewer_start "$image"
vx_wait_title 'b.png *' >/dev/null
vx_viewer_close
stored=$(dd if="$prefs" bs=1 skip=1728 count=960 status=none | iconv -f UTF-16LE -t UTF-8 | tr -d '\0')
vx_expect_eq "$stored" "$image" "last image path in the preferences"

vx_viewer_start
vx_command 40011
dialog=$(vx_drive wait "title=Open image file") || vx_fail "no Open dialog"
vx_expect_eq "$(vx_drive get-text "$dialog" 1148)" "b.png" "file name in the Open dialog"
vx_expect_eq "$(vx_drive get-text "$dialog" 1137)" "last folder" "folder of the Open dialog"
vx_drive press "$dialog" 2 >/dev/null
vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the Open dialog stays"
vx_viewer_close
