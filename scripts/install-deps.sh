#!/bin/sh
# Installs the Debian packages that building, running and testing Twinfold need.
# Runs apt-get only for what is missing: as root directly, otherwise through sudo.
set -e

PACKAGES="
build-essential cmake pkg-config
libsdl1.2-compat-dev libpng-dev zlib1g-dev
libgl1-mesa-dev libgl1-mesa-dri libglu1-mesa-dev mesa-utils
googletest libgtest-dev libbenchmark-dev
xvfb xauth xdotool x11-utils libx11-dev
libfreetype-dev fonts-dejavu-core
ffmpeg imagemagick hyperfine valgrind
tiled
desktop-file-utils appstream dpkg-dev file groff-base
clang libclang-rt-14-dev llvm
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
if [ "$(id -u)" = 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    SUDO="sudo"
else
    echo "missing packages; run as root: apt-get install -y$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends $missing
