// Fuzz target: PNG pictures from memory through the bitmap and a layer's tile
// cutting, headless.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Bitmap* other = otherpicture();
  if (size == 0) return 0;  // fmemopen wants at least one byte
  FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!f) return 0;
  std::string err;
  Bitmap* b = Bitmap::read_png(f, "fuzz.png", err);
  std::fclose(f);
  if (!b) {
    if (err.empty()) __builtin_trap();  // every failure has its message
    return 0;
  }
  if (b->bytespp != 4 || b->pitch != 4 * b->width || b->width <= 0 || b->height <= 0)
    __builtin_trap();
  cutpicture(*b, *other);
  delete b;
  return 0;
}
