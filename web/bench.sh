#!/bin/sh
# The browser's part of make bench: builds bench/frames for the web next to
# the page (make web's folder), plays both in headless Chromium
# (web/test/bench.js) and writes the section "In the browser" of the
# performance report, in place of the one there or at its end.
# Usage: web/bench.sh WEBBUILD DOC [BUILD]   (run by scripts/bench.sh in the
# source folder, after make has made the game data in BUILD, build by default;
# builds the page as make web does). Run alone, it writes the browser's
# section only.
set -e
WEBBUILD=$1   # inside the source folder, as make's WEBBUILD
BUILD=${3:-build}
[ -n "$1" ] && [ -n "$2" ] || { echo "usage: web/bench.sh WEBBUILD DOC [BUILD]" >&2; exit 2; }
DOC=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
SRC=$(cd "$(dirname "$0")/.." && pwd)
export NODE_PATH=/usr/share/nodejs   # Debian's acorn for emcc's optimizer

cd "$SRC"
make --no-print-directory web-build WEBBUILD="$WEBBUILD" BUILD="$BUILD" >/dev/null
cmake --build "$WEBBUILD" -j 2 --target twinfold_frames >/dev/null
cp "$SRC/web/bench/frames.html" "$WEBBUILD/frames.html"
[ -d "$SRC/web/test/node_modules/puppeteer-core" ] ||
    (cd "$SRC/web/test" && npm ci --no-audit --no-fund >/dev/null)
FIGURES=$(node "$SRC/web/test/bench.js" "$WEBBUILD" "$BUILD/game")

# One figure from the JSON line: a path with slashes, printed with a format.
fig() { node -e 'let v = JSON.parse(process.argv[1]);
    for (const k of process.argv[2].split("/")) v = v[k];
    const f = process.argv[3];
    console.log(Array.isArray(v) ? v.join(", ") : f === "%" ? Math.round(v * 100) :
                f === "MB" ? (v / 1048576).toFixed(2) : f === "kB" ? Math.round(v / 1024) :
                f === "M" ? (v / 1e6).toFixed(2) : Number(v).toFixed(Number(f)));' \
    "$FIGURES" "$1" "$2"; }

SECTION=$(mktemp)
trap 'rm -f "$SECTION"' EXIT
cat >"$SECTION" <<END
## In the browser

Written by \`web/bench.sh\` (from \`make bench\`) on $(date -u '+%Y-%m-%d %H:%M UTC'), with
\`$(basename "$WEBBUILD")\` from \`make web\` in Debian's Chromium
$(chromium --version 2>/dev/null | awk '{ print $2 }'), headless, drawing WebGL on the processor
through SwiftShader, on the same machine as the figures above.

Page load to the first title frame (from the start of the navigation to the
end of the first frame the game draws), the files served from 127.0.0.1 with
the cache off, median of five loads: **$(fig titlems 0) ms** (loads: $(fig loads 0) ms),
$(fig titlebytes kB) kB transferred before it. Sizes: \`twinfold.wasm\` $(fig sizes/twinfold.wasm kB) kB,
\`twinfold.js\` $(fig sizes/twinfold.js kB) kB, \`twinfold.data\` (start-up: menu, its music,
sounds; deflated, fetched beside the engine) $(fig sizes/twinfold.data MB) MB; the levels, a package each ($(fig packages 0) packages,
fetched one after the other from the title on) $(fig sizes/levels MB) MB in all, the first
(tutorial1 with the play music and the hero's sheet) $(fig sizes/first MB) MB, the largest
$(fig sizes/biggest MB) MB.

A first visit over a slow link: Chromium's network emulation (the
bandwidth below, 40 ms latency), nothing cached and no service worker, from
the start of the navigation to the first title frame and to the moment the
first level's package is in (New game starts the game from then on), bytes
transferred in millions (the budgets: 7 before the title, 12 before New
game, which \`make test-web\` checks at 20 Mbit/s):

| link | to the title | bytes | to New game | bytes |
|---|---|---|---|---|
| 20 Mbit/s | $(fig slow/20/titlems 0) ms | $(fig slow/20/titlebytes M) M | $(fig slow/20/firstms 0) ms | $(fig slow/20/firstbytes M) M |
| 5 Mbit/s | $(fig slow/5/titlems 0) ms | $(fig slow/5/titlebytes M) M | $(fig slow/5/firstms 0) ms | $(fig slow/5/firstbytes M) M |

The whole game's files: $(fig game/drawn M) million bytes as drawn (\`$BUILD/game\`),
$(fig game/shipped M) million as the page ships them (\`twinfold.data\` and the levels'
packages), every PNG recompressed with the same pixels and every package
deflated.

Frames per second of the game against \`twinfold_frames\` (bench/frames,
unchanged, built for the web by \`web/bench/frames.cpp\`, whose loop waits
for the browser's next animation frame after each swap, as the game's frame
runs once per animation frame), both pages open in the same browser, which
emulates a phone held sideways (844 by 390 CSS pixels, 3 device pixels to
one, touch). Eight
alternating windows of 1.5 s each, the other page's animation frames held
back meanwhile; medians of the windows and of the ratios of neighbouring
windows. The game's title is measured once the levels are in, play mode is
tutorial1.lvl at rest after its fade-in:

| | game | plain program | game / plain |
|---|---|---|---|
| menu | $(fig menu/game 1) fps | $(fig menu/plain 1) fps | $(fig menu/ratio %) % |
| play mode, tutorial1.lvl | $(fig play/game 1) fps | $(fig play/plain 1) fps | $(fig play/ratio %) % |

Command: \`web/bench.sh $(basename "$WEBBUILD") docs/performance.md\` (after \`make web\`;
\`make bench\` runs it last).
END

# The section replaces the one there, up to the next section.
awk -v sec="$SECTION" '
    /^## In the browser$/ { skip = 1; while ((getline l < sec) > 0) print l; done = 1; next }
    skip && /^## / { skip = 0; print ""; }
    !skip { print }
    END { if (!done) { print ""; while ((getline l < sec) > 0) print l } }' "$DOC" >"$DOC.new"
mv "$DOC.new" "$DOC"
echo "bench: browser figures in $DOC"
