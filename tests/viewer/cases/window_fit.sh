# Windows that open with no stored size or place, in the light and the dark
# style: the List window shows eight rows whose texts end before its right
# edge, the Info window opens beside the main window and its texts end
# inside it, the thumbnail sheet dialog's hint and check box labels end
# inside it and them, and the save dialog's type list drops down with every
# type in view. The screenshots stay in out/ (VX_KEEP_WINE_TEMP=1).
dir="$VX_DATA/album"
mkdir -p "$dir"
for name in a b c; do
    convert-im6.q16 -size 300x200 xc:red "$dir/$name.png"
    touch -d "2020-12-28 18:58:58" "$dir/$name.png"
done

list=class=VxDcTl
info="class=VxTool,title=Info"
sheet="title=Create Thumbnail Sheet"

# plain FILE X Y W H COLOUR...: every pixel of the strip has one of the
# colours (no text reaches into it); else VX_WHY names the strip.
plain() {
    local file=$1 geometry="${4}x${5}+${2}+${3}" colour n
    shift 5
    local fill=()
    for colour in "$@"; do
        fill+=(-fill black -opaque "$colour")
    done
    n=$(convert-im6.q16 "$file" -crop "$geometry" +repage "${fill[@]}" \
        -fill white +opaque black -format '%[fx:int(mean*w*h+0.5)]' info:)
    [ "$n" = 0 ] && return 0
    VX_WHY="$(basename "$file"): $n pixels of text in the strip $geometry"
    return 1
}

# The client rectangle "CX CY CW CH" on the screen.
client() {
    local rect
    rect=$(vx_drive rect "$1") || vx_fail "no window $1"
    read -r _ _ _ _ cx cy cw ch <<<"$rect"
    echo "$cx $cy $cw $ch"
}

# check_style NAME FACE FIELD HIGHLIGHT: the windows in the style shown now.
check_style() {
    local style=$1 face=$2 field=$3 highlight=$4 cx cy cw ch

    # List window: eight rows of 80 pixels (64-pixel thumbnails); right of
    # the texts, inside the highlighted first row's frame and in the rows
    # below it, only the row colours.
    vx_command 40102
    vx_drive wait-title "$list" 'Image 1/3 in *album' >/dev/null || vx_fail "$style: no List window"
    read -r cx cy cw ch <<<"$(client "$list")"
    ((ch / 80 >= 8)) || vx_fail "$style: the List window shows $((ch / 80)) rows, want 8"
    vx_expect_screen "$list" "$VX_OUT/list-$style.png" plain \
        $((cw - 5)) 1 3 78 "$highlight"
    plain "$VX_OUT/list-$style.png" $((cw - 5)) 80 3 160 "$field" || vx_fail "$style: $VX_WHY"

    # Thumbnail sheet dialog with nothing selected: its hint and its check
    # box labels end inside.
    vx_drive post "$list" 40725 >/dev/null
    vx_drive wait "$sheet" >/dev/null || vx_fail "$style: no sheet dialog"
    vx_drive hover "$sheet" 1 1 >/dev/null
    local sx sy sw sh
    read -r sx sy sw sh <<<"$(client "$sheet")"
    vx_expect_screen "$sheet" "$VX_OUT/sheet-$style.png" plain \
        $((sw - 6)) 0 6 55 "$face"
    local id box bx by bw bh
    for id in 1030 1031 1032 1033 1034; do
        box=$(vx_drive children "$sheet" | awk -v id=$id '$2 == id { print $1; exit }')
        [ -n "$box" ] || vx_fail "$style: no check box $id"
        read -r bx by bw bh <<<"$(client "$box")"
        plain "$VX_OUT/sheet-$style.png" $((bx - sx + bw - 2)) $((by - sy)) 2 "$bh" "$face" ||
            vx_fail "$style: check box $id: $VX_WHY"
    done
    vx_cancel_dialog "$sheet" "sheet dialog"
    vx_command 40102
    vx_drive wait-gone "$list" >/dev/null || vx_fail "$style: the List window stays"

    # Info window: beside the main window, on the screen, its texts inside.
    vx_command 40101
    vx_drive wait "$info" >/dev/null || vx_fail "$style: no Info window"
    local mx my mw mh ix iy iw ih
    read -r mx my mw mh _ <<<"$(vx_drive rect class=Vx)"
    read -r ix iy iw ih _ <<<"$(vx_drive rect "$info")"
    ((ix >= mx + mw || ix + iw <= mx || iy >= my + mh || iy + ih <= my)) ||
        vx_fail "$style: the Info window ($ix $iy $iw $ih) lies over the main window ($mx $my $mw $mh)"
    ((ix >= 0 && iy >= 0 && ix + iw <= 1280 && iy + ih <= 1024)) ||
        vx_fail "$style: the Info window ($ix $iy $iw $ih) is not on the screen"
    import-im6.q16 -window root "$VX_OUT/screen-$style.png"
    read -r cx cy cw ch <<<"$(client "$info")"
    vx_expect_screen "$info" "$VX_OUT/info-$style.png" plain \
        $((cw - 4)) 0 4 300 "$face" "$highlight"
    vx_command 40101
    vx_drive wait-gone "$info" >/dev/null || vx_fail "$style: the Info window stays"

    # Save dialog: the type list drops down with every type in view.
    vx_open_save_dialog 0
    local combo count item drop dh
    combo=$(vx_drive children "$VX_SAVE_DIALOG" |
        awk '$2 == 1136 && $3 == "ComboBox" { print $1; exit }')
    count=$(vx_drive send "$combo" 0x146) # CB_GETCOUNT
    item=$(vx_drive send "$combo" 0x154 0) # CB_GETITEMHEIGHT
    vx_drive message "$combo" 0x14F 1 >/dev/null # CB_SHOWDROPDOWN
    drop=$(vx_drive wait class=ComboLBox) || vx_fail "$style: the type list does not drop down"
    read -r _ _ _ dh <<<"$(client "$drop")"
    ((count >= 16 && dh / item >= count)) ||
        vx_fail "$style: the type list shows $((dh / item)) of $count types"
    sleep 0.3
    import-im6.q16 -window root -crop "$(vx_drive rect "$VX_SAVE_DIALOG" |
        awk '{ print $3 "x" ($4 + 400) "+" $1 "+" $2 }')" +repage "$VX_OUT/save-$style.png"
    vx_drive message "$combo" 0x14F 0 >/dev/null
    vx_cancel_dialog "$VX_SAVE_DIALOG" "save dialog"
}

vx_viewer_start "$(vx_dos_path "$dir/a.png")"
vx_wait_title 'a.png *' >/dev/null

# Light: Face D4D4D4, Field C8C8C8, Highlight B0B0B0.
vx_command 40036
check_style light '#D4D4D4' '#C8C8C8' '#B0B0B0'
# Dark: Face 383838, Field 404040, Highlight 585858.
vx_command 40037
check_style dark '#383838' '#404040' '#585858'
vx_viewer_close
