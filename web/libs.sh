#!/bin/sh
# Builds zlib, libpng and libzip for the browser from Debian's own source packages,
# into OUT/libs (include/, lib/). Emscripten's ports would download them from
# the internet; this takes the sources from the Debian archive the machine is
# already configured with, through a source list of this build's own, so the
# system's apt configuration is left as it is.
# Usage: web/libs.sh OUT   (OUT is normally build-web)
set -e
HERE=$(cd "$(dirname "$0")" && pwd)
OUT=$(mkdir -p "${1:-build-web}" && cd "${1:-build-web}" && pwd)
LIBS="$OUT/libs"
[ -f "$LIBS/lib/libpng.a" ] && [ -f "$LIBS/lib/libz.a" ] && [ -f "$LIBS/lib/libzip.a" ] && exit 0

# The source packages. The security archive lists newer sources than it
# serves, so only the main archive's suites are asked (zlib at its release).
APT="$OUT/apt"
mkdir -p "$APT/sources" "$APT/lists/partial" "$APT/cache/archives/partial" "$OUT/src"
: > "$APT/sources/debian-src.list"
: > "$APT/sources/debian-src.sources"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && grep -E '^deb .*debian' "$f" | grep -v security |
        sed 's/^deb /deb-src /' >> "$APT/sources/debian-src.list"
done
for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # deb822 stanzas: every Debian stanza but the security one, as deb-src.
    awk 'BEGIN { RS = ""; FS = "\n" }
         /URIs:[^\n]*debian/ && !/security/ {
             for (i = 1; i <= NF; i++) if ($i !~ /^#/) {
                 line = $i
                 if (line ~ /^Types:/) line = "Types: deb-src"
                 print line
             }
             print ""
         }' "$f" >> "$APT/sources/debian-src.sources"
done
OPTS="-o Dir::Etc::SourceList=$APT/sources/debian-src.list -o Dir::Etc::SourceParts=$APT/sources
 -o Dir::State::Lists=$APT/lists -o Dir::Cache=$APT/cache -o APT::Sandbox::User=root"
apt-get $OPTS update -qq
cd "$OUT/src"
[ -d zlib-1.2.13.dfsg ] || apt-get $OPTS source -qq zlib=1:1.2.13.dfsg-1
[ -n "$(ls -d libpng1.6-*/ 2>/dev/null)" ] || apt-get $OPTS source -qq libpng1.6
[ -n "$(ls -d libzip-*/ 2>/dev/null)" ] || apt-get $OPTS source -qq libzip
ZSRC="$OUT/src/zlib-1.2.13.dfsg"
PSRC="$OUT/src/$(ls -d libpng1.6-*/ | head -n 1)"
LSRC="$OUT/src/$(ls -d libzip-*/ | head -n 1)"

mkdir -p "$LIBS/include" "$LIBS/lib" "$OUT/obj/zlib" "$OUT/obj/png"
CFLAGS="-O2"

# zlib: the library's own sources; configure would find unistd.h, so say so.
for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
         inftrees trees uncompr zutil; do
    emcc $CFLAGS -DHAVE_UNISTD_H -c "$ZSRC/$c.c" -o "$OUT/obj/zlib/$c.o"
done
cp "$ZSRC/zlib.h" "$ZSRC/zconf.h" "$LIBS/include/"
rm -f "$LIBS/lib/libz.a"
emar rcs "$LIBS/lib/libz.a" "$OUT"/obj/zlib/*.o

# libpng: its default configuration header, then the reading and writing code.
cp "$PSRC/scripts/pnglibconf.h.prebuilt" "$PSRC/pnglibconf.h"
for c in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans \
         pngwio pngwrite pngwtran pngwutil; do
    emcc $CFLAGS -I"$LIBS/include" -c "$PSRC/$c.c" -o "$OUT/obj/png/$c.o"
done
cp "$PSRC/png.h" "$PSRC/pngconf.h" "$PSRC/pnglibconf.h" "$LIBS/include/"
rm -f "$LIBS/lib/libpng.a"
emar rcs "$LIBS/lib/libpng.a" "$OUT"/obj/png/*.o

# libzip through its own CMake, on the zlib above: packs are deflated zips and
# read from memory, so none of the other compressors, encryption, the command
# line tools, tests or manuals. Its configure checks come answered from
# libzip-checks.cmake: run, they take minutes under Emscripten.
emcmake cmake -C "$HERE/libzip-checks.cmake" -S "$LSRC" -B "$OUT/obj/zip" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_INSTALL_PREFIX="$LIBS" -DCMAKE_C_FLAGS="$CFLAGS" \
    -DZLIB_INCLUDE_DIR="$LIBS/include" -DZLIB_LIBRARY="$LIBS/lib/libz.a" \
    -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_WINDOWS_CRYPTO=OFF \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF >/dev/null
cmake --build "$OUT/obj/zip" -j 2 --target zip >/dev/null
cp "$LSRC/lib/zip.h" "$OUT/obj/zip/zipconf.h" "$LIBS/include/"
cp "$OUT/obj/zip/lib/libzip.a" "$LIBS/lib/"
