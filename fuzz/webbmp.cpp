// Fuzz target: the browser build's own BMP reader (web/sdlfiles.cpp), built
// natively: a surface it hands back must be whole, every row and palette
// entry readable, and freed by its own SDL_FreeSurface.
#include <SDL.h>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
  if (!rw) __builtin_trap();  // a memory stream over any bytes opens
  SDL_Surface* s = SDL_LoadBMP_RW(rw, 1);
  if (!s) return 0;
  const SDL_PixelFormat* f = s->format;
  if (!f || s->w <= 0 || s->h <= 0 || !s->pixels || s->pitch < s->w * f->BytesPerPixel ||
      s->pitch % 4 != 0 || f->BitsPerPixel != 8 * f->BytesPerPixel ||
      (f->BitsPerPixel == 8) != (f->palette != nullptr))
    __builtin_trap();
  // Read every byte the game's loader may read; the sanitizers catch a row
  // or palette entry that is not there or was never written.
  unsigned sum = 0;
  const Uint8* p = static_cast<const Uint8*>(s->pixels);
  for (size_t i = 0; i < size_t(s->pitch) * size_t(s->h); i++) sum += p[i];
  if (f->palette) {
    if (f->palette->ncolors <= 0 || f->palette->ncolors > 256) __builtin_trap();
    for (int i = 0; i < 256; i++) sum += f->palette->colors[i].r;
  }
  SDL_FreeSurface(s);
  return sum == 0xFFFFFFFFu;  // keeps the reads; never true for these sizes
}
