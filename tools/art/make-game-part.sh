#!/bin/sh
# Puts the levels and every picture of the game into the game folder.
# Usage: make-game-part.sh SRC BUILD OUT  (OUT is BUILD/game)
set -e
SRC=$1
BUILD=$2
OUT=$3
mkdir -p "$OUT"
cp "$SRC"/data/levels/*.lvl "$OUT"/
"$BUILD"/twinfold-art "$SRC"/data "$OUT"
