#!/bin/sh
# Makes the game's data in BUILD/game from the text sources in data/:
# level files, pictures, music and sound effects.
set -e
BUILD=${1:-build}
SRC=$(cd "$(dirname "$0")/.." && pwd)
OUT="$BUILD/game"
mkdir -p "$OUT/audio"

for tool in $(ls "$SRC/tools"); do
    [ -x "$SRC/tools/$tool/make-game-part.sh" ] && "$SRC/tools/$tool/make-game-part.sh" "$SRC" "$BUILD" "$OUT"
done
exit 0
