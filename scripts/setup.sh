#!/usr/bin/env bash
# Installs the Debian 12 packages Vx builds, tests and runs with. Idempotent:
# only missing packages are fetched. Runs apt-get through sudo when not root.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git clang-14 libclang-rt-14-dev python3
  libgtest-dev libgmock-dev libbenchmark-dev
  # libraries
  zlib1g-dev libpng-dev libjpeg62-turbo-dev libtiff-dev libjbig-dev
  libopenexr-dev libimath-dev liblcms2-dev liblcms2-utils libwebp-dev libjxr-dev
  libpgf-dev libraw-dev libexempi-dev libexif-dev libiptcdata0-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation
  # the Win32 build (winelib headers come with libwine-dev), its test display
  # and Xlib, through which the tests drop files; without the preloader, a
  # Wine process now and then fails to start ("failed to map the shared user
  # data") when the address space layout puts a library where Wine's own
  # fixed areas go
  wine64 wine64-preloader wine64-tools libwine-dev fonts-wine xvfb x11-utils xauth libx11-dev
  # the printing test: a CUPS server of its own with a PDF printer, and
  # poppler to read the pages back
  cups-daemon cups-client printer-driver-cups-pdf poppler-utils
  # peers and oracles
  imagemagick netpbm libtiff-tools libjpeg-turbo-progs webp libvips-tools
  libopenjp2-tools grokj2k-tools pngcheck libimage-exiftool-perl hyperfine time giflib-tools
  libraw-bin libjxr-tools
  # the in-process converter benchmark links vips
  libvips-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian's Wine looks for its own fonts in "/usr/share/wine/../fonts", a path
# its file layer does not resolve, so the caption buttons and the submenu
# arrows miss Marlett and show "0 1 r" and boxes. Fontconfig's folders are
# read: Marlett (and only Marlett, so the interface fonts stay as they are)
# is linked into one.
marlett=/usr/share/fonts/truetype/wine-marlett/marlett.ttf
if [ ! -e "$marlett" ]; then
  $sudo mkdir -p "$(dirname "$marlett")"
  $sudo ln -sf /usr/share/wine/fonts/marlett.ttf "$marlett"
  $sudo fc-cache -f >/dev/null 2>&1 || true
fi
