# The helpers that scripts/bench.sh and scripts/bench-tricks.sh share; sourced,
# not run. They expect BUILD (the build folder), WORK (scratch files) and GAME
# (the game's data folder); PIDS collects every program started on a display.

say() { echo "bench: $*" >&2; }

# Arithmetic on figures that may be "-": awk expression over a and b.
calc() {
    awk -v a="$1" -v b="$2" "BEGIN { if (a == \"-\" || b == \"-\" || (b + 0) == 0) print \"-\"; else printf \"$3\", $4 }"
}

# Median of the numbers on standard input, one a line ("-" for none).
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Ten minutes of stereo music in WORK/ten.adx, made once and kept (it is slow
# to make): a tone over pink noise, so that every block has work in it.
tenminutes() {
    TEN="$WORK/ten.adx"
    [ -s "$TEN" ] && return 0
    ffmpeg -v error -nostdin -y -f lavfi -i "sine=frequency=220:duration=600:sample_rate=44100" \
        -f lavfi -i "anoisesrc=d=600:c=pink:r=44100:a=0.1" \
        -filter_complex "[0][1]amix=inputs=2,aformat=channel_layouts=stereo" \
        -c:a pcm_s16le "$WORK/ten.wav"
    "$BUILD/twinfold-adx" encode "$WORK/ten.wav" "$TEN.part"
    mv "$TEN.part" "$TEN"
    rm -f "$WORK/ten.wav"
}

# --- Programs on a display, timed by the preload library bench/swapclock ----
SWAPLIB="$BUILD/libtwinfold_swapclock.so"

# A number from a clock file, digits as written (awk's print would round it).
field() { awk -v k="$2" '$1 == k { v = $2; sub(/^0+/, "", v); print v == "" ? "0" : v }' "$1" 2>/dev/null; }
# launch CLOCK DISPLAY OUTPUT PROGRAM ARGS...: starts the program in the game's
# data folder with the swap clock; sets LAUNCHED to its pid and T0 to the time.
launch() {
    clock=$1 disp=$2 out=$3
    shift 3
    rm -f "$clock"
    T0=$(date +%s%N)
    (cd "$GAME" && DISPLAY=$disp TWINFOLD_SWAPCLOCK="$clock" LD_PRELOAD="$SWAPLIB" exec "$@") \
        >"$out" 2>&1 &
    LAUNCHED=$!
    PIDS="$PIDS $LAUNCHED"
}
# waitswap CLOCK PID: waits (bounded) until the program has swapped once.
waitswap() {
    i=0
    while [ "$(field "$1" swaps)" = "" ] || [ "$(field "$1" swaps)" -lt 1 ]; do
        i=$((i + 1))
        if [ $i -gt 600 ] || ! kill -0 "$2" 2>/dev/null; then return 1; fi
        sleep 0.05
    done
}
startup_ms() { awk -v f="$(field "$1" first)" -v t="$T0" 'BEGIN { printf "%.0f", (f - t) / 1e6 }'; }
finish() {
    kill -CONT "$1" 2>/dev/null || true
    kill "$1" 2>/dev/null || true
    i=0
    while kill -0 "$1" 2>/dev/null && [ $i -lt 200 ]; do i=$((i + 1)); sleep 0.05; done
    kill -9 "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

# firstswap_instructions DISPLAY FUNCTION PROGRAM ARGS...: millions of
# instructions, counted by callgrind, from launch to the end of the first swap
# ("-" if it never came): all of them, or only those inside FUNCTION (a
# callgrind pattern) when it is not empty. A figure the machine's load cannot change.
firstswap_instructions() {
    disp=$1 only=$2
    shift 2
    [ -n "$only" ] && set -- --toggle-collect="$only" "$@"
    rm -f "$WORK/firstswap.cg"*
    (cd "$GAME" && DISPLAY=$disp exec valgrind --tool=callgrind \
        --callgrind-out-file="$WORK/firstswap.cg" --dump-after=SDL_GL_SwapBuffers "$@") \
        >/dev/null 2>&1 &
    cgpid=$!
    PIDS="$PIDS $cgpid"
    i=0
    until grep -q '^totals:' "$WORK/firstswap.cg.1" 2>/dev/null; do
        i=$((i + 1))
        if [ $i -gt 2400 ] || ! kill -0 "$cgpid" 2>/dev/null; then break; fi
        sleep 0.05
    done
    finish "$cgpid"
    awk '/^totals:/ { printf "%.0f", $2 / 1e6; found = 1 } END { if (!found) printf "-" }' \
        "$WORK/firstswap.cg.1" 2>/dev/null || echo -
}
