// The picture fuzz targets' common part: a decoded picture cut into a layer's
// tiles as the colour picture and as the alpha picture of another.
#pragma once
#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap.h"
#include "graphics/tiles.h"

// A 300 by 2 24-bit BMP picture made in memory: a colour picture of its own
// size for the fuzzed one to be the alpha picture of.
inline Bitmap* otherpicture() {
  const int w = 300, h = 2, row = (w * 3 + 3) / 4 * 4;
  std::vector<unsigned char> f(54 + row * h, 0);
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; i++) f[at + i] = uint8_t(v >> (8 * i));
  };
  f[0] = 'B', f[1] = 'M';
  put32(2, uint32_t(f.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, w);
  put32(22, h);
  f[26] = 1, f[28] = 24;
  for (size_t i = 54; i < f.size(); i++) f[i] = uint8_t(i * 7);
  std::string err;
  Bitmap* b = Bitmap::read_bmp(SDL_RWFromConstMem(f.data(), int(f.size())), "other.bmp", err);
  if (!b) __builtin_trap();
  return b;
}

// Every tile of colour with alpha's opacity (alpha may be null), as the layer
// loader cuts them; returns a byte of the texels so that none is optimised away.
inline unsigned cutlayer(const Bitmap& colour, const Bitmap* alpha) {
  unsigned sum = 0;
  std::vector<unsigned char> texels;
  // The first and last tiles hold every edge case; the middle of a huge
  // picture only costs time.
  std::vector<LayerTile> tiles = layertiles(colour.width, colour.height);
  for (size_t k = 0; k < tiles.size(); k++) {
    if (k == 8 && tiles.size() > 16) k = tiles.size() - 8;
    const LayerTile& t = tiles[k];
    tile_texels(colour, alpha, t.x0, t.y0, t.w, t.h, texels);
    if (texels.size() != size_t(t.w) * t.h * 4) __builtin_trap();
    for (size_t i = 0; i < texels.size(); i += 61) sum += texels[i];
  }
  return sum;
}

// The picture as a layer would use it: as the colour picture when it has the
// bytes for one (the game ends with a message otherwise), with itself and
// with no alpha picture; and as the alpha picture of a colour picture of
// another size.
inline void cutpicture(const Bitmap& b, const Bitmap& other) {
  volatile unsigned sink = 0;
  if (b.bytespp >= 3) {
    sink = sink + cutlayer(b, &b);
    sink = sink + cutlayer(b, nullptr);
  }
  sink = sink + cutlayer(other, &b);
}
