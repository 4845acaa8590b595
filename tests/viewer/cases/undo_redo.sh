# Three edits applied by dropping action-list files, then Undo and Redo: each
# state's pixels (through Copy) equal ImageMagick's own rotate, flop and crop
# of the picture, so that undo by reloading the snapshot and replaying the
# history gives the same image as the edits did.
convert-im6.q16 -size 60x40 -seed 5 plasma: -depth 8 "PNG24:$VX_DATA/a.png"

# An action-list file with one action: type, then the block's little-endian
# 32-bit fields.
list() {  # FILE TYPE FIELD...
    local file=$1
    shift
    perl -e 'print "VxAL", pack("V3", 257, 1, 0), pack("l<*", @ARGV)' "$@" \
        >"$VX_DATA/$file"
}
list rotate.vxa 11 90
list mirror.vxa 12 1
list crop.vxa 8 3 5 2 4 # left, right, top, bottom
printf 'VxAL\1\1\0\0\5\0\0\0' >"$VX_DATA/broken.vxa"

convert-im6.q16 "$VX_DATA/a.png" -rotate 90 "PNG24:$VX_DATA/e1.png"
convert-im6.q16 "$VX_DATA/e1.png" -flop "PNG24:$VX_DATA/e2.png"
# The rotated image is 40 x 60: 40 - 3 - 5 by 60 - 2 - 4 at (3, 2).
convert-im6.q16 "$VX_DATA/e2.png" -crop 32x54+3+2 +repage "PNG24:$VX_DATA/e3.png"


drop() {  # FILE
    vx_drop "$VX_DATA/$1"
}

vx_viewer_start "$(vx_dos_path "$VX_DATA/a.png")"
vx_wait_title 'a.png *' >/dev/null
vx_expect_copy a.png "opened"

vx_command 40530 # undo right after opening changes nothing
vx_expect_copy a.png "undo after opening"

drop rotate.vxa
vx_expect_copy e1.png "rotate"
drop mirror.vxa
vx_expect_copy e2.png "mirror"
drop crop.vxa
vx_expect_copy e3.png "crop"

vx_command 40530
vx_expect_copy e2.png "undo of the crop"
vx_command 40530
vx_expect_copy e1.png "second undo"
vx_command 40531
vx_expect_copy e2.png "redo of the mirror"
vx_command 40531
vx_expect_copy e3.png "redo of the crop"
vx_command 40531 # nothing left to redo
vx_expect_copy e3.png "redo at the end"

# An edit after an undo drops the undone entry: redo has nothing to bring.
vx_command 40530
vx_expect_copy e2.png "undo before a new edit"
drop rotate.vxa
convert-im6.q16 "$VX_DATA/e2.png" -rotate 90 "PNG24:$VX_DATA/e4.png"
vx_expect_copy e4.png "edit after undo"
vx_command 40531
vx_expect_copy e4.png "redo after a new edit"
vx_command 40530
vx_expect_copy e2.png "undo of the new edit"

vx_mark
drop broken.vxa
vx_expect_box Error "Invalid action list"
vx_expect_copy e2.png "after a broken list"
