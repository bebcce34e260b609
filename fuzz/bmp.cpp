// Fuzz target: BMP pictures from memory through the bitmap and a layer's tile
// cutting, headless.
#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Bitmap* other = otherpicture();
  SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
  if (!rw) return 0;
  std::string err;
  Bitmap* b = Bitmap::read_bmp(rw, "fuzz.bmp", err);  // closes rw
  if (!b) {
    if (err != "Could not load bitmap: fuzz.bmp\n") __builtin_trap();
    return 0;
  }
  if (b->width <= 0 || b->height <= 0 || b->bytespp <= 0 || b->pitch < b->width * b->bytespp)
    __builtin_trap();
  cutpicture(*b, *other);
  delete b;
  return 0;
}
