#!/bin/sh
# Makes the desktop icon from the game's own art: the hero's first frame, cut
# from the sprite sheet in BUILD/game with its alpha picture as transparency,
# in every size the hicolor icon theme asks for.
# Usage: make-icons.sh [BUILD]   writes BUILD/icons/NxN/twinfold.png
set -e
BUILD=${1:-build}
SHEET="$BUILD/game/orvik_spritesheet.bmp"
ALPHA="$BUILD/game/orvik_spritesheet_alpha.bmp"
if [ ! -f "$SHEET" ] || [ ! -f "$ALPHA" ]; then
    echo "make-icons: $SHEET or its alpha picture is missing: make the game data first" >&2
    exit 1
fi

# Frame 0 is the 60 by 60 cell at the sheet's top left (tools/art/hero.h).
for size in 16 22 24 32 48 64 128 256; do
    out="$BUILD/icons/${size}x${size}"
    mkdir -p "$out"
    # The alpha picture's grey becomes the opacity; -compose Over again before
    # the resize, which would otherwise reuse CopyOpacity.
    convert "$SHEET" "$ALPHA" -alpha off -compose CopyOpacity -composite -compose Over \
        -crop 60x60+0+0 +repage -filter Lanczos -resize "${size}x${size}" \
        -strip -define png:exclude-chunks=date,time "PNG32:$out/twinfold.png"
done
