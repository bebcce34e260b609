#!/bin/sh
# The speed tricks with and without: builds the game a second time, in
# BUILD/without, once for each trick with that trick left out
# (bench/without.cmake), and measures both on the figures the trick is there
# for. Writes the "Speed tricks" section of docs/performance.md to OUT.
# Usage: DISPLAY=:N scripts/bench-tricks.sh BUILD OUT   (run by scripts/bench.sh
# with a virtual display of its own; takes a few minutes, more the first time)
set -e
BUILD_NAME=$1
BUILD=$(cd "$1" && pwd)
OUT=$2
SRC=$(cd "$(dirname "$0")/.." && pwd)
WORK="$BUILD/bench"
WITHOUT="$BUILD/without"
GAME="$BUILD/game"
mkdir -p "$WORK" "$WITHOUT"
BEGAN="$(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
export SDL_AUDIODRIVER=dummy
export LIBGL_ALWAYS_SOFTWARE=1

. "$SRC/scripts/bench-common.sh"

# --- 1. The builds without: one trick left out at a time; the first build
# makes everything, each later one only the files of its trick.
# without TRICK TARGET...: builds the targets without TRICK into WORK/without-TRICK.
without() {
    trick=$1
    shift
    say "building without $trick"
    cmake -S "$SRC" -B "$WITHOUT" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_PROJECT_INCLUDE="$SRC/bench/without.cmake" -DTWINFOLD_WITHOUT="$trick" \
        >"$WORK/without-$trick.log" 2>&1
    cmake --build "$WITHOUT" -j "$(nproc)" --target "$@" >>"$WORK/without-$trick.log" 2>&1
    mkdir -p "$WORK/without-$trick"
    for t in "$@"; do cp "$WITHOUT/$t" "$WORK/without-$trick/"; done
}
ln -sfn "$GAME" "$WITHOUT/game"   # the picture benchmark's title page
without runs twinfold_bench twinfold-adx
without shuffle twinfold_bench twinfold
without hugepages twinfold
NORUNS="$WORK/without-runs"
NOSHUFFLE="$WORK/without-shuffle"
NOPAGES="$WORK/without-hugepages"

# --- 2. In-process figures: five rounds, each with and then without ---------
# rounds FILE FILTER PROGRAM...: CPU times (ns) of each program's benchmarks,
# the median of three repetitions a round, lines "round program benchmark ns".
rounds() {
    file=$1 filter=$2
    shift 2
    : >"$file"
    for round in 1 2 3 4 5; do
        for p in "$@"; do
            "$p" --benchmark_filter="$filter" --benchmark_min_time=0.1 --benchmark_repetitions=3 \
                --benchmark_report_aggregates_only=true --benchmark_out="$WORK/tricks-round.csv" \
                --benchmark_out_format=csv >/dev/null 2>&1
            awk -F, -v r="$round" -v p="$p" '$1 ~ /^"BM_.*_median"$/ {
                    n = $1; gsub(/"|_median/, "", n); u = $5; gsub(/"/, "", u)
                    f = u == "us" ? 1e3 : u == "ms" ? 1e6 : u == "s" ? 1e9 : 1
                    printf "%s %s %s %.0f\n", r, p, n, $4 * f }' "$WORK/tricks-round.csv" >>"$file"
        done
    done
}
# The numbers on standard input as "median (lowest to highest)", each divided
# by SCALE and printed with FORMAT: the figure and how far the rounds spread.
spread() {
    sort -n | awk -v s="$1" -v f="$2" '{ v[NR] = $1 / s }
        END { if (NR == 0) { print "-"; exit }
              m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
              printf f " (" f " to " f ")", m, v[1], v[NR] }'
}
# ns FILE PROGRAM BENCHMARK SCALE FORMAT: the rounds' CPU times, spread.
ns() { awk -v p="$2" -v n="$3" '$2 == p && $3 == n { print $4 }' "$1" | spread "$4" "$5"; }
# ratio FILE PROGRAM A B: the median of the rounds' A / B.
ratio() {
    awk -v p="$2" -v a="$3" -v b="$4" '$2 == p && $3 == a { x[$1] = $4 } $2 == p && $3 == b { y[$1] = $4 }
        END { for (r in x) if (y[r] > 0) printf "%.3f\n", x[r] / y[r] }' "$1" | spread 1 %.2f
}
say "music callback with and without whole runs"
MUSICRUNS="$WORK/tricks-music.txt"
rounds "$MUSICRUNS" '^BM_MusicCallback$' "$BUILD/twinfold_bench" "$NORUNS/twinfold_bench"
say "pictures with and without the byte shuffle"
PICTURERUNS="$WORK/tricks-pictures.txt"
rounds "$PICTURERUNS" '^BM_(LayerPNG|LayerBMP|LibpngDecode|SDLDecodeBMP)$' \
    "$BUILD/twinfold_bench" "$NOSHUFFLE/twinfold_bench"

