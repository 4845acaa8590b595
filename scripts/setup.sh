#!/usr/bin/env bash
# Installs the Debian 12 packages Vx builds, tests and runs with. Idempotent:
# only missing packages are fetched. Runs apt-get through sudo when not root.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git clang-14 libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # libraries
  zlib1g-dev libpng-dev libjpeg62-turbo-dev libtiff-dev libjbig-dev
  libopenexr-dev libimath-dev liblcms2-dev liblcms2-utils libwebp-dev libjxr-dev
  libpgf-dev libraw-dev libexempi-dev libexif-dev libiptcdata0-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation
  # the Win32 build (winelib headers come with libwine-dev) and its test display
  wine64 wine64-tools libwine-dev fonts-wine xvfb x11-utils xauth
  # peers and oracles
  imagemagick netpbm libtiff-tools libjpeg-turbo-progs webp libvips-tools
  libopenjp2-tools pngcheck libimage-exiftool-perl hyperfine time
  # the in-process converter benchmark links vips
  libvips-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
