// Tiles: the geometry of a layer's tiles and the reading of texels out of
// decoded bitmaps, shared by the textures and by headless checks.
#include "graphics/tiles.h"

#include <cstddef>

#include "graphics/bitmap.h"
#include "graphics/swizzle.h"

int tileside(int index, int pixels) {
  int side = tilesize;
  while (index * tilesize + side > pixels) side /= 2;
  return side;
}

bool tileswhole(int pixels) {
  const int n = tilecount(pixels);
  return n == 0 || (n - 1) * tilesize + tileside(n - 1, pixels) == pixels;
}

std::vector<LayerTile> layertiles(int width, int height) {
  std::vector<LayerTile> tiles;
  int tilesx = tilecount(width), tilesy = tilecount(height);
  for (int i = 0; i < tilesy; i++) {
    const int th = tileside(i, height);
    for (int j = 0; j < tilesx; j++)
      tiles.push_back(LayerTile{j * tilesize, i * tilesize, tileside(j, width), th});
  }
  return tiles;
}

void window_of(const Bitmap& b, int x0, int y0, int w, int h, PictureWindow& out) {
  int step = b.bytespp;
  if (x0 + w <= b.width && y0 + h <= b.height) {
    out.data = reinterpret_cast<char*>(b.pixels) + static_cast<size_t>(y0) * b.pitch +
               static_cast<size_t>(x0) * step;
    out.pitch = b.pitch;
    out.step = step;
    return;
  }
  // Whole pixels of 4 bytes, so a 3-byte colour read never crosses a pixel.
  out.copy.assign(static_cast<size_t>(w) * h * 4, 0);
  for (int r = 0; r < h && y0 + r < b.height; r++) {
    for (int c = 0; c < w && x0 + c < b.width; c++) {
      const unsigned char* s =
          b.pixels + static_cast<size_t>(y0 + r) * b.pitch + static_cast<size_t>(x0 + c) * step;
      char* d = &out.copy[(static_cast<size_t>(r) * w + c) * 4];
      for (int k = 0; k < step && k < 4; k++) d[k] = static_cast<char>(s[k]);
    }
  }
  out.data = out.copy.data();
  out.pitch = w * 4;
  out.step = 4;
}

void texels_into(int w, int h, const char* colour, int colourpitch, int colourstep,
                 const char* alpha, int alphapitch, int alphastep, unsigned char* out) {
  // Blue, green, red (+ alpha byte) become red, green, blue, alpha; a texel
  // without alpha gets 255, which is never used.
  for (int r = 0; r < h; r++) {
    const unsigned char* s =
        reinterpret_cast<const unsigned char*>(colour) + static_cast<ptrdiff_t>(r) * colourpitch;
    const unsigned char* a =
        alpha ? reinterpret_cast<const unsigned char*>(alpha) + static_cast<ptrdiff_t>(r) * alphapitch
              : nullptr;
    swizzle::swap02(s, colourstep, a, alphastep, 255, out + 4 * static_cast<size_t>(r) * w,
                    w > 0 ? static_cast<size_t>(w) : 0);
  }
}

void texels_from(int w, int h, const char* colour, int colourpitch, int colourstep,
                 const char* alpha, int alphapitch, int alphastep, std::vector<unsigned char>& out) {
  out.resize(static_cast<size_t>(w > 0 ? w : 0) * (h > 0 ? h : 0) * 4);
  texels_into(w, h, colour, colourpitch, colourstep, alpha, alphapitch, alphastep, out.data());
}

void tile_texels(const Bitmap& colour, const Bitmap* alpha, int x0, int y0, int w, int h,
                 std::vector<unsigned char>& out) {
  PictureWindow c, a;
  window_of(colour, x0, y0, w, h, c);
  if (alpha) window_of(*alpha, x0, y0, w, h, a);
  texels_from(w, h, c.data, c.pitch, c.step, a.data, a.pitch, a.step, out);
}
