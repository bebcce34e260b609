// Colours, RGBA pictures and their BMP and PNG writers.
#include "content/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "content/pngwrite.h"

Colour hexcolour(uint32_t rgb) {
  return {float((rgb >> 16) & 255) / 255.0f, float((rgb >> 8) & 255) / 255.0f,
          float(rgb & 255) / 255.0f};
}

Colour mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scale(Colour a, float f) { return {a.r * f, a.g * f, a.b * f}; }

uint8_t colourbyte(float v) {
  v = std::min(1.0f, std::max(0.0f, v));
  return uint8_t(std::lround(v * 255));
}

void putcolour(uint8_t* px, Colour c, float alpha) {
  px[0] = colourbyte(c.r);
  px[1] = colourbyte(c.g);
  px[2] = colourbyte(c.b);
  px[3] = colourbyte(alpha);
}

static void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

static void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xffff);
  put16(b, v >> 16);
}

bool writebmp(const std::string& path, const Image& image, int bits, Layer layer, std::string& err) {
  const uint32_t headers = 14 + 40;
  const uint32_t bytespp = bits == 32 ? 4 : 3;
  const uint32_t rowbytes = (uint32_t(image.width) * bytespp + 3) / 4 * 4;
  const uint32_t data = rowbytes * uint32_t(image.height);
  std::vector<uint8_t> b;
  b.reserve(headers + data);
  // 1. File header, then BITMAPINFOHEADER: BI_RGB (0), 72 dots per inch.
  b.push_back('B');
  b.push_back('M');
  put32(b, headers + data);
  put32(b, 0);
  put32(b, headers);
  put32(b, 40);
  put32(b, uint32_t(image.width));
  put32(b, uint32_t(image.height));  // positive: rows bottom first
  put16(b, 1);
  put16(b, uint32_t(bytespp * 8));
  put32(b, 0);
  put32(b, data);
  put32(b, 2835);
  put32(b, 2835);
  put32(b, 0);
  put32(b, 0);
  // 2. The rows, bottom first, blue, green, red.
  for (int y = image.height - 1; y >= 0; y--) {
    const size_t start = b.size();
    for (int x = 0; x < image.width; x++) {
      const uint8_t* p = image.at(x, y);
      if (layer == Layer::alpha) {
        b.insert(b.end(), {p[3], p[3], p[3]});
      } else {
        b.insert(b.end(), {p[2], p[1], p[0]});
      }
      if (bytespp == 4) b.push_back(255);
    }
    b.resize(start + rowbytes, 0);
  }
  // 3. The file, whole.
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    err = "cannot write " + path;
    return false;
  }
  bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) err = "error while writing " + path;
  return ok;
}

bool writepng(const std::string& path, const Image& image, Layer layer, std::string& err) {
  std::vector<uint8_t> grey;
  const uint8_t* pixels = image.rgba.data();
  if (layer == Layer::alpha) {
    grey.resize(image.rgba.size());
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
      const uint8_t a = image.rgba[i + 3];
      grey[i] = grey[i + 1] = grey[i + 2] = a;
      grey[i + 3] = 255;
    }
    pixels = grey.data();
  }
  return writepngfile(path, image.width, image.height, 4, pixels, true, err);
}
