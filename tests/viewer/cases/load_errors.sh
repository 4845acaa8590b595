# A file that cannot be shown gives a "Vx Error" box with the library's
# collected messages (or the viewer's own text when the library kept none),
# leaves no image and keeps the window for the next file.
convert-im6.q16 -size 300x200 -seed 3 plasma: -depth 8 "PNG24:$VX_DATA/good.png"
printf 'not an image, whatever its name says\n' >"$VX_DATA/plain.xyz"
head -c 300 "$VX_DATA/good.png" >"$VX_DATA/cut.png"
printf 'GIF89a and then nothing a PNG reader expects' >"$VX_DATA/gif.png"

dos() { vx_dos_path "$VX_DATA/$1"; }
no_image='Vx - Version 1.1.7'

# An unknown extension: the library reports nothing, the viewer names it.
vx_viewer_start "$(dos plain.xyz)"
vx_expect_box Error "File: $(dos plain.xyz)  "$'\n\n'"Unsupported file format.  "
vx_expect_eq "$VX_BOX_TEXT" "File: $(dos plain.xyz)  "$'\n\n'"Unsupported file format.  " \
    "box text"
vx_wait_title "$no_image" >/dev/null

# The others come from a second instance after a good image was shown; each
# box holds this load's one message under the path, nothing carried over
# from the load before.
rows=(
    "missing.png|File not found"
    "cut.png|Module PNG: "
    "gif.png|Module PNG: "
)
for row in "${rows[@]}"; do
    file=${row%%|*}
    vx_viewer_run "$(dos good.png)" >/dev/null || true
    vx_wait_title 'good.png *' >/dev/null
    vx_mark
    vx_viewer_run "$(dos "$file")" >/dev/null || true
    vx_expect_box Error "File: $(dos "$file")"$'\n\n'"Module " "${row#*|}"
    messages=$(grep -c '^Module ' <<<"$VX_BOX_TEXT")
    vx_expect_eq "$messages" 1 "message lines in the box for $file"
    vx_wait_title "$no_image" >/dev/null
done
