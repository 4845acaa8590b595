# Printing through Wine's print path to CUPS: a CUPS server of the case's
# own (its own folders and socket) with a cups-pdf queue as the default
# printer, chosen in the print dialog. Three copies of a landscape picture
# (red left, blue right) give a three-page PDF, each page with the picture
# as wide as the page and centred vertically; a portrait picture (red top,
# blue bottom) is as high as the page and centred horizontally. A queue that
# refuses jobs makes the spooler fail: one error box, no PDF.
[ "$(id -u)" = 0 ] || vx_skip "the PDF printer's backend runs as root: run as root"
for tool in cupsd lpadmin pdfinfo pdftoppm; do
    command -v "$tool" >/dev/null || vx_skip "$tool is missing (scripts/setup.sh installs it)"
done
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
[ -x /usr/lib/cups/backend/cups-pdf ] && [ -f "$ppd" ] ||
    vx_skip "cups-pdf is missing (scripts/setup.sh installs it)"

# The filters run as lp (cupsd refuses to run them as root) and open the
# spooled job and the queue's PPD by path, so every folder above the server's
# own must let lp pass. The case's folder may lie below a private one (a
# clone in a `mktemp -d` folder): the server's folders go under /tmp.
VX_CUPS_DIR=$(mktemp -d /tmp/vx-cups.XXXXXX) || vx_fail "cannot make the print system's folder"
chmod 755 "$VX_CUPS_DIR"
if ! runuser -u lp -- test -x "$VX_CUPS_DIR"; then
    rm -rf "$VX_CUPS_DIR"
    vx_fail "lp cannot pass through $VX_CUPS_DIR: the filters could not read the jobs"
fi
# cups-pdf reads the settings of a queue whose device is cups-pdf:/NAME from
# /etc/cups/cups-pdf-NAME.conf only: the case writes its own there.
VX_CUPS_INSTANCE="vx$$$RANDOM"
VX_CUPS_PID=""
# At the end the server goes first, then the Wine clean-up.
# A kept case folder keeps the server's logs and PDFs too.
stop_cups() {
    local status=$?
    # The server writes its cache as it ends: its folders go once it is gone.
    if [ -n "$VX_CUPS_PID" ]; then
        kill "$VX_CUPS_PID" 2>/dev/null || true
        wait "$VX_CUPS_PID" 2>/dev/null || true
    fi
    rm -f "/etc/cups/cups-pdf-$VX_CUPS_INSTANCE.conf"
    if [ "${VX_KEEP_WINE_TEMP:-0}" = 1 ]; then
        mkdir -p "$VX_WINE_ROOT/cups"
        cp -r "$VX_CUPS_DIR/log" "$VX_CUPS_DIR/pdf" "$VX_WINE_ROOT/cups/" 2>/dev/null || true
    fi
    rm -rf "$VX_CUPS_DIR"
    vx_wine_cleanup "$status"
}
trap stop_cups EXIT

mkdir -p "$VX_CUPS_DIR"/{root/ppd,log,spool/tmp,cache,state,pdf,pdfspool}
cat >"$VX_CUPS_DIR/root/cupsd.conf" <<CONF
Listen $VX_CUPS_DIR/cups.sock
LogLevel warn
WebInterface No
Browsing No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$VX_CUPS_DIR/root/cups-files.conf" <<CONF
ServerRoot $VX_CUPS_DIR/root
RequestRoot $VX_CUPS_DIR/spool
TempDir $VX_CUPS_DIR/spool/tmp
CacheDir $VX_CUPS_DIR/cache
StateDir $VX_CUPS_DIR/state
AccessLog $VX_CUPS_DIR/log/access_log
ErrorLog $VX_CUPS_DIR/log/error_log
PageLog $VX_CUPS_DIR/log/page_log
User lp
Group lp
SystemGroup root
CONF
cat >"/etc/cups/cups-pdf-$VX_CUPS_INSTANCE.conf" <<CONF
Out $VX_CUPS_DIR/pdf
AnonDirName $VX_CUPS_DIR/pdf
Spool $VX_CUPS_DIR/pdfspool
Log $VX_CUPS_DIR/log
CONF
chmod -R a+rX "$VX_CUPS_DIR"
chmod 1777 "$VX_CUPS_DIR/spool/tmp"
cupsd -f -c "$VX_CUPS_DIR/root/cupsd.conf" -s "$VX_CUPS_DIR/root/cups-files.conf" \
    </dev/null >"$VX_OUT/cupsd.out" 2>&1 &
VX_CUPS_PID=$!
# A case killed before its trap runs would leave the server behind: a
# watchdog ends it once this shell is gone.
(
    while kill -0 $$ 2>/dev/null; do sleep 1; done
    kill "$VX_CUPS_PID" 2>/dev/null
    rm -f "/etc/cups/cups-pdf-$VX_CUPS_INSTANCE.conf"
    while kill -0 "$VX_CUPS_PID" 2>/dev/null; do sleep 0.2; done
    rm -rf "$VX_CUPS_DIR"
) </dev/null >/dev/null 2>&1 &
export CUPS_SERVER="$VX_CUPS_DIR/cups.sock"
for ((i = 0; i < 100; i++)); do
    [ -S "$CUPS_SERVER" ] && lpstat -r >/dev/null 2>&1 && break
    sleep 0.1
done
lpstat -r >/dev/null 2>&1 || vx_fail "the case's CUPS server did not start"
lpadmin -p VxPDF -E -v "cups-pdf:/$VX_CUPS_INSTANCE" -P "$ppd" 2>/dev/null ||
    vx_fail "cannot add the PDF printer"