# --- 3. Ten minutes of music, with and without whole runs, against ffmpeg ----
tenminutes
FRAMES=26460000   # ten minutes at 44100 Hz
: >"$WORK/tricks-adx.txt"
say "ten minutes of music with and without whole runs"
for round in 1 2 3 4 5; do
    hyperfine -N --warmup 1 --runs 1 --export-csv "$WORK/tricks-adx.csv" \
        "$BUILD/twinfold-adx decode $TEN /dev/null $FRAMES" \
        "$NORUNS/twinfold-adx decode $TEN /dev/null $FRAMES" \
        "ffmpeg -v error -nostdin -i $TEN -f s16le -y /dev/null" >>"$WORK/tricks-adx.log" 2>&1
    awk -F, 'NR == 2 { a = $4 } NR == 3 { b = $4 } NR == 4 { f = $4 }
        END { printf "%.1f %.1f %.3f %.3f\n", a * 1000, b * 1000, f / a, f / b }' \
        "$WORK/tricks-adx.csv" >>"$WORK/tricks-adx.txt"
done
adxcol() { awk -v c="$1" '{ print $c }' "$WORK/tricks-adx.txt" | spread 1 "$2"; }
# Instructions per frame of the callback over ten seconds of the music.
perframe() {
    rm -f "$WORK/tricks-adx.cg"
    valgrind --tool=callgrind --callgrind-out-file="$WORK/tricks-adx.cg" \
        --toggle-collect='Music::audio_callback*' "$1" decode "$TEN" /dev/null 441000 >/dev/null 2>&1 &&
        awk '/^totals:/ { printf "%.0f", $2 / 441000; found = 1 } END { if (!found) printf "-" }' \
            "$WORK/tricks-adx.cg" || echo -
}
ADXIN=$(perframe "$BUILD/twinfold-adx")
ADXOUT=$(perframe "$NORUNS/twinfold-adx")

# --- 4. Start-up: the game with all its tricks, without the shuffle and
# without the 2 MiB pages, in turns; time, page faults and CPU time from
# launch to the first swap (counted by the preload library bench/swapclock).
CLOCK="$WORK/tricks.clock"
# startup PROGRAM: "ms faults cpums" of one start, or nothing if it never swapped.
startup() {
    launch "$CLOCK" "$DISPLAY" /dev/null "$1"
    if waitswap "$CLOCK" "$LAUNCHED"; then
        # Minor faults and user + system time of all the process's threads, in ticks.
        sed 's/.*) //' "/proc/$LAUNCHED/stat" | awk -v ms="$(startup_ms "$CLOCK")" -v hz="$(getconf CLK_TCK)" \
            '{ printf "%s %s %.0f\n", ms, $8, ($12 + $13) * 1000 / hz }'
    fi
    finish "$LAUNCHED"
}
: >"$WORK/tricks-startup.txt"
for round in 1 2 3 4 5 6 7; do
    say "start-up with and without, $round of 7"
    for v in with:"$BUILD/twinfold" noshuffle:"$NOSHUFFLE/twinfold" nopages:"$NOPAGES/twinfold"; do
        r=$(startup "${v#*:}")
        [ -n "$r" ] && echo "${v%%:*} $r" >>"$WORK/tricks-startup.txt"
    done
done
st() { awk -v k="$1" -v c="$2" '$1 == k { print $c }' "$WORK/tricks-startup.txt" | spread 1 %.0f; }

say "the menu's pictures in instructions"
# The menu's fifteen pictures decoded, turned and uploaded (the Menu constructor).
MENUIN=$(firstswap_instructions "$DISPLAY" 'Menu::Menu*' "$BUILD/twinfold")
MENUOUT=$(firstswap_instructions "$DISPLAY" 'Menu::Menu*' "$NOSHUFFLE/twinfold")

