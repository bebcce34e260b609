#!/bin/sh
# Makes the game's data in BUILD/game from the text sources in data/: level
# files, pictures, music and sound effects. The build's target `game` does it
# (cmake/gamedata.cmake), making again only what changed sources or tools make.
# Usage: make-game.sh [BUILD [JOBS]]
set -e
BUILD=${1:-build}
JOBS=${2:-2}
exec cmake --build "$BUILD" -j "$JOBS" --target game
