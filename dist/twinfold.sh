#!/bin/sh
# Twinfold's launcher, installed as games/twinfold: the game reads every file
# from its working directory, so this enters the installed data folder and
# starts the engine there. Both are found beside the launcher's own folder
# (PREFIX/games), so the install can live under any prefix.
# Exit status: the engine's own, or 1 when the install is broken.
set -e

self=$(readlink -f "$0")
prefix=$(cd "$(dirname "$self")/.." && pwd)
data="$prefix/share/games/twinfold"
engine="$prefix/lib/games/twinfold/twinfold"

# Never start the engine in a folder that is not the game's: it would die on
# the first missing file, or play whatever levels lie there.
if [ ! -f "$data/tutorial1.lvl" ]; then
    echo "twinfold: no game data in $data (the install is broken)" >&2
    exit 1
fi
if [ ! -x "$engine" ]; then
    echo "twinfold: no engine at $engine (the install is broken)" >&2
    exit 1
fi

cd "$data"
exec "$engine"