# --- 5. The section -------------------------------------------------------------
B="$BUILD/twinfold_bench"
N="$NOSHUFFLE/twinfold_bench"
{
cat <<EOF
## Speed tricks

Three pieces of code exist only for speed. Each is kept for the figures beside
it, measured in this run with the trick and without it: \`scripts/bench-tricks.sh\`
builds the game once more in \`$BUILD_NAME/without\` with one trick at a time left
out (\`-DCMAKE_PROJECT_INCLUDE=bench/without.cmake -DTWINFOLD_WITHOUT=runs\`,
\`shuffle\` or \`hugepages\`), so the plain path is the very code the game runs
wherever the trick does not apply. Timed figures are medians of rounds
that take turns, so the machine's load reaches both sides alike, with the
lowest and highest round in brackets to show the noise; instruction counts
(callgrind) do not depend on the load at all. This part began $BEGAN.

**\`Music::decoderun\`, whole runs of a block** (src/audio/music.cpp). At 44100 Hz
every frame is a decoded one, so the callback decodes to the end of the block
with the state in locals instead of one pair a call. In the game this is
nothing a player hears (a buffer is decoded in a few ten-thousandths of its
play time either way); it is what keeps \`twinfold-adx decode\` ahead of ffmpeg.

| | with | without |
|---|---|---|
| ten minutes of music, \`twinfold-adx decode\` (ms, five rounds with ffmpeg) | $(adxcol 1 %.0f) | $(adxcol 2 %.0f) |
| ratio ffmpeg / ours (target at least 1.5) | $(adxcol 3 %.2f) | $(adxcol 4 %.2f) |
| instructions per frame in \`Music::audio_callback\` (callgrind) | $ADXIN | $ADXOUT |
| one 4096-frame buffer (us, BM_MusicCallback) | $(ns "$MUSICRUNS" "$B" BM_MusicCallback 1e3 %.1f) | $(ns "$MUSICRUNS" "$NORUNS/twinfold_bench" BM_MusicCallback 1e3 %.1f) |

**\`swizzle::shuffled\`, four pixels a step with the byte shuffle**
(src/graphics/swizzle.h; used by the PNG reader in src/graphics/bitmap.cpp and
the tile cutter in src/graphics/tiles.cpp). Every pixel of every picture passes
through it once (BMP) or twice (PNG: to blue, green, red, then to red, green,
blue, alpha). The targets are those of the pictures section above.

| | with | without |
|---|---|---|
| 1024 by 768 PNG into a layer (ms, BM_LayerPNG) | $(ns "$PICTURERUNS" "$B" BM_LayerPNG 1e6 %.2f) | $(ns "$PICTURERUNS" "$N" BM_LayerPNG 1e6 %.2f) |
| the same as a BMP (ms, BM_LayerBMP) | $(ns "$PICTURERUNS" "$B" BM_LayerBMP 1e6 %.2f) | $(ns "$PICTURERUNS" "$N" BM_LayerBMP 1e6 %.2f) |
| ratio PNG layer / bare libpng decode (target at most 1.3) | $(ratio "$PICTURERUNS" "$B" BM_LayerPNG BM_LibpngDecode) | $(ratio "$PICTURERUNS" "$N" BM_LayerPNG BM_LibpngDecode) |
| ratio BMP layer / bare \`SDL_LoadBMP\` (target at most 1.3) | $(ratio "$PICTURERUNS" "$B" BM_LayerBMP BM_SDLDecodeBMP) | $(ratio "$PICTURERUNS" "$N" BM_LayerBMP BM_SDLDecodeBMP) |
| the menu's fifteen pictures at start-up (million instructions in \`Menu::Menu\`, callgrind) | $MENUIN | $MENUOUT |
| start-up to the first menu frame (ms, seven rounds) | $(st with 2) | $(st noshuffle 2) |

**\`hugepageheap\`, the heap on 2 MiB pages** (src/main/heap.cpp; called first in
the game, in \`twinfold-adx\` and in bench/frames). The menu's pictures and
textures are tens of megabytes of new memory; on 4 KiB pages the system fills
them with a fault a page. The count of faults is the steady figure; what a
fault costs in time depends on the machine and on its load.

| | with | without |
|---|---|---|
| start-up to the first menu frame (ms, seven rounds) | $(st with 2) | $(st nopages 2) |
| page faults by the first menu frame | $(st with 3) | $(st nopages 3) |
| CPU time by the first menu frame, all threads (ms) | $(st with 4) | $(st nopages 4) |

Start-up runs with and without, in \`$BUILD_NAME/game\`:
\`TWINFOLD_SWAPCLOCK=clock LD_PRELOAD=../libtwinfold_swapclock.so ../twinfold\` and
\`../bench/without-shuffle/twinfold\` or \`../bench/without-hugepages/twinfold\`; the
faults and CPU time are read from /proc at the first swap. Menu instructions:
\`valgrind --tool=callgrind --toggle-collect='Menu::Menu*' --dump-after=SDL_GL_SwapBuffers\`.
Music instructions: \`valgrind --tool=callgrind --toggle-collect='Music::audio_callback*'
twinfold-adx decode ten.adx /dev/null 441000\`.

EOF
} >"$OUT"
