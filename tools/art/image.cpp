// Picture writers, colours and the deterministic noise of the art generator.
#include "image.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "content/pngwrite.h"

Colour mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scale(Colour a, float f) { return {a.r * f, a.g * f, a.b * f}; }

Colour hexcolour(uint32_t rgb) {
  return {float((rgb >> 16) & 255) / 255.0f, float((rgb >> 8) & 255) / 255.0f,
          float(rgb & 255) / 255.0f};
}

static uint8_t tobyte(float v) {
  float c = std::min(1.0f, std::max(0.0f, v));
  return uint8_t(int(c * 255.0f + 0.5f));
}

void putcolour(uint8_t* px, Colour c, float alpha) {
  px[0] = tobyte(c.r);
  px[1] = tobyte(c.g);
  px[2] = tobyte(c.b);
  px[3] = tobyte(alpha);
}

bool writepng(const std::string& path, const Image& image, bool greyalpha) {
  std::vector<uint8_t> grey;
  const uint8_t* pixels = image.rgba.data();
  if (greyalpha) {
    grey.resize(image.rgba.size());
    for (size_t i = 0; i < image.rgba.size(); i += 4) {
      uint8_t a = image.rgba[i + 3];
      grey[i] = grey[i + 1] = grey[i + 2] = a;
      grey[i + 3] = 255;
    }
    pixels = grey.data();
  }
  // The fast flag keeps the build quick: the pictures are large and mostly flat.
  std::string err;
  if (!writepngfile(path, image.width, image.height, 4, pixels, true, err)) {
    std::fprintf(stderr, "twinfold-art: %s\n", err.c_str());
    return false;
  }
  return true;
}

static void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
static void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xffff);
  put16(b, v >> 16);
}

bool writebmp(const std::string& path, const Image& image, bool greyalpha) {
  const uint32_t headers = 14 + 40;
  const uint32_t data = uint32_t(image.width) * uint32_t(image.height) * 4;
  std::vector<uint8_t> b;
  b.reserve(headers + data);
  // File header, then BITMAPINFOHEADER: 32 bits per pixel, BI_RGB (0).
  b.push_back('B');
  b.push_back('M');
  put32(b, headers + data);
  put32(b, 0);
  put32(b, headers);
  put32(b, 40);
  put32(b, uint32_t(image.width));
  put32(b, uint32_t(image.height));  // positive: rows bottom first
  put16(b, 1);
  put16(b, 32);
  put32(b, 0);
  put32(b, data);
  put32(b, 2835);  // 72 dots per inch
  put32(b, 2835);
  put32(b, 0);
  put32(b, 0);
  for (int y = image.height - 1; y >= 0; y--) {
    for (int x = 0; x < image.width; x++) {
      const uint8_t* p = image.at(x, y);
      if (greyalpha) {
        b.insert(b.end(), {p[3], p[3], p[3], 255});
      } else {
        b.insert(b.end(), {p[2], p[1], p[0], 255});
      }
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "twinfold-art: cannot write %s\n", path.c_str());
    return false;
  }
  bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) std::fprintf(stderr, "twinfold-art: error while writing %s\n", path.c_str());
  return ok;
}

uint64_t Rng::next() {
  uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

float Rng::unit() { return float(next() >> 40) / float(1ull << 24); }

float Rng::range(float lo, float hi) { return lo + (hi - lo) * unit(); }

uint64_t nameseed(const std::string& name) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : name) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

static float latticehash(int x, int y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return float(h & 0xffffff) / float(0xffffff);
}

float valuenoise(float x, float y, uint32_t seed) {
  float fx = std::floor(x), fy = std::floor(y);
  int ix = int(fx), iy = int(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  float a = latticehash(ix, iy, seed), b = latticehash(ix + 1, iy, seed);
  float c = latticehash(ix, iy + 1, seed), d = latticehash(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fractalnoise(float x, float y, uint32_t seed, int octaves) {
  float sum = 0, amp = 1, norm = 0;
  for (int i = 0; i < octaves; i++) {
    sum += valuenoise(x, y, seed + uint32_t(i) * 101u) * amp;
    norm += amp;
    amp *= 0.5f;
    x *= 2.0f;
    y *= 2.0f;
  }
  return sum / norm;
}
