#!/bin/sh
# Makes the fuzz targets' seed corpora, OUT/<target>/, from the game's own data
# and a few hand-written cases: levels and replays as they are, pictures shrunk
# to a few pixels in each kind the game may meet, music and sounds cut short.
# Usage: seeds.sh SRC BUILD OUT   (BUILD holds the game's data in game/ and the
# game's tools). Nothing here is kept in the source tree.
set -e
SRC=$1
BUILD=$2
OUT=$3
GAME="$BUILD/game"
rm -rf "$OUT"
for t in level replay png bmp webbmp adx wav pack; do mkdir -p "$OUT/$t"; done

# Levels and replays: the game's own, then edge cases of the lexer.
cp "$SRC"/data/levels/*.lvl "$OUT/level/"
cp "$SRC"/data/levels/*.replay "$OUT/replay/"
L="$OUT/level"
printf '' > "$L/empty"
printf 'build Ground ( 1 , 2 ,\n3,4);buildSpikes(-5,5,-5,5)' > "$L/blanks"
printf 'buildGround(2147483648,-2147483649,99999999999999999999,-0)' > "$L/big"
printf 'setNextLevel("%0200d")setBackground(  "a b")setForeground("' 0 > "$L/names"
printf 'setShiftCount(1001)addShiftPickup(2147483647,-2147483648)setImageShift(2147483647,1)' > "$L/edges"
printf 'buildTriangle(1,2\nxyz(((buildLedge(\377\376,4)/setStartPosition(' > "$L/cut"
R="$OUT/replay"
printf '# comment\n\n5 LRJ\nSHIFT 2 -4\n1 -\n' > "$R/mixed"
printf '100001 L\nSHIFT 33 0\nSHIFT 3 2\n0 R\n' > "$R/bad"
printf '7 RL\r\n  3  J  \nSHIFT -32 32' > "$R/spaces"

# Pictures: a few game pictures shrunk, and every kind in a few pixels.
P="$OUT/png"
B="$OUT/bmp"
n=0
for f in $(ls "$GAME"/*.png 2>/dev/null | head -6); do
    n=$((n + 1))
    convert "$f" -resize 40x30 "PNG32:$P/game$n.png"
done
for f in $(ls "$GAME"/*.bmp 2>/dev/null | head -4); do
    n=$((n + 1))
    convert "$f" -resize 40x30 "BMP3:$B/game$n.bmp"
done
convert -size 5x3 gradient:red-blue "PNG32:$P/rgba.png"
convert -size 5x3 gradient:red-blue "PNG24:$P/rgb.png"
convert -size 5x3 gradient:red-blue "PNG8:$P/palette.png"
convert -size 5x3 gradient:white-black -colorspace Gray "PNG8:$P/grey.png"
convert -size 5x3 gradient:red-blue -depth 16 "PNG64:$P/rgba16.png"
convert -size 9x7 gradient:red-blue -interlace PNG "PNG32:$P/interlaced.png"
convert -size 5x3 gradient:red-blue "BMP3:$B/rgb24.bmp"
convert -size 5x3 gradient:red-blue -alpha set -channel A -evaluate set 50% +channel "BMP3:$B/rgb32.bmp"
convert -size 5x3 gradient:red-blue -type Palette "BMP3:$B/palette.bmp"
convert -size 17x3 gradient:red-blue -type Palette -compress RLE "BMP3:$B/rle8.bmp"
convert -size 9x3 gradient:white-black -monochrome "BMP3:$B/mono.bmp"
convert -size 5x3 gradient:red-blue "BMP:$B/v5.bmp"
convert -size 5x3 gradient:red-blue "BMP2:$B/os2.bmp"
# Rows top first (a negative height): 2 by 2 pixels of 24 bits.
printf 'BM\106\000\000\000\000\000\000\000\066\000\000\000\050\000\000\000\002\000\000\000\376\377\377\377\001\000\030\000\000\000\000\000\020\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\000\001\002\003\004\005\006\000\000\007\010\011\012\013\014\000\000' > "$B/topfirst.bmp"
# The browser's reader meets the same files.
cp "$B"/* "$OUT/webbmp/"

# Sounds: hand-written WAV files (16-bit mono, 44100 Hz, four samples) and
# kinds the reader refuses or reads in part; a game sound cut short.
W="$OUT/wav"
fmt='fmt \020\000\000\000\001\000\001\000\104\254\000\000\210\130\001\000\002\000\020\000'
printf "RIFF\054\000\000\000WAVE${fmt}data\010\000\000\000\001\000\377\177\000\200\002\000" > "$W/mono"
printf "RIFF\070\000\000\000WAVELIST\003\000\000\000abc\000${fmt}data\377\000\000\000\001\000\002\000" > "$W/listpad"
printf "RIFF\054\000\000\000WAVEdata\004\000\000\000\001\000\002\000${fmt}" > "$W/databefore"
printf 'RIFF\054\000\000\000WAVEfmt \020\000\000\000\001\000\002\000\104\254\000\000\020\261\002\000\002\000\010\000data\004\000\000\000\001\002\003\004' > "$W/eightbit"
printf 'RIFF\054\000\000\000WAVEfmt \022\000\000\000\376\377\002\000\042\126\000\000\210\130\001\000\004\000\020\000\000\000data\010\000\000\000\001\000\002\000\003\000\004\000' > "$W/extensible"
for f in $(ls "$GAME"/audio/*.wav 2>/dev/null | head -2); do
    head -c 2000 "$f" > "$W/game-$(basename "$f")"
done

# Music: short pieces through the game's own encoder, mono and stereo, and the
# start of a game track.
A="$OUT/adx"
if [ -x "$BUILD/twinfold-adx" ]; then
    cp "$W/mono" "$BUILD/seed-mono.wav"
    printf 'RIFF\054\000\000\000WAVEfmt \020\000\000\000\001\000\002\000\200\076\000\000\000\372\000\000\004\000\020\000data\010\000\000\000\001\010\377\177\000\200\002\000' > "$BUILD/seed-stereo.wav"
    "$BUILD/twinfold-adx" encode "$BUILD/seed-mono.wav" "$A/mono.adx" >/dev/null
    "$BUILD/twinfold-adx" encode "$BUILD/seed-stereo.wav" "$A/stereo.adx" >/dev/null
    rm -f "$BUILD/seed-mono.wav" "$BUILD/seed-stereo.wav"
fi
for f in $(ls "$GAME"/*.adx 2>/dev/null | head -2); do
    head -c 3000 "$f" > "$A/game-$(basename "$f")"
done

# Packs: a one-level pack, and a two-level one with small pictures, made by
# the game's own packer from levels written here.
K="$OUT/pack"
if [ -x "$BUILD/twinfold-pack" ]; then
    D="$BUILD/seed-pack"
    rm -rf "$D"
    mkdir -p "$D"
    printf 'setStartPosition(100,100);buildGround(0,2000,0,100);setEndPosition(400,100);\n' > "$D/one.lvl"
    printf '100 R\n' > "$D/one.replay"
    printf 'setStartPosition(100,100);buildGround(0,2000,0,100);setEndPosition(400,100);\nsetForeground("art");\nsetBackground("art.bg");\nsetNextLevel("one.lvl");\n' > "$D/two.lvl"
    printf '100 R\n' > "$D/two.replay"
    convert -size 4x4 xc:red "PNG24:$D/art.png"
    convert -size 4x4 xc:white "PNG24:$D/art.a.png"
    convert -size 4x4 xc:blue "PNG24:$D/art.bg.png"
    "$BUILD/twinfold-pack" "$D/one.lvl" -o "$K/one.twinpack" >/dev/null
    "$BUILD/twinfold-pack" "$D/two.lvl" -o "$K/two.twinpack" >/dev/null
    rm -rf "$D"
fi
