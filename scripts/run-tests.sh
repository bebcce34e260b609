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
. "$(dirname "$0")/xvfb.sh"
[ -z "$DISPLAY" ] && start_xvfb 91 120

cd "$BUILD"
ctest --output-on-failure -j "$JOBS" --timeout 300 "$@"
