// The art generator's picture writers, seeds and deterministic noise.
#include "image.h"

#include <cmath>
#include <cstdio>

// Both writers report as this tool does: "twinfold-art: " and what went wrong.
static bool reported(bool ok, const std::string& err) {
  if (!ok) std::fprintf(stderr, "twinfold-art: %s\n", err.c_str());
  return ok;
}

bool writepng(const std::string& path, const Image& image, bool greyalpha) {
  std::string err;
  return reported(writepng(path, image, greyalpha ? Layer::alpha : Layer::colour, err), err);
}

bool writebmp(const std::string& path, const Image& image, bool greyalpha) {
  std::string err;
  return reported(writebmp(path, image, 32, greyalpha ? Layer::alpha : Layer::colour, err), err);
}

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
