// Pictures in memory for the art generator, and the two file writers the game
// reads: 8-bit RGBA PNG (level pictures) and 32-bit BMP (sprite sheet, pickups).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

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

// A colour with components 0..1.
struct Colour {
  float r, g, b;
};
Colour mix(Colour a, Colour b, float t);     // a at t = 0, b at t = 1
Colour scale(Colour a, float f);             // every component times f
Colour hexcolour(uint32_t rgb);              // 0xRRGGBB
void putcolour(uint8_t* px, Colour c, float alpha);  // clamps and rounds

// Writes the picture as an 8-bit RGBA PNG (the kind the game's PNG reader
// takes). With greyalpha the colour channels are replaced by the picture's
// alpha and the alpha made opaque: the separate alpha picture of a layer.
// Returns false with a message on standard error when the file cannot be written.
bool writepng(const std::string& path, const Image& image, bool greyalpha);

// Writes the picture as a 32-bit uncompressed BMP, rows bottom first as BMP
// stores them, blue, green, red and a fourth byte of 255. With greyalpha the
// alpha is written as grey: the separate alpha picture.
bool writebmp(const std::string& path, const Image& image, bool greyalpha);

// A small deterministic generator (SplitMix64): same seed, same numbers on
// every machine and every build.
struct Rng {
  uint64_t state;
  explicit Rng(uint64_t seed) : state(seed) {}
  uint64_t next();
  float unit();                     // 0 <= u < 1
  float range(float lo, float hi);  // lo <= v < hi
};

// Seed from a name: FNV-1a, so every level gets its own sky and hills.
uint64_t nameseed(const std::string& name);

// Smooth value noise in 0..1 from integer lattice hashes; period-free.
float valuenoise(float x, float y, uint32_t seed);
// Sum of octaves of valuenoise, 0..1.
float fractalnoise(float x, float y, uint32_t seed, int octaves);
