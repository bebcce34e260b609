#!/bin/sh
# Soak run: the real game, built with the sanitizers, played by random but
# seeded input for a given time (the input driver's soak mode). Any crash,
# sanitizer report or hang fails the run and prints the seed that repeats it.
#
#   scripts/soak.sh BUILD [SECONDS [SEED]]     (defaults: 600 s, a seed from the clock)
set -e
BUILD=$(cd "${1:-build-asan}" && pwd)
SECONDS_=${2:-600}
SEED=${3:-$(date +%s)}
GAME="$BUILD/twinfold"
DRIVER="$BUILD/libtwinfold_driver.so"
for f in "$GAME" "$DRIVER" "$BUILD/game/tutorial1.lvl"; do
    [ -e "$f" ] || { echo "soak: $f is missing; build first" >&2; exit 2; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/twinfold-soak-XXXXXX")
XVFB_PID=""
GAME_PID=""
cleanup() {
    [ -n "$GAME_PID" ] && kill -9 "$GAME_PID" 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# 1. A display of its own, and a game folder of links to the game data.
. "$(dirname "$0")/xvfb.sh"
start_xvfb 121 160
mkdir "$WORK/game"
for f in "$BUILD"/game/*; do ln -s "$f" "$WORK/game/"; done

# 2. The game, fed by the driver; a hang is a report that stops growing.
echo "soak: seed $SEED for $SECONDS_ s"
(cd "$WORK/game" && SDL_AUDIODRIVER=dummy LP_NUM_THREADS=1 \
    LD_PRELOAD="$DRIVER${LD_PRELOAD:+:$LD_PRELOAD}" \
    TWINFOLD_SOAK="$SEED $SECONDS_" TWINFOLD_REPORT="$WORK/report" \
    exec "$GAME" >"$WORK/stdout" 2>"$WORK/stderr") &
GAME_PID=$!
last=-1
still=0
status=0
while kill -0 "$GAME_PID" 2>/dev/null; do
    size=$(stat -c %s "$WORK/report" 2>/dev/null || echo 0)
    if [ "$size" = "$last" ]; then still=$((still + 1)); else still=0; last=$size; fi
    if [ $still -ge 120 ]; then  # a minute without 300 new frames
        echo "soak: the game hangs (seed $SEED); last report line: $(tail -1 "$WORK/report" 2>/dev/null)" >&2
        kill -ABRT "$GAME_PID" 2>/dev/null || true
        sleep 2
        tail -40 "$WORK/stderr" >&2
        exit 1
    fi
    sleep 0.5
done
wait "$GAME_PID" || status=$?
GAME_PID=""

# 3. The verdict.
summary=$(grep '^soak ' "$WORK/report" 2>/dev/null || true)
if [ $status -ne 0 ] || grep -q 'Sanitizer\|runtime error:' "$WORK/stderr"; then
    echo "soak: FAILED with status $status (seed $SEED): $summary" >&2
    tail -60 "$WORK/stderr" >&2
    exit 1
fi
echo "soak: passed: ${summary:-no summary}"
