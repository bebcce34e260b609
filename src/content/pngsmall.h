// The smallest PNG of a picture that the browser build ships: the same
// pixels, each row's filter chosen for it and the strongest deflate, where
// the game's own pictures are written quickly with no filter at all.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A PNG of width by height 8-bit pixels, rows top first, channels bytes a
// pixel (3: red, green, blue; 4: and alpha), packed without padding: IHDR, one
// IDAT, IEND. The rows are deflated at level 9 with zlib's largest memory
// twice: unfiltered, and each row with the filter whose bytes, read as
// signed, sum smallest in magnitude (the usual guess at what deflates best);
// the smaller is kept. Empty on a size a PNG cannot hold.
std::vector<uint8_t> encodesmallpng(int width, int height, int channels, const uint8_t* pixels);

// Reads the PNG in, writes its smallest form to out (through a temporary
// file renamed into place) and decodes what was written to check that every
// pixel decodes to the same bytes; a picture whose check fails is not
// written. in and out may be the same file. Returns false with "path: what
// went wrong" in err. before and after get the two files' sizes.
bool recompresspng(const std::string& in, const std::string& out, long long& before,
                   long long& after, std::string& err);
