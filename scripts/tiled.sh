#!/bin/sh
# Runs the Tiled map editor with the Twinfold level format, leaving the user's
# own Tiled settings alone: Tiled's settings, lock and temporary files go to a
# fresh folder that is removed afterwards.
# Usage: scripts/tiled.sh BUILD [TILED-ARGUMENTS...]
#   e.g. scripts/tiled.sh build data/levels/tutorial1.lvl
#        scripts/tiled.sh build --export-map tmx level.lvl level.tmx
# The extension finds BUILD/twinfold-level and the game's other programs
# beside it, and the pictures in BUILD/game unless TWINFOLD_PICTURES is set
# (an empty one: no pictures). TWINFOLD_TILED_SCRIPTS, a colon-separated list
# of further extension files, is loaded too (the tests drive Tiled with one).
# Exit status: Tiled's own; 2 on a wrong command line or without BUILD/twinfold-level.
set -e
usage="usage: scripts/tiled.sh BUILD [TILED-ARGUMENTS...]"
if [ "$1" = "--help" ]; then
    echo "$usage"
    exit 0
fi
if [ $# -lt 1 ]; then
    echo "$usage" >&2
    exit 2
fi
BUILD=$(cd "$1" 2>/dev/null && pwd) || { echo "scripts/tiled.sh: no build folder $1" >&2; exit 2; }
shift
SRC=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -x "$BUILD/twinfold-level" ]; then
    echo "scripts/tiled.sh: $BUILD/twinfold-level is missing; run make first" >&2
    exit 2
fi
command -v tiled >/dev/null 2>&1 || { echo "scripts/tiled.sh: tiled is not installed (make deps)" >&2; exit 2; }

HOMEDIR=$(mktemp -d "${TMPDIR:-/tmp}/twinfold-tiled-XXXXXX")
trap 'rm -rf "$HOMEDIR"' EXIT INT TERM
mkdir -p "$HOMEDIR/config/tiled/extensions" "$HOMEDIR/runtime" "$HOMEDIR/tmp"
chmod 700 "$HOMEDIR/runtime"
cp "$SRC"/tools/tiled/*.js "$HOMEDIR/config/tiled/extensions/"
if [ -n "${TWINFOLD_TILED_SCRIPTS:-}" ]; then
    (IFS=:; for script in $TWINFOLD_TILED_SCRIPTS; do cp "$script" "$HOMEDIR/config/tiled/extensions/"; done)
fi

status=0
HOME="$HOMEDIR" XDG_CONFIG_HOME="$HOMEDIR/config" XDG_RUNTIME_DIR="$HOMEDIR/runtime" \
    TMPDIR="$HOMEDIR/tmp" TWINFOLD_LEVEL_TOOL="$BUILD/twinfold-level" \
    TWINFOLD_PICTURES="${TWINFOLD_PICTURES-$BUILD/game}" \
    tiled "$@" || status=$?
exit $status
