#!/bin/sh
# Installs the Debian packages a make target needs, by group; with no group,
# what building and running the game need. Runs apt-get only for what is
# missing: as root directly, otherwise through sudo.
#
#   scripts/install-deps.sh [build] [test] [bench] [tiled] [package] [fuzz] [web] [difficulty]
set -e

# Building the game, its tools and its data (FreeType and the fonts set the
# menu's text), and running it; Ninja makes a build with nothing to do quick.
build="build-essential cmake ninja-build pkg-config
libsdl1.2-compat-dev libpng-dev zlib1g-dev libzip-dev
libgl1-mesa-dev libgl1-mesa-dri libglu1-mesa-dev
libfreetype-dev fonts-dejavu-core"
# The desktop icons and the install's checks (make install, make package).
package="imagemagick desktop-file-utils appstream dpkg-dev file groff-base"
# The level editor (make tiled).
tiled="tiled"
# The fuzz targets (make fuzz), which make test's smoke pass builds.
fuzz="clang libclang-rt-14-dev llvm"
# The test suite: GoogleTest, a virtual X display and the programs the tests
# compare with or drive (ffmpeg, ImageMagick, Tiled, xdotool), the install
# checks and the fuzz smoke pass.
test="googletest libgtest-dev xvfb xauth xdotool x11-utils libx11-dev mesa-utils
ffmpeg $tiled $package $fuzz"
# The browser build and its tests (make web, make test-web): Emscripten (its
# optimizer needs acorn), dpkg-source to unpack the zlib and libpng sources it
# builds, and Chromium with Node's package manager for puppeteer-core. A
# Node.js from elsewhere brings npm along; Debian's own comes as a package.
web="emscripten node-acorn dpkg-dev chromium nodejs python3"
command -v npm >/dev/null 2>&1 || web="$web npm"
# The benchmarks and whole-program timings (make bench).
bench="libbenchmark-dev hyperfine valgrind ffmpeg xvfb xauth x11-utils mesa-utils"
# The difficulty table and its plot (make difficulty): jq reads the tool's
# JSON, gnuplot draws the curve.
difficulty="jq gnuplot-nox"

[ $# -eq 0 ] && set -- build
PACKAGES=""
for group in "$@"; do
    case $group in
        build) PACKAGES="$PACKAGES $build" ;;
        test) PACKAGES="$PACKAGES $build $test" ;;
        bench) PACKAGES="$PACKAGES $build $bench" ;;
        tiled) PACKAGES="$PACKAGES $build $tiled" ;;
        package) PACKAGES="$PACKAGES $build $package" ;;
        fuzz) PACKAGES="$PACKAGES $build $fuzz" ;;
        web) PACKAGES="$PACKAGES $build $web" ;;
        difficulty) PACKAGES="$PACKAGES $build $difficulty" ;;
        *) echo "usage: scripts/install-deps.sh [build|test|bench|tiled|package|fuzz|web|difficulty]..." >&2; exit 2 ;;
    esac
done

# One query for them all: every make target asks, make run too.
installed=" $(dpkg-query -W -f='${Package}:${Status} ' $PACKAGES 2>/dev/null) "
missing=""
for p in $PACKAGES; do
    case " $missing " in *" $p "*) continue ;; esac
    case "$installed" in *" $p:install ok installed "*) ;; *) missing="$missing $p" ;; esac
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
