#!/bin/sh
# Runs the whole test suite headless: starts a virtual X display when none is
# set, and sends sound to SDL's dummy driver. Arguments after the build folder
# and the job count go to ctest (-R PATTERN runs some tests only).
set -e
BUILD=${1:-build}
JOBS=${2:-2}
[ $# -ge 2 ] && shift 2 || shift $#

export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
export LIBGL_ALWAYS_SOFTWARE=1

# The clean-up is set before anything is started, so every exit takes the
# display down again.
XVFB_PID=""
trap '[ -n "$XVFB_PID" ] && kill $XVFB_PID 2>/dev/null || true' EXIT
trap 'exit 130' INT TERM HUP
if [ -z "$DISPLAY" ]; then
    for n in $(seq 91 120); do
        [ -e /tmp/.X$n-lock ] && continue
        Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=:$n
        break
    done
    # Wait until the server answers (bounded: 200 tries of 50 ms).
    i=0
    until xdpyinfo >/dev/null 2>&1; do
        i=$((i + 1))
        if [ $i -gt 200 ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
            echo "Xvfb did not start" >&2
            exit 1
        fi
        sleep 0.05
    done
fi

cd "$BUILD"
ctest --output-on-failure -j "$JOBS" --timeout 300 "$@"
