#!/bin/sh
# Soak run: the real game, built with the sanitizers, played by random but
# seeded input for a given time (the input driver's soak mode), mixed with the
# shipped replays so that every level is reached. One round a level, each a
# game of its own: the level is the game's first, New game plays it to its end
# by its replay, and random input takes over on the level that follows (or the
# ending), New game bringing the round's level back now and then; the rounds
# share the time the replays leave, at least ten seconds each. Any crash,
# sanitizer report or hang fails the run and prints the seed that repeats it;
# so does a level that no round loaded. The loads per level are printed.
#
#   scripts/soak.sh BUILD [SECONDS [SEED]]     (defaults: 600 s, a seed from the clock)
set -e
BUILD=$(cd "${1:-build-asan}" && pwd)
SECONDS_=${2:-600}
SEED=${3:-$(date +%s)}
LEVELS=$(cd "$(dirname "$0")/../data/levels" && pwd)
GAME="$BUILD/twinfold"
DRIVER="$BUILD/libtwinfold_driver.so"
PLAYSCRIPT="$BUILD/twinfold-playscript"
for f in "$GAME" "$DRIVER" "$PLAYSCRIPT" "$BUILD/game/tutorial1.lvl"; do
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

# 1. A display of its own.
. "$(dirname "$0")/xvfb.sh"
start_xvfb 121 160
ROUNDS=$(ls "$LEVELS"/*.replay | wc -l)
echo "soak: seed $SEED for $SECONDS_ s, $ROUNDS rounds"
BEGAN=$(date +%s)
: >"$WORK/loads"

# 2. A round: the level as the first of a game folder of links to the game
# data; the play script that plays it by its replay, without its last line
# (the quit); the game fed by the driver; a hang is a report that stops growing.
round() {  # round LEVEL SEED RANDOMSECONDS
    rm -rf "$WORK/game" "$WORK/report" && mkdir "$WORK/game"
    for f in "$BUILD"/game/*; do ln -s "$f" "$WORK/game/"; done
    ln -sf "$BUILD/game/$1.lvl" "$WORK/game/tutorial1.lvl"
    "$PLAYSCRIPT" "$WORK/game" "$LEVELS/$1.replay" >"$WORK/script.full"
    sed '$d' "$WORK/script.full" >"$WORK/script"
    (cd "$WORK/game" && SDL_AUDIODRIVER=dummy LP_NUM_THREADS=1 \
        LD_PRELOAD="$DRIVER${LD_PRELOAD:+:$LD_PRELOAD}" TWINFOLD_SCRIPT="$WORK/script" \
        TWINFOLD_SOAK="$2 $3" TWINFOLD_REPORT="$WORK/report" \
        exec "$GAME" >"$WORK/stdout" 2>"$WORK/stderr") &
    GAME_PID=$!
    last=-1
    still=0
    status=0
    while kill -0 "$GAME_PID" 2>/dev/null; do
        size=$(stat -c %s "$WORK/report" 2>/dev/null || echo 0)
        if [ "$size" = "$last" ]; then still=$((still + 1)); else still=0; last=$size; fi
        if [ $still -ge 120 ]; then  # a minute without a new report line
            echo "soak: the game hangs ($1, seed $2); last report line: $(tail -1 "$WORK/report" 2>/dev/null)" >&2
            kill -ABRT "$GAME_PID" 2>/dev/null || true
            sleep 2
            tail -40 "$WORK/stderr" >&2
            exit 1
        fi
        sleep 0.5
    done
    wait "$GAME_PID" || status=$?
    GAME_PID=""
    summary=$(grep '^soak ' "$WORK/report" 2>/dev/null || true)
    if [ $status -ne 0 ] || grep -q 'Sanitizer\|runtime error:' "$WORK/stderr"; then
        echo "soak: FAILED in $1 with status $status (seed $2): $summary" >&2
        tail -60 "$WORK/stderr" >&2
        exit 1
    fi
    # The folder's first level is the round's own.
    awk -v first="$1.lvl" '$1 == "load" { print ($3 == "tutorial1.lvl" ? first : $3) }' \
        "$WORK/report" >>"$WORK/loads"
    echo "soak: $1: $summary, $3 s random"
}
i=0
for replay in "$LEVELS"/*.replay; do
    left=$((SECONDS_ - ($(date +%s) - BEGAN)))
    share=$((left / (ROUNDS - i)))
    round "$(basename "$replay" .replay)" $((SEED + i)) $((share > 10 ? share : 10))
    i=$((i + 1))
done

# 3. The verdict: loads per level, and none left out.
missed=""
for replay in "$LEVELS"/*.replay; do
    level=$(basename "$replay" .replay).lvl
    n=$(grep -cx "$level" "$WORK/loads" || true)
    echo "soak: $level loaded $n times"
    [ "$n" -gt 0 ] || missed="$missed $level"
done
if [ -n "$missed" ]; then
    echo "soak: FAILED (seed $SEED): never reached:$missed" >&2
    exit 1
fi
echo "soak: passed"
