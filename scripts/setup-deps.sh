#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvel needs to build and test. Safe to run again:
# it only asks apt for packages that are not installed yet.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev
    qt6-translations-l10n fonts-noto-cjk
    libgif-dev libimagequant-dev libzstd-dev
    libjpeg62-turbo-dev libpng-dev zlib1g-dev # JPEG and PNG read and PNG written straight from the tiles
    libgtest-dev libgmock-dev libbenchmark-dev
    python3 # the layering check among the tests
)
case "${1:-}" in
--tests)
    # Broken and unusual GIF/JPEG/PNG files the decoder tests feed to the codec.
    packages+=(gdk-pixbuf-tests)
    # The validators of the launcher and the software centre description.
    packages+=(desktop-file-utils appstream)
    # The keyboard session against the real editor: a virtual X server and synthetic input.
    packages+=(xvfb xauth xdotool)
    packages+=(clang-format) # scripts/check-format.sh
    packages+=(dbus) # dbus-daemon: the private bus the colour picker's tests run a fake desktop portal on
    ;;
--screenshot)
    # scripts/screenshot.sh: a virtual X server, synthetic input and a screen grabber.
    packages+=(python3 xvfb xauth xdotool imagemagick)
    ;;
--peers)
    # The libraries bench/peers.py times our effects against.
    packages+=(python3 python3-numpy python3-opencv python3-pil)
    # The programs the batch benchmark times.
    packages+=(libvips-tools imagemagick)
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