lpadmin -d VxPDF || vx_fail "cannot make the PDF printer the default"

# Why the print system made no pages: the error lines of its log (a filter
# that failed leaves cups-pdf an empty job, written as one blank page).
cups_errors() {
    local lines
    lines=$(sed -n 's/^E \[[^]]*\] //p' "$VX_CUPS_DIR/log/error_log" 2>/dev/null |
        grep -v 'please consult' | awk '!seen[$0]++' | paste -sd '|' | sed 's/|/; /g')
    if [ -n "$lines" ]; then
        printf "the print system's error log says: %s\n" "$lines"
    else
        printf 'the print system logged no error\n'
    fi
}

# expect_pages PDF N WHAT
expect_pages() {
    local have
    have=$(pdfinfo "$1" | awk '$1 == "Pages:" { print $2 }')
    [ "$have" = "$2" ] || vx_fail "$3: have '$have', want '$2'; $(cups_errors)"
}

# print FILE COPIES: prints the shown image from the print dialog; prints
# the path of the PDF that cups-pdf wrote.
print_copies() {  # COPIES
    local dialog pdf i before
    before=$(ls "$VX_CUPS_DIR/pdf" | wc -l)
    vx_command 40014
    dialog=$(vx_drive wait "title=Print") || vx_fail "no print dialog"
    vx_drive set-text "$dialog" 1154 "$1" >/dev/null || vx_fail "no copies field"
    vx_drive press "$dialog" 1 >/dev/null
    vx_drive wait-gone "$dialog" >/dev/null || vx_fail "the print dialog stays"
    for ((i = 0; i < 600; i++)); do
        [ "$(ls "$VX_CUPS_DIR/pdf" | wc -l)" -gt "$before" ] && break
        sleep 0.1
    done
    pdf=$(ls -t "$VX_CUPS_DIR/pdf"/*.pdf 2>/dev/null | head -1)
    [ -n "$pdf" ] && [ "$i" -lt 600 ] || vx_fail "no PDF from the printer; $(cups_errors)"
    # cups-pdf writes the file in place: wait until it is whole.
    for ((i = 0; i < 100; i++)); do
        pdfinfo "$pdf" >/dev/null 2>&1 && break
        sleep 0.1
    done
    printf '%s\n' "$pdf"
}

# check_page PNG ORIENTATION: the picture's box (the page less its white)
# fills the page across (landscape) or down (portrait) with the picture's
# proportions (4:1 or 1:2), is centred along the other axis, and shows red
# then blue.
check_page() {
    local page=$1 w h bw bh bx by
    read -r w h < <(identify-im6.q16 -format '%w %h\n' "$page")
    IFS='x+' read -r bw bh bx by < <(convert-im6.q16 "$page" -fuzz 20% -format '%@\n' info:)
    local name
    name="$(basename "$page"): box ${bw}x${bh}+${bx}+${by} on ${w}x${h}"
    near() { (($1 - $2 <= 2 && $2 - $1 <= 2)); }
    if [ "$2" = landscape ]; then
        near "$bw" "$w" && near "$bx" 0 && near "$((bw / 4))" "$bh" &&
            near "$by" "$((h - by - bh))" || vx_fail "$name: want full width, centred vertically"
        vx_check_pixel "$page" $((bx + bw / 4)) $((by + bh / 2)) "255 0 0" 20 &&
            vx_check_pixel "$page" $((bx + 3 * bw / 4)) $((by + bh / 2)) "0 0 255" 20 ||
            vx_fail "$VX_WHY"
    else
        near "$bh" "$h" && near "$by" 0 && near "$((bh / 2))" "$bw" &&
            near "$bx" "$((w - bx - bw))" || vx_fail "$name: want full height, centred across"
        vx_check_pixel "$page" $((bx + bw / 2)) $((by + bh / 4)) "255 0 0" 20 &&
            vx_check_pixel "$page" $((bx + bw / 2)) $((by + 3 * bh / 4)) "0 0 255" 20 ||
            vx_fail "$VX_WHY"
    fi
}

convert-im6.q16 -size 120x60 xc:red -size 120x60 xc:blue +append "PNG24:$VX_DATA/wide.png"
convert-im6.q16 -size 60x60 xc:red -size 60x60 xc:blue -append "PNG24:$VX_DATA/tall.png"
vx_viewer_start "$(vx_dos_path "$VX_DATA/wide.png")"
vx_wait_title 'wide.png *' >/dev/null
pdf=$(print_copies 3)
expect_pages "$pdf" 3 "pages of three copies"
pdftoppm -r 30 -png "$pdf" "$VX_OUT/wide"
for page in "$VX_OUT"/wide-*.png; do
    check_page "$page" landscape
done

vx_drop "$VX_DATA/tall.png"
vx_wait_title 'tall.png *' >/dev/null
pdf=$(print_copies 1)
expect_pages "$pdf" 1 "pages of one copy"
pdftoppm -r 30 -png "$pdf" "$VX_OUT/tall"
check_page "$VX_OUT/tall-1.png" portrait

cupsreject VxPDF || vx_fail "cannot make the printer refuse jobs"
vx_mark
vx_command 40014
dialog=$(vx_drive wait "title=Print") || vx_fail "no print dialog"
vx_drive press "$dialog" 1 >/dev/null
vx_expect_box Error "Print spooler reported an error."
vx_expect_eq "$(ls "$VX_CUPS_DIR/pdf" | wc -l)" 2 "PDF files after the refused job"
vx_viewer_close
