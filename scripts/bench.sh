#!/bin/sh
# Measures the game against its time limits and against other programs, and
# writes docs/performance.md: the Google Benchmark programs (audio callback,
# step and collisions, level loading, pictures into layers), whole-program
# timings with hyperfine (ADX decoding against ffmpeg), the speed tricks with
# and without (scripts/bench-tricks.sh), frame rates and start-up under a
# virtual display with Mesa's software renderer (against the plain OpenGL
# program bench/frames), and the level solver when it is built.
# Usage: scripts/bench.sh [BUILD]   (run by `make bench`; takes a few minutes)
set -e
BUILD_NAME=${1:-build}       # as given, for the commands quoted in the report
BUILD=$(cd "$BUILD_NAME" && pwd)
SRC=$(cd "$(dirname "$0")/.." && pwd)
DOC="$SRC/docs/performance.md"
WORK="$BUILD/bench"          # scratch files, kept between runs (the music is slow to make)
GAME="$BUILD/game"
mkdir -p "$WORK" "$SRC/docs"

export SDL_AUDIODRIVER=dummy
export LIBGL_ALWAYS_SOFTWARE=1

. "$SRC/scripts/bench-common.sh"

# --- Two displays of our own: the game's and the plain program's -----------
XPIDS=""   # the servers
PIDS=""    # every program started on them
cleanup() {
    set +e   # most of them have ended already
    for p in $PIDS; do kill -CONT "$p" 2>/dev/null; kill "$p" 2>/dev/null; done
    for p in $XPIDS; do kill "$p" 2>/dev/null; done
    return 0
}
trap cleanup EXIT INT TERM
# Starts a virtual display and sets NEWDISPLAY to its name (bounded wait).
newdisplay() {
    NEWDISPLAY=""
    for n in $(seq 140 180); do
        [ -e /tmp/.X$n-lock ] && continue
        Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        xpid=$!
        XPIDS="$XPIDS $xpid"
        i=0
        until DISPLAY=:$n xdpyinfo >/dev/null 2>&1; do
            i=$((i + 1))
            if [ $i -gt 200 ] || ! kill -0 "$xpid" 2>/dev/null; then break; fi
            sleep 0.05
        done
        if DISPLAY=:$n xdpyinfo >/dev/null 2>&1; then
            NEWDISPLAY=:$n
            return 0
        fi
    done
    return 1
}
newdisplay || { echo "bench: Xvfb did not start" >&2; exit 1; }
GAMEDISPLAY=$NEWDISPLAY
newdisplay || { echo "bench: Xvfb did not start" >&2; exit 1; }
PLAINDISPLAY=$NEWDISPLAY
export DISPLAY=$GAMEDISPLAY

# --- The machine ------------------------------------------------------------
CPU=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
CORES=$(nproc)
MESA=$(glxinfo -B 2>/dev/null | sed -n 's/^OpenGL version string: *//p' | head -1)
RENDERER=$(glxinfo -B 2>/dev/null | sed -n 's/^ *Device: *//p' | head -1)
LOAD=$(cut -d' ' -f1-3 /proc/loadavg)

# --- 1. Google Benchmark: medians of five repetitions ------------------------
say "benchmark programs"
BMCSV="$WORK/benchmarks.csv"
"$BUILD/twinfold_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.1 --benchmark_out="$BMCSV" --benchmark_out_format=csv \
    >"$WORK/benchmarks.log" 2>&1

