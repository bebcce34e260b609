#!/bin/sh
# The game folder as the browser build ships it: BUILD/game copied to
# BUILD/game-web with every PNG picture recompressed (twinfold-webpng: the
# same pixels, smaller files). Only what changed since the last run is done
# again, and what left BUILD/game leaves BUILD/game-web.
# Usage: make-web-game.sh [BUILD [JOBS]]
set -e
BUILD=${1:-build}
JOBS=${2:-2}
FROM="$BUILD/game"
TO="$BUILD/game-web"
if [ ! -f "$FROM/tutorial1.lvl" ] || [ ! -x "$BUILD/twinfold-webpng" ]; then
    echo "make-web-game: $FROM or $BUILD/twinfold-webpng is missing: make the game data first" >&2
    exit 1
fi
mkdir -p "$TO"

# 1. Files gone from the game folder go from the copy.
(cd "$TO" && find . -type f) | while read -r f; do
    [ -f "$FROM/$f" ] || rm -f "$TO/$f"
done
# 2. Everything but the pictures is copied as it is; 3. the pictures newer
# than their copies are recompressed, two at a time.
(cd "$FROM" && find . -type f) | while read -r f; do
    mkdir -p "$(dirname "$TO/$f")"
    case "$f" in
        *.png) [ "$TO/$f" -nt "$FROM/$f" ] || printf '%s\n%s\n' "$FROM/$f" "$TO/$f" ;;
        *) [ "$TO/$f" -nt "$FROM/$f" ] || cp -p "$FROM/$f" "$TO/$f" ;;
    esac
done | xargs -r -d '\n' -n 2 -P "$JOBS" "$BUILD/twinfold-webpng" >/dev/null
echo "make-web-game: $(du -sb "$FROM" | cut -f1) bytes of game data, $(du -sb "$TO" | cut -f1) as the browser gets them"
