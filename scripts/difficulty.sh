#!/bin/sh
# Measures every shipped level in chain order with twinfold-difficulty and
# writes docs/difficulty.md (par and the wide route's length, par's tightest
# window and expected deaths beside those of the route a person fares better
# on, and where the curve does not rise)
# and docs/difficulty.png, the curve drawn by gnuplot from the same figures.
# Usage: scripts/difficulty.sh BUILD [RUNS]
# Exit status: 0 written, 1 a level could not be measured, 2 wrong command line.
set -eu
usage="usage: scripts/difficulty.sh BUILD [RUNS]"
[ "${1:-}" = "--help" ] && { echo "$usage"; exit 0; }
[ $# -ge 1 ] && [ $# -le 2 ] || { echo "$usage" >&2; exit 2; }
BUILD=$1
RUNS=${2:-200}
TOOL=$BUILD/twinfold-difficulty
[ -x "$TOOL" ] || { echo "scripts/difficulty.sh: $TOOL is missing; run make first" >&2; exit 2; }
OUT=$BUILD/difficulty
mkdir -p "$OUT" docs

# The chain from tutorial1.lvl, by each level's setNextLevel.
level=tutorial1.lvl
: >"$OUT/figures.tsv"
n=0
while [ -n "$level" ] && [ -f "data/levels/$level" ] && [ $n -lt 100 ]; do
    n=$((n + 1))
    name=${level%.lvl}
    if ! "$TOOL" "data/levels/$level" --runs "$RUNS" --json >"$OUT/$name.json"; then
        echo "scripts/difficulty.sh: $level could not be measured" >&2
        exit 1
    fi
    jq -r --arg n "$n" '[$n, .level, .par, .route_steps, .tightest_window,
        (.tightest | if . then "\(.kind) at step \(.step), (\(.x), \(.y))" else "-" end),
        .expected_deaths, (if .expected_deaths_floor then "at least " else "" end),
        (.stretches | length), .measured,
        (if .wide_found then .wide_steps else "-" end), .par_tightest_window,
        "\(if .par_expected_deaths_floor then "at least " else "" end)\(.par_expected_deaths)"]
        | @tsv' "$OUT/$name.json" >>"$OUT/figures.tsv"
    level=$(sed -n 's/.*setNextLevel *( *"\([^"]*\)".*/\1/p' "data/levels/$level" | tail -n 1)
done

{
    echo "# How hard each level is"
    echo
    echo "Made by \`make difficulty\` (scripts/difficulty.sh) with \`twinfold-difficulty\`,"
    echo "$RUNS seeded runs of every stretch, seed 1, on each level's shipped replay;"
    echo "[the level makers' guide](tiled.md#how-hard-is-it-the-difficulty-action) says what"
    echo "the figures mean. The same sources give the same page on any machine."
    echo
    echo "Each level is measured on two routes: its par route (each key change aimed"
    echo "at the middle of its window) and the wide route, made of moves that start"
    echo "with the hero standing still (where those do not reach the end, the"
    echo "solver's route finishes from the last place stood at: wide+solver). The"
    echo "measured route is the one a person fares better on: the wider tightest"
    echo "window, then the fewer expected deaths, then the shorter; its figures fill"
    echo "the last five columns."
    echo
    echo "| # | level | par | wide route | par: tightest window | par: expected deaths | measured | tightest window | where | stretches | expected deaths |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|"
    awk -F '\t' '{ printf "| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s%s |\n", $1, $2, $3, $11, $12, $13, $10, $5, $6, $9, $8, $7 }' "$OUT/figures.tsv"
    echo
    echo "![Expected deaths along the chain, and the tightest window of each level](difficulty.png)"
    echo
    echo "## Where the curve does not rise"
    echo
    echo "A game's difficulty should climb along its chain, with a breather now and"
    echo "then. These levels rate easier than the one before them:"
    echo
    awk -F '\t' 'NR > 1 && $7 + 0 < prev + 0 { printf "- %s (%s expected deaths) after %s (%s)\n", $2, $7, pname, prev; found = 1 }
                 { prev = $7; pname = $2 }
                 END { if (!found) print "- none" }' "$OUT/figures.tsv"
    echo
    echo "Levels measured on their par route whose expected deaths read \"at least\""
    echo "are those where no kinder route was found within the search's bounds"
    echo "(where the level leaves no place to stand still between two of its tight"
    echo "manoeuvres): their figure is the frame-exact par route's, far above what a"
    echo "person meets on a slower way, and compares with the others only as \"needs"
    echo "frame-exact play\":"
    echo
    awk -F '\t' '$10 == "par" && $8 != "" { printf "- %s\n", $2; found = 1 }
                 END { if (!found) print "- none" }' "$OUT/figures.tsv"
    echo
    echo "The levels are not changed here; these are the places to look at first."
} >docs/difficulty.md

# Expected deaths on a log scale (a level with none sits on the floor of
# 0.01), the tightest window in steps beside it.
awk -F '\t' '{ d = $7 + 0; if (d < 0.01) d = 0.01; print $1, d, $5, $2 }' "$OUT/figures.tsv" >"$OUT/plot.dat"
gnuplot <<PLOT
set terminal png size 1000,520 font ",10"
set output "docs/difficulty.png"
set title "Twinfold: difficulty along the chain ($RUNS seeded runs a stretch)"
set logscale y
set ylabel "expected deaths before finishing (log)"
set y2label "tightest window (steps)"
set y2tics
set ytics nomirror
set y2range [0:*]
set xtics rotate by -45
set grid ytics
set key top left
plot "$OUT/plot.dat" using 1:2:xtic(4) with linespoints lw 2 pt 7 title "expected deaths", \
     "$OUT/plot.dat" using 1:3 axes x1y2 with impulses lw 6 title "tightest window"
PLOT
echo "docs/difficulty.md and docs/difficulty.png written ($n levels)"
