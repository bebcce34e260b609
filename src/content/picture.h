// Pictures the content makers draw: colours with components 0 to 1, an 8-bit
// RGBA picture, and its writers to the BMP and PNG files the game reads.
// The game takes transparency only from a separate alpha picture, so every
// writer makes either the colour picture or the alpha picture of an image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A colour with components 0 to 1.
struct Colour {
  float r, g, b;
};
Colour hexcolour(uint32_t rgb);           // 0xRRGGBB
Colour mix(Colour a, Colour b, float t);  // a at t = 0, b at t = 1
Colour scale(Colour a, float f);          // every component times f
uint8_t colourbyte(float v);              // clamped to 0..1, then the nearest of 0..255

// An 8-bit RGBA picture, rows top first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 bytes: red, green, blue, alpha

  Image(int w, int h) : width(w), height(h), rgba(size_t(w) * size_t(h) * 4, 0) {}
  uint8_t* at(int x, int y) { return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
  const uint8_t* at(int x, int y) const {
    return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
  }
};
void putcolour(uint8_t* px, Colour c, float alpha);  // one RGBA pixel, each part by colourbyte

// Which picture of an image a writer makes.
enum class Layer {
  colour,  // the image's colours
  alpha,   // its alpha as grey in all three colour bytes: the separate alpha picture
};

// Writes an uncompressed BMP, rows bottom first as BMP stores them, blue,
// green, red: with bits 24 three bytes a pixel and each row padded to 4
// bytes, with bits 32 a fourth byte of 255. Returns false with "cannot write
// PATH" (not opened) or "error while writing PATH" in err.
bool writebmp(const std::string& path, const Image& image, int bits, Layer layer, std::string& err);

// Writes an 8-bit RGBA PNG (the kind the game's PNG reader takes) with
// libpng's fast flag: the pictures are large, flat and smooth, so the files
// stay small, the build stays quick and the game decodes them many times
// faster. The alpha picture is opaque. Returns false with "PATH: cannot be
// written..." in err.
bool writepng(const std::string& path, const Image& image, Layer layer, std::string& err);
