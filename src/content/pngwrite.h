// PNG writing: 8-bit RGB or RGBA pixels to a file through libpng, whole or
// not at all. The one PNG writer of the tools that make and show pictures.
#pragma once
#include <cstdint>
#include <string>

// Writes width by height pixels, rows top first, channels bytes a pixel (3:
// red, green, blue; 4: and alpha), rows packed without padding. The file is
// written beside path under a temporary name and renamed into place, so a
// failed write leaves no file and never half of one. With fast, libpng spends
// less time filtering (bigger files, for the large pictures of a build).
// Returns false with "path: what went wrong" in err.
bool writepngfile(const std::string& path, int width, int height, int channels,
                  const uint8_t* pixels, bool fast, std::string& err);
