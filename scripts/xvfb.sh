# Sourced by the scripts that need a virtual X display of their own.
# start_xvfb FIRST LAST: starts Xvfb on the first free display number from
# FIRST to LAST, exports DISPLAY, sets XVFB_PID (the caller's clean-up kills
# it) and waits until the server answers (bounded: 200 tries of 50 ms).
start_xvfb() {
    for n in $(seq "$1" "$2"); do
        [ -e /tmp/.X$n-lock ] && continue
        Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=:$n
        break
    done
    i=0
    until xdpyinfo >/dev/null 2>&1; do
        i=$((i + 1))
        if [ $i -gt 200 ] || ! kill -0 "$XVFB_PID" 2>/dev/null; then
            echo "Xvfb did not start" >&2
            exit 1
        fi
        sleep 0.05
    done
}
