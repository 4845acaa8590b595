# F1 opens the help page beside the program: the viewer hands Doc\Vx.htm to
# the shell, which opens HTML files with Wine's winebrowser, which starts the
# first program of its list of Unix browsers (HKCU\Software\Wine\WineBrowser,
# value Browsers). The case lists a recorder script there that writes down
# what it was given: the page the build put beside vx.exe.so. Where the shell
# cannot open it, an error box names the file and why: no program for HTML
# files (the tests' prefixes have none until the case ties .htm to
# winebrowser), or no file (a copy of the program with no page beside it).
source_page="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)/resources/help/Vx.htm"
page="$(dirname "$VX_VIEWER")/Doc/Vx.htm"
[ -f "$page" ] || vx_fail "the build put no help page at $page"
cmp -s "$page" "$source_page" || vx_fail "the help page beside the program is not $source_page"

recorder="$VX_DATA/browser.sh"
opened="$VX_OUT/browser.args"
cat >"$recorder" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >"$opened.part"
mv "$opened.part" "$opened"
SCRIPT
chmod +x "$recorder"
vx_wine "$VX_OUT/reg.out" "$VX_OUT/reg.err" reg add 'HKCU\Software\Wine\WineBrowser' \
    /v Browsers /t REG_SZ /d "$recorder" /f || vx_fail "cannot make the recorder the browser"

# wait_opened: waits for the recorder's file; prints what it was given.
wait_opened() {
    local i
    for ((i = 0; i < 300; i++)); do
        [ -f "$opened" ] && cat "$opened" && return 0
        sleep 0.1
    done
    return 1
}

vx_viewer_start
vx_mark
vx_drive key class=Vx 0x70 >/dev/null || vx_fail "cannot press F1" # VK_F1
box=$(vx_drive wait "title=Vx Error") || vx_fail "no 'Vx Error' box without a program for .htm"
vx_shot "$box" "$VX_OUT/help-no-program.png"
vx_expect_box Error "Cannot open the help file"$'\n'"$(vx_dos_path "$page")"$'\n'"No program is set to open HTML files."

# The tests' prefixes boot without mshtml, which would tie .htm to the
# "htmlfile" class (opened by winebrowser): the case ties it as a user's
# prefix has it.
vx_wine "$VX_OUT/reg.out" "$VX_OUT/reg.err" reg add 'HKCR\.htm' /ve /t REG_SZ /d htmlfile /f ||
    vx_fail "cannot tie .htm to htmlfile"
vx_mark
vx_drive key class=Vx 0x70 >/dev/null || vx_fail "cannot press F1"
given=$(wait_opened) ||
    vx_fail "F1 opened nothing; texts drawn since: $(vx_box_texts | tr '\0\n' '  ')"
given=$(perl -pe 's/%([0-9A-Fa-f]{2})/chr hex $1/ge' <<<"$given")
vx_expect_eq "$given" "file://$(realpath "$page")" "what the browser was given"
vx_viewer_close

# Without the page: one error box that names the file looked for, and no
# browser.
mkdir "$VX_DATA/bare"
cp "$VX_VIEWER" "$VX_DATA/bare/"
rm -f "$opened"
VX_VIEWER="$VX_DATA/bare/$(basename "$VX_VIEWER")" vx_viewer_start
vx_mark
vx_drive key class=Vx 0x70 >/dev/null || vx_fail "cannot press F1"
box=$(vx_drive wait "title=Vx Error") || vx_fail "no 'Vx Error' box without the page"
vx_shot "$box" "$VX_OUT/help-missing.png"
vx_expect_box Error "Cannot find the help file"$'\n'"$(vx_dos_path "$VX_DATA/bare")\Doc\Vx.htm"
[ ! -e "$opened" ] || vx_fail "the browser was started for a missing page: $(cat "$opened")"
vx_viewer_close
