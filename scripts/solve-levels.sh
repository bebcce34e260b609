#!/bin/sh
# Solves every shipped level and the solver's own test levels again with
# twinfold-solve and prints each one's par and time. The replays go to
# BUILD/solve/; with a second argument "write" the shipped levels' replays
# are written over data/levels/*.replay instead.
# Exit status: 0 when every level was solved, 1 otherwise.
set -u
BUILD=${1:-build}
WRITE=${2:-}
SOLVE=$BUILD/twinfold-solve
mkdir -p "$BUILD/solve/levels" "$BUILD/solve/tests"

status=0
solve() {
    # $1 level, $2 replay to write
    if ! "$SOLVE" "$1" -o "$2"; then
        status=1
    fi
}

echo "Shipped levels:"
for level in data/levels/*.lvl; do
    name=$(basename "$level" .lvl)
    if [ "$WRITE" = write ]; then
        solve "$level" "data/levels/$name.replay"
    else
        solve "$level" "$BUILD/solve/levels/$name.replay"
    fi
done
echo "Solver test levels:"
for level in tests/levels/*.lvl; do
    [ -e "$level" ] || continue
    solve "$level" "$BUILD/solve/tests/$(basename "$level" .lvl).replay"
done
exit $status
