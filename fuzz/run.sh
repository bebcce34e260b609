#!/bin/sh
# Runs every fuzz target for SECONDS each, JOBS at a time, on its seeds and the
# corpus it grew before, and fails when any target reports a finding (a crash,
# a sanitizer report, a leak, a timeout or running out of memory). Findings are
# kept as FUZZBUILD/findings/<target>-*; each target's log is FUZZBUILD/logs/<target>.log.
# Usage: run.sh FUZZBUILD SECONDS [JOBS] [TARGET...]
set -u
FUZZBUILD=$1
SECONDS_EACH=$2
JOBS=${3:-2}
shift 2
[ $# -gt 0 ] && shift
TARGETS=${*:-level png bmp webbmp adx wav replay pack}
HERE=$(cd "$(dirname "$0")" && pwd)
cd "$FUZZBUILD"
mkdir -p logs findings

# Longest input worth trying per target: room for the interesting headers and
# a few chunks or commands without making every run slow.
maxlen() {
    case $1 in
        png | bmp | webbmp | pack) echo 16384 ;;
        adx | wav) echo 8192 ;;
        *) echo 4096 ;;
    esac
}

# The browser's BMP reader reads the same files as the game's.
dictof() {
    case $1 in
        webbmp) echo bmp ;;
        *) echo "$1" ;;
    esac
}

run() {
    t=$1
    mkdir -p "corpus/$t"
    ./fuzz-$t -max_total_time="$SECONDS_EACH" -max_len="$(maxlen "$t")" -timeout=10 \
        -dict="$HERE/$(dictof "$t").dict" -close_fd_mask=3 -print_final_stats=1 \
        -artifact_prefix="findings/$t-" "corpus/$t" "seeds/$t" > "logs/$t.log" 2>&1
}

# One line per target: executions, coverage and the verdict.
report() {
    t=$1
    rc=$2
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "logs/$t.log" | grep -o '[0-9]*$')
    cov=$(grep -o 'cov: [0-9]*' "logs/$t.log" | tail -1)
    if [ "$rc" = 0 ]; then verdict=clean; else verdict="FINDING (status $rc, see $FUZZBUILD/logs/$t.log)"; fi
    echo "fuzz-$t: ${execs:-?} runs in ${SECONDS_EACH} s, ${cov:-cov: ?}, $verdict"
}

failed=0
batch=""
running=0
# Waits for the targets started together and reports each.
finish() {
    for t in $batch; do
        eval "wait \$pid_$t"
        rc=$?
        report "$t" "$rc"
        [ "$rc" = 0 ] || failed=1
    done
    batch=""
    running=0
}
for t in $TARGETS; do
    run "$t" &
    eval "pid_$t=$!"
    batch="$batch $t"
    running=$((running + 1))
    [ "$running" -ge "$JOBS" ] && finish
done
finish
exit $failed