# CPU time of a benchmark's median in ns ("-" when it did not run).
bm() {
    awk -F, -v want="\"$1_median\"" '
        $1 == want {
            u = $5; gsub(/"/, "", u); f = u == "us" ? 1e3 : u == "ms" ? 1e6 : u == "s" ? 1e9 : 1
            printf "%.0f", $4 * f; found = 1 }
        END { if (!found) printf "-" }' "$BMCSV"
}
# --- 2. ADX decoding against ffmpeg, whole process ---------------------------
say "ten minutes of music"
tenminutes
FRAMES=26460000   # ten minutes at 44100 Hz
ADX_CMD="$BUILD/twinfold-adx decode $TEN /dev/null $FRAMES"
FF_CMD="ffmpeg -v error -nostdin -i $TEN -f s16le -y /dev/null"
# Five rounds, each one warm-up and one timed run of ours and then of
# ffmpeg's, so that the two take turns and a change in the machine's load
# reaches both alike.
: >"$WORK/adx.txt"
for round in 1 2 3 4 5; do
    hyperfine -N --warmup 1 --runs 1 --export-csv "$WORK/adx.csv" "$ADX_CMD" "$FF_CMD" \
        >>"$WORK/adx.log" 2>&1
    # hyperfine's CSV: command, mean, stddev, median, user, system, ... in seconds.
    awk -F, 'NR == 2 { a = $4; ac = $5 + $6 } NR == 3 { f = $4; fc = $5 + $6 }
        END { printf "%.1f %.1f %.1f %.1f %.3f\n", a * 1000, f * 1000, ac * 1000, fc * 1000, f / a }' \
        "$WORK/adx.csv" >>"$WORK/adx.txt"
done
column() { awk -v c="$1" '{ print $c }' "$WORK/adx.txt" | median; }
ADX_MS=$(column 1)
FF_MS=$(column 2)
ADX_CPU=$(column 3)
FF_CPU=$(column 4)
ADX_RATIO=$(column 5)

# --- 2b. The speed tricks, each with and without (a second build) -------------
DISPLAY=$GAMEDISPLAY "$SRC/scripts/bench-tricks.sh" "$BUILD_NAME" "$WORK/tricks.md"

# --- 3. Frames and start-up under the virtual displays --------------------------
# The game and the plain program each have a display of their own and run at
# the same time, but only one at a time is let run (the other is stopped with
# SIGSTOP): their frame rates are measured in alternating windows a few
# seconds apart, so a change in the machine's load hits both alike.
GAMECLOCK="$WORK/game.clock"
PLAINCLOCK="$WORK/plain.clock"

# window CLOCK PID OTHER: frames per second of PID over 1.5 s, OTHER stopped;
# counted between swap times, so only whole frames count.
window() {
    kill -STOP "$3" 2>/dev/null || true
    kill -CONT "$2" 2>/dev/null || true
    sleep 0.3
    n1=$(field "$1" swaps); t1=$(field "$1" last)
    sleep 1.5
    n2=$(field "$1" swaps); t2=$(field "$1" last)
    awk -v a="$n1" -v b="$n2" -v s="$t1" -v e="$t2" 'BEGIN { if (e > s) printf "%.1f", (b - a) * 1e9 / (e - s); else print "-" }'
}
# pairs MODE GAMEPID PLAINPID: eight alternating windows each, with ratios.
pairs() {
    for k in 1 2 3 4 5 6 7 8; do
        g=$(window "$GAMECLOCK" "$2" "$3")
        p=$(window "$PLAINCLOCK" "$3" "$2")
        echo "game-$1 $g" >>"$WORK/frames.txt"
        echo "plain-$1 $p" >>"$WORK/frames.txt"
        echo "ratio-$1 $(calc "$g" "$p" '%.3f' 'a/b')" >>"$WORK/frames.txt"
    done
}

: >"$WORK/frames.txt"
LEVEL=tutorial1.lvl
NEXT=$(sed -n 's/.*setNextLevel("\([^"]*\)").*/\1/p' "$GAME/$LEVEL" | head -1)
ROUNDS=5
for round in $(seq 1 $ROUNDS); do
    say "start-up, $round of $ROUNDS"
    launch "$GAMECLOCK" "$GAMEDISPLAY" "$WORK/game.out" "$BUILD/twinfold"
    waitswap "$GAMECLOCK" "$LAUNCHED" && echo "startup $(startup_ms "$GAMECLOCK")" >>"$WORK/frames.txt"
    finish "$LAUNCHED"
    launch "$PLAINCLOCK" "$PLAINDISPLAY" "$WORK/plain.out" "$BUILD/twinfold_frames" menu
    waitswap "$PLAINCLOCK" "$LAUNCHED" && echo "plain-startup $(startup_ms "$PLAINCLOCK")" >>"$WORK/frames.txt"
    finish "$LAUNCHED"
done

say "frames in the menu"
launch "$GAMECLOCK" "$GAMEDISPLAY" "$WORK/game.out" "$BUILD/twinfold"
GAMEPID=$LAUNCHED
waitswap "$GAMECLOCK" "$GAMEPID" || true
launch "$PLAINCLOCK" "$PLAINDISPLAY" "$WORK/plain.out" "$BUILD/twinfold_frames" menu
PLAINPID=$LAUNCHED
waitswap "$PLAINCLOCK" "$PLAINPID" || true
sleep 1
pairs menu "$GAMEPID" "$PLAINPID"
finish "$PLAINPID"

say "frames in play"
# Into play: new game and the four introduction pages, as a player clicks.
kill -CONT "$GAMEPID" 2>/dev/null || true
DISPLAY=$GAMEDISPLAY xdotool mousemove_relative -- -4000 -4000 || true
DISPLAY=$GAMEDISPLAY xdotool mousemove_relative -- 700 138 || true
for k in 1 2 3 4 5; do DISPLAY=$GAMEDISPLAY xdotool click 1 || true; sleep 0.3; done
i=0
until grep -q "next level: $NEXT" "$WORK/game.out" 2>/dev/null; do
    i=$((i + 1)); [ $i -gt 600 ] && break; sleep 0.05
done
PLAYING=$([ $i -le 600 ] && echo yes || echo no)
launch "$PLAINCLOCK" "$PLAINDISPLAY" "$WORK/plain.out" "$BUILD/twinfold_frames" play "$LEVEL"
PLAINPID=$LAUNCHED
waitswap "$PLAINCLOCK" "$PLAINPID" || true
sleep 2   # the game is past its fade-in
[ "$PLAYING" = yes ] && pairs play "$GAMEPID" "$PLAINPID"
finish "$PLAINPID"
finish "$GAMEPID"

say "start-up instructions"
STARTUP_MI=$(firstswap_instructions "$GAMEDISPLAY" "" "$BUILD/twinfold")
PLAIN_STARTUP_MI=$(firstswap_instructions "$GAMEDISPLAY" "" "$BUILD/twinfold_frames" menu)

of() { awk -v k="$1" '$1 == k && $2 != "-" { print $2 }' "$WORK/frames.txt" | median; }
GAME_MENU=$(of game-menu); PLAIN_MENU=$(of plain-menu); RATIO_MENU=$(of ratio-menu)
GAME_PLAY=$(of game-play); PLAIN_PLAY=$(of plain-play); RATIO_PLAY=$(of ratio-play)
STARTUP=$(of startup); PLAIN_STARTUP=$(of plain-startup)
STARTUPS=$(awk '$1 == "startup" { printf "%s%s", sep, $2; sep = ", " }' "$WORK/frames.txt")

# --- 4. The solver, once it is built -------------------------------------------
SOLVER="$BUILD/twinfold-solve"
: >"$WORK/solver.txt"
if [ -x "$SOLVER" ]; then
    say "solver"
    for level in "$SRC"/data/levels/*.lvl; do
        name=$(basename "$level")
        s=$(date +%s%N)
        # The route goes to standard output; the solver's own line to standard error.
        line=$(cd "$SRC" && "$SOLVER" "data/levels/$name" 2>&1 >/dev/null |
            grep "solved" | head -1 | tr '|' '/' || true)
        e=$(date +%s%N)
        t=$(echo "$line" | sed -n 's/.*solved in \([0-9.]*\) *s.*/\1/p')
        par=$(echo "$line" | sed -n 's/.*par \([0-9]*\) steps.*/\1/p')
        searched=$(echo "$line" | sed -n 's/.* \([0-9]*\) world steps searched.*/\1/p')
        rate=$(calc "${searched:--}" "${t:--}" '%.1f' 'a/b/1e6')
        printf '%s|%s|%s|%s|%s|%s\n' "$name" "${par:--}" "${t:--}" \
            "$(awk -v s="$s" -v e="$e" 'BEGIN { printf "%.2f", (e - s) / 1e9 }')" \
            "${searched:--}" "$rate" >>"$WORK/solver.txt"
    done
fi

# --- 5. The report --------------------------------------------------------------
say "writing docs/performance.md"
MUSIC=$(bm BM_MusicCallback)
MIXER=$(bm BM_MixerEightChannels)
BOTH=$(bm BM_MusicAndEightChannels)
row() { # element count -> table row of step, collidey and load
    st=$(bm "BM_Step/$1"); co=$(bm "BM_Collidey/$1"); lo=$(bm "BM_LoadLevel/$1")
    echo "| $1 | $(calc "$st" 1 '%.2f' 'a/1000') | $(calc "$st" 30000000 '%.4f' 'a*100/b') | $(calc "$co" 1 '%.2f' 'a/1000') | $(calc "$co" "$1" '%.2f' 'a/b') | $(calc "$lo" 1 '%.2f' 'a/1e6') | $(calc "$lo" "$1" '%.0f' 'a/b') |"
}
pic() { calc "$(bm "$1")" 1 '%.2f' 'a/1e6'; }

{
cat <<EOF
# Performance

Written by \`make bench\` (scripts/bench.sh) on $(date -u '+%Y-%m-%d %H:%M UTC'). Every figure
below comes from that one run; run \`make bench\` again to reproduce them all.

Machine: $CPU, $CORES cores (load average $LOAD when the run began: the
machine is shared, so wall-clock figures are noisy; every figure is a median of
repeats and every comparison is a ratio against a baseline measured in the same
run). Display: Xvfb 1024x768x24 with Mesa's software renderer, ${RENDERER:-llvmpipe},
OpenGL ${MESA:-version unknown}.

In-process figures are Google Benchmark's median CPU time of five repetitions:
\`$BUILD_NAME/twinfold_bench --benchmark_repetitions=5 --benchmark_filter=NAME\`
(with a display for the picture figures). Whole programs are timed with
hyperfine, in five rounds that alternate with the baseline.

## Audio callback

One 4096-frame buffer plays for 4096 / 44100 s = 92.9 ms.

| work per buffer | time | share of 92.9 ms | frames per second | benchmark |
|---|---|---|---|---|
| music decoder (\`Music::audio_callback\`) | $(calc "$MUSIC" 1 '%.1f' 'a/1000') us | $(calc "$MUSIC" 92880000 '%.3f' 'a*100/b') % | $(calc "$MUSIC" 1 '%.0f' '4096e9/a/1e6') million | BM_MusicCallback |
| mixer, all eight channels busy | $(calc "$MIXER" 1 '%.1f' 'a/1000') us | $(calc "$MIXER" 92880000 '%.3f' 'a*100/b') % | | BM_MixerEightChannels |
| the whole callback: music, then eight channels | $(calc "$BOTH" 1 '%.1f' 'a/1000') us | $(calc "$BOTH" 92880000 '%.3f' 'a*100/b') % | | BM_MusicAndEightChannels |

## ADX decoding against ffmpeg

Ten minutes of stereo music ($FRAMES frames, a tone over pink noise made with
ffmpeg and encoded by \`twinfold-adx encode\`), decoded to raw 16-bit samples by
the game's own decoder and by ffmpeg, whole process. Both
write their samples to /dev/null, so the disk is not what is timed:

| program | wall time | CPU time (user + system) |
|---|---|---|
| \`twinfold-adx decode ten.adx /dev/null $FRAMES\` | $ADX_MS ms | $ADX_CPU ms |
| \`ffmpeg -v error -nostdin -i ten.adx -f s16le -y /dev/null\` | $FF_MS ms | $FF_CPU ms |
| ratio, ffmpeg time / ours (median of the five rounds' ratios; target at least 1.5) | $ADX_RATIO | $(calc "$FF_CPU" "$ADX_CPU" '%.2f' 'a/b') |

Five rounds of \`hyperfine -N --warmup 1 --runs 1 '<ours>' '<ffmpeg>'\`, so the two
programs take turns; medians of the rounds. The files are in \`$BUILD_NAME/bench/\`.

## The step, collisions and loading: growth

Courses of 10 to 10,000 elements (ground pieces, slopes, ledges, pickups; hero
walking, running and jumping); level files of as many commands. One step may
cost 1 % of its 30 ms, 300 us.

| elements | step (us) | % of 30 ms | collidey (us) | collidey ns per element | load (ms) | load ns per command |
|---|---|---|---|---|---|---|
$(row 10)
$(row 100)
$(row 1000)
$(row 10000)

Benchmarks BM_Step/N, BM_Collidey/N, BM_LoadLevel/N. Loading writes the
loader's one log line per command to /dev/null.

## Pictures into a graphics layer

A 1024 by 768 picture (the title page of the game's data; the BMP is the same
pixels at 24 bits), loaded into a layer of twelve 256-pixel tiles, against the
bare decode of the same file, as anyone would call the decoder, and against the
same decoder set up as the game's Bitmap sets it up:

| | PNG | BMP |
|---|---|---|
| bare decode: libpng / \`SDL_LoadBMP\` (ms) | $(pic BM_LibpngDecode) | $(pic BM_SDLDecodeBMP) |
| set up as the game does: libpng without zlib's checksum / SDL's reader over the file read in one call (ms) | $(pic BM_LibpngDecodeUnchecked) | $(pic BM_SDLDecodeBMPFromMemory) |
| the game's Bitmap (decode, and for PNG the turn to blue, green, red) (ms) | $(pic BM_BitmapPNG) | $(pic BM_BitmapBMP) |
| into a layer: Bitmap, tiles, texture upload (ms) | $(pic BM_LayerPNG) | $(pic BM_LayerBMP) |
| **ratio layer / bare decode (target at most 1.3)** | $(calc "$(bm BM_LayerPNG)" "$(bm BM_LibpngDecode)" '%.2f' 'a/b') | $(calc "$(bm BM_LayerBMP)" "$(bm BM_SDLDecodeBMP)" '%.2f' 'a/b') |
| ratio layer / the decoder set up as the game does | $(calc "$(bm BM_LayerPNG)" "$(bm BM_LibpngDecodeUnchecked)" '%.2f' 'a/b') | $(calc "$(bm BM_LayerBMP)" "$(bm BM_SDLDecodeBMPFromMemory)" '%.2f' 'a/b') |

Benchmarks BM_LayerPNG, BM_BitmapPNG, BM_LibpngDecode, BM_LibpngDecodeUnchecked,
BM_LayerBMP, BM_BitmapBMP, BM_SDLDecodeBMP, BM_SDLDecodeBMPFromMemory.

The layer meets its target because the game decodes faster than the bare
decoders do, not because the tiles cost nothing:

- SDL's file stream reads a few kilobytes a system call, and those calls were
  most of a bare BMP read; the game reads the file in one call and hands SDL
  the bytes in memory.
- zlib's checksum took about a third of libpng's time. Every PNG chunk, the
  image data among them, carries a CRC-32 that libpng still checks, so the game
  turns the second checksum off.

What the layer adds to the decode, about the same for both kinds, is its
twelve textures: the turn of every pixel into red, green, blue, alpha (four
pixels a step with the byte shuffle, see the speed tricks) and the upload. The upload is most of it:
\`glTexImage2D\` into Mesa's software renderer converts every texel once more,
from the four bytes the game hands it to the renderer's own red-green-blue
layout, and clears the new texture first (callgrind,
\`valgrind --tool=callgrind --toggle-collect='GraphicsLayer::init*'
$BUILD_NAME/twinfold_bench --benchmark_filter=LayerBMP\`). The formats of that
call, four bytes a texel and red-green-blue inside when there is no alpha
picture, are the ones the drawing relies on, so that part stays.

## Frames per second and start-up

The game and \`twinfold_frames\` (bench/frames: the same screen set-up and the same
pictures in the same tiles, one bound texture and one four-vertex strip per
tile, then swap and drain events, nothing else), each on a virtual display of
its own. Both run at once, but only one at a time is let run (the other is
stopped with SIGSTOP): eight alternating windows of 1.5 s each, so that the
machine's changing load hits both alike. Frames are counted by the preload
library bench/swapclock between swap times. Play mode is the first level at
rest after the fade-in, reached by clicking through the menu and the
introduction with xdotool. Medians of the eight windows, and of the eight
ratios of neighbouring windows:

| | game | plain program | game / plain (target at least 90 %) |
|---|---|---|---|
| menu | $GAME_MENU fps | $PLAIN_MENU fps | $(calc "$RATIO_MENU" 1 '%.0f' 'a*100') % |
| play mode, $LEVEL | $GAME_PLAY fps | $PLAIN_PLAY fps | $(calc "$RATIO_PLAY" 1 '%.0f' 'a*100') % |

Start-up to the first menu frame (from launch to the return of the first
\`SDL_GL_SwapBuffers\`), median of $ROUNDS runs, each alone: **$STARTUP ms** (runs: $STARTUPS ms;
target under 500 ms). The plain program reaches its first frame in $PLAIN_STARTUP ms:
it sets up its heap as the game does, makes the same screen and loads the same
fifteen menu pictures (nine of them full-screen pages), but no music or sounds,
so most of the game's start-up is what any program drawing these pictures on
this display pays. Both heaps grow on 2 MiB pages (src/main/heap.cpp): the
pictures' textures are some 40 MB of new memory, which the system would
otherwise fill a 4 KiB page at a time, a fault each, and on a virtual machine
a fault is dear (the speed tricks below give both with and without). Counted in
instructions by callgrind, which the machine's load does not change
(\`valgrind --tool=callgrind --dump-after=SDL_GL_SwapBuffers ../twinfold\` in
\`$BUILD_NAME/game\`): $STARTUP_MI million for the game, $PLAIN_STARTUP_MI million for the
plain program.

Commands, in \`$BUILD_NAME/game\`:
\`TWINFOLD_SWAPCLOCK=clock LD_PRELOAD=../libtwinfold_swapclock.so ../twinfold\` and
\`... ../twinfold_frames menu\` or \`... ../twinfold_frames play $LEVEL\`; the clock
file holds the swap count and the times of the first and latest swap.

EOF
cat "$WORK/tricks.md"
echo "## The solver"
echo
if [ -x "$SOLVER" ]; then
    echo "Each shipped level: \`$BUILD_NAME/twinfold-solve data/levels/LEVEL\` with its default budget: the par it found, the solve time it reports, the wall time of the whole run, and the world steps its search took."
    echo "It stops at least five seconds after its first solution (the search for shorter routes), so the solve times say more about that bound than about the levels."
    echo
    echo "| level | par (steps) | solve time (s) | wall time (s) | world steps searched | millions of steps per second |"
    echo "|---|---|---|---|---|---|"
    awk -F'|' '{ printf "| %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6 }' "$WORK/solver.txt"
    awk -F'|' '$6 != "-" { print $6 }' "$WORK/solver.txt" | median >"$WORK/solver-rate.txt" || true
    echo
    echo "Median over the levels: $(cat "$WORK/solver-rate.txt" 2>/dev/null) million world steps searched per second."
else
    echo "Solver: not built (\`$BUILD_NAME/twinfold-solve\` is missing), so no solve times."
fi
SEARCH1=$(bm BM_SearchStep/tutorial1); SEARCH2=$(bm BM_SearchStep/finale)
cat <<EOF

World steps a search can try per second (restore a saved state, set the keys,
step, save), the ceiling for any solver built on the world's snapshots:
$(calc "$SEARCH1" 1 '%.0f' '1e9/a') per second on tutorial1.lvl and
$(calc "$SEARCH2" 1 '%.0f' '1e9/a') per second on finale.lvl (BM_SearchStep).
EOF
} >"$DOC"
# --- 6. In the browser, when Emscripten and Chromium are installed ---------------
if command -v emcc >/dev/null 2>&1 && command -v chromium >/dev/null 2>&1; then
    say "in the browser"
    (cd "$SRC" && ./web/bench.sh build-web "$DOC" "$BUILD_NAME")
fi
say "done: $DOC"
