# Full screen with high quality resizing shows each new image through the
# chosen transition: photographs taken while it runs show the old and the new
# image together (blended, tiled, in stripes, or pushed in from the side the
# direction asks for), and when it has run the screen shows the new image
# whole, also where the steps do not divide the 1280 x 1024 screen.
# The viewer lives as long as the case may take (ten minutes, for a loaded
# machine), not the five of the others.
VX_VIEWER_LIFETIME=630
dir="$VX_DATA/show"
mkdir -p "$dir"
# 320 x 256 has the screen's proportion: upsampled, each fills the screen.
convert-im6.q16 -size 320x256 xc:red -depth 8 "$dir/a.png"
convert-im6.q16 -size 320x256 xc:blue -depth 8 "$dir/b.png"

vx_viewer_start "$(vx_dos_path "$dir/a.png")"
vx_wait_title 'a.png *' >/dev/null
for ((i = 0; i < 100; i++)); do
    vx_drive post class=Vx 40016 >/dev/null
    vx_drive --timeout 1 wait-title class=Vx 'b.png *' >/dev/null && break
done
vx_wait_title 'b.png *' >/dev/null
vx_command 40108 # full screen; high quality resizing is on by default

# "mean red, mean blue" of a photograph, each 0..100.
means() {
    convert-im6.q16 "$1" -format '%[fx:int(100*mean.r+0.5)] %[fx:int(100*mean.b+0.5)]' info:
}
all_of() { # FILE COLOUR: the whole screen is red or blue
    local r b
    read -r r b <<<"$(means "$1")"
    VX_WHY="$(basename "$1"): mean red $r, mean blue $b, want all $2"
    if [ "$2" = red ]; then [ "$r" -ge 99 ] && [ "$b" -le 1 ]; else [ "$b" -ge 99 ] && [ "$r" -le 1 ]; fi
}
vx_expect_screen class=Vx "$VX_OUT/start.png" all_of blue

# transition EFFECT NAME COMMAND FROM TO: runs one transition while a
# photographer takes pictures of the screen; keeps one picture from the middle
# of it as out/NAME-mid.png and the screen afterwards as out/NAME-end.png.
transition() {
    local effect=$1 name=$2 command=$3 from=$4 to=$5 shots="$VX_OUT/$2" mid="" attempt
    vx_command $((40062 + effect))
    # A loaded machine can starve the photographer for the whole transition:
    # then go back to the first image and run it again.
    for ((attempt = 0; attempt < 3; attempt++)); do
        if ((attempt > 0)); then
            vx_command 40016 "$from.png *"
            vx_expect_screen class=Vx "$VX_OUT/$name-back.png" all_of "$(colour_of "$from")"
        fi
        rm -rf "$shots"
        mkdir -p "$shots"
        # One process takes the pictures back to back, as raw PPM: a PNG
        # each from a new process was too slow to catch a transition on a
        # loaded machine.
        import-im6.q16 -window root -snaps 60 "$shots/%03d.ppm" 2>/dev/null &
        local photographer=$!
        sleep 0.3
        vx_command "$command" "$to.png *"
        wait "$photographer" || true
        # The first picture with both colours on the screen.
        mid=$(convert-im6.q16 "$shots"/*.ppm \
            -format '%d/%f %[fx:int(100*mean.r+0.5)] %[fx:int(100*mean.b+0.5)]\n' info: |
            awk '!found && $2 >= 3 && $3 >= 3 { print $1; found = 1 }')
        [ -z "$mid" ] || break
    done
    [ -n "$mid" ] || vx_fail "$name: no photograph shows the transition under way"
    convert-im6.q16 "$mid" "$VX_OUT/$name-mid.png"
    vx_expect_screen class=Vx "$VX_OUT/$name-end.png" all_of "$(colour_of "$to")"
    rm -rf "$shots"
    MID="$VX_OUT/$name-mid.png"
}
colour_of() { if [ "$1" = b ]; then echo blue; else echo red; fi; }

# The colour of one pixel of the middle photograph: red, blue or mixed.
colour_at() {
    local r _ b
    read -r r _ b <<<"$(vx_pixel "$MID" "$1" "$2")"
    if [ "$r" -ge 250 ] && [ "$b" -le 5 ]; then echo red
    elif [ "$b" -ge 250 ] && [ "$r" -le 5 ]; then echo blue
    else echo mixed; fi
}
expect_colour() { # X Y COLOUR WHAT
    local have
    have=$(colour_at "$1" "$2")
    [ "$have" = "$3" ] || vx_fail "$4: pixel ($1, $2) in the middle of it is $have, want $3"
}

transition 1 blend 40016 b a
expect_colour 640 512 mixed "blend"
transition 2 mosaic 40016 a b
transition 3 stripes 40016 b a
# Next: the new image enters from the right; previous: from the left.
transition 4 push-left 40016 a b
expect_colour 2 512 red "push to the left"
expect_colour 1277 512 blue "push to the left"
transition 4 push-right 40017 b a
expect_colour 2 512 red "push to the right"
expect_colour 1277 512 blue "push to the right"
# Next enters from the bottom, previous from the top.
transition 5 push-up 40016 a b
expect_colour 640 2 red "push up"
expect_colour 640 1021 blue "push up"
transition 5 push-down 40017 b a
expect_colour 640 2 red "push down"
expect_colour 640 1021 blue "push down"
