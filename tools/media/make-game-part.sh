#!/bin/sh
# Makes the menu pictures, the sound effects and the two music tracks.
# Usage: make-game-part.sh SRC BUILD OUT   (OUT is normally BUILD/game)
set -e
SRC=$1
BUILD=$2
OUT=$3
MEDIA="$BUILD/twinfold-media"
ADX="$BUILD/twinfold-adx"
if [ ! -x "$MEDIA" ]; then
    echo "make-game-part: $MEDIA is not built" >&2
    exit 1
fi
mkdir -p "$OUT/audio" "$BUILD/media"

# One track: the score rendered to a WAV, then encoded to ADX looping over the
# whole piece (the renderer makes its end run on into its start).
music() {
    frames=$("$MEDIA" music "$SRC/data/media/$1.score" "$BUILD/media/$1.wav")
    if [ -x "$ADX" ]; then
        "$ADX" encode "$BUILD/media/$1.wav" "$OUT/$1.adx" --loop 0 "$frames"
    elif [ -d "$SRC/tools/adx" ]; then
        echo "make-game-part: $ADX is not built" >&2
        exit 1
    else
        echo "make-game-part: no ADX encoder in this tree yet; $1.adx not made"
    fi
}

# Two cores: the calm track renders beside everything else.
music menu &
menu_job=$!
music song
"$MEDIA" pictures "$SRC/data/media" "$OUT"
"$MEDIA" effects "$OUT/audio"
wait $menu_job
