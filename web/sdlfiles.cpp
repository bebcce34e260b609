// SDL's file streams and BMP reader for the browser build. The browser's SDL
// layer keeps its streams as handles in script, which the SDL 1.2 stream
// macros (SDL_RWread, SDL_RWseek) cannot call, and it decodes BMP through the
// browser into other pixel layouts. These take their place at link time, so
// the game's own loaders run unchanged: streams are real SDL_RWops over bytes
// in memory, and a BMP becomes the surface SDL 1.2 makes of it (rows top first,
// pixels as stored: blue, green, red for 24 and 32 bits, indices for 8).
// The browser's SDL header gives a stream's operations long offsets and
// size_t counts, SDL 1.2's own ints: they are fitted to either, so the fuzz
// target (fuzz/webbmp.cpp) builds this file natively.
#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace {

long memseek(SDL_RWops* rw, long offset, int whence) {
  Uint8* base = rw->hidden.mem.base;
  long size = long(rw->hidden.mem.stop - base);
  long here = long(rw->hidden.mem.here - base);
  long to = whence == RW_SEEK_SET ? offset : whence == RW_SEEK_CUR ? here + offset : size + offset;
  if (to < 0) to = 0;  // as SDL's memory streams: clamped to the bytes there are
  if (to > size) to = size;
  rw->hidden.mem.here = base + to;
  return to;
}

size_t memread(SDL_RWops* rw, void* out, size_t size, size_t count) {
  if (size == 0) return 0;
  size_t left = size_t(rw->hidden.mem.stop - rw->hidden.mem.here);
  size_t whole = count <= left / size ? count : left / size;
  memcpy(out, rw->hidden.mem.here, whole * size);
  rw->hidden.mem.here += whole * size;
  return whole;
}

size_t nowrite(SDL_RWops*, const void*, size_t, size_t) { return 0; }

int closeborrowed(SDL_RWops* rw) {
  free(rw);
  return 0;
}

int closeowned(SDL_RWops* rw) {
  free(rw->hidden.mem.base);
  free(rw);
  return 0;
}

// The stream's operation slots, whichever header's types they have.
template <typename R, typename Offset>
void setseek(R (*&slot)(SDL_RWops*, Offset, int)) {
  slot = [](SDL_RWops* rw, Offset offset, int whence) -> R {
    return R(memseek(rw, long(offset), whence));
  };
}
template <typename R, typename Count>
void setread(R (*&slot)(SDL_RWops*, void*, Count, Count)) {
  slot = [](SDL_RWops* rw, void* out, Count size, Count count) -> R {
    if constexpr (std::is_signed<Count>::value) {
      if (size < 0 || count < 0) return R(0);  // SDL 1.2's counts are signed
    }
    return R(memread(rw, out, size_t(size), size_t(count)));
  };
}
template <typename R, typename Count>
void setwrite(R (*&slot)(SDL_RWops*, const void*, Count, Count)) {
  slot = [](SDL_RWops* rw, const void* in, Count size, Count count) -> R {
    return R(nowrite(rw, in, size_t(size), size_t(count)));
  };
}

// Bytes read, none on an error (SDL 1.2's read answers -1).
size_t readbytes(SDL_RWops* rw, void* out, size_t n) {
  const auto got = SDL_RWread(rw, out, 1, n);
  return got > 0 ? size_t(got) : 0;
}

SDL_RWops* memstream(Uint8* bytes, size_t size, int (*close)(SDL_RWops*)) {
  SDL_RWops* rw = static_cast<SDL_RWops*>(calloc(1, sizeof(SDL_RWops)));
  if (!rw) return nullptr;
  setseek(rw->seek);
  setread(rw->read);
  setwrite(rw->write);
  rw->close = close;
  rw->hidden.mem.base = rw->hidden.mem.here = bytes;
  rw->hidden.mem.stop = bytes + size;
  return rw;
}

// Little-endian fields of a header; bytes past its end read as 0.
uint32_t le16(const Uint8* h, size_t n, size_t at) {
  return at + 2 <= n ? uint32_t(h[at] | h[at + 1] << 8) : 0;
}
uint32_t le32(const Uint8* h, size_t n, size_t at) {
  return at + 4 <= n ? uint32_t(h[at]) | uint32_t(h[at + 1]) << 8 | uint32_t(h[at + 2]) << 16 |
                           uint32_t(h[at + 3]) << 24
                     : 0;
}

}  // namespace

extern "C" {

SDL_RWops* SDL_RWFromConstMem(const void* mem, int size) {
  if (!mem || size < 0) return nullptr;
  return memstream(static_cast<Uint8*>(const_cast<void*>(mem)), size_t(size), closeborrowed);
}

// The whole file is read at once: the game's files are read once, whole.
SDL_RWops* SDL_RWFromFile(const char* path, const char* mode) {
  if (!path || !mode || mode[0] != 'r') return nullptr;
  FILE* fp = fopen(path, "rb");
  if (!fp) return nullptr;
  Uint8* bytes = nullptr;
  size_t size = 0;
  if (fseek(fp, 0, SEEK_END) == 0) {
    long end = ftell(fp);
    if (end >= 0 && fseek(fp, 0, SEEK_SET) == 0) {
      size = size_t(end);
      bytes = static_cast<Uint8*>(malloc(size > 0 ? size : 1));
      if (bytes && fread(bytes, 1, size, fp) != size) {
        free(bytes);
        bytes = nullptr;
      }
    }
  }
  fclose(fp);
  if (!bytes) return nullptr;
  SDL_RWops* rw = memstream(bytes, size, closeowned);
  if (!rw) free(bytes);
  return rw;
}

void SDL_FreeSurface(SDL_Surface* s) {
  if (!s) return;
  if (s->format) {
    if (s->format->palette) {
      free(s->format->palette->colors);
      free(s->format->palette);
    }
    free(s->format);
  }
  free(s->pixels);
  free(s);
}

// Uncompressed BMP of 8, 24 or 32 bits a pixel, with the Windows header or the
// old OS/2 one. Anything else (run-length coding, fewer bits, a file shorter
// than its rows) is no picture: null, as SDL answers a file it cannot read.
SDL_Surface* SDL_LoadBMP_RW(SDL_RWops* rw, int freesrc) {
  SDL_Surface* s = nullptr;
  Uint8 h[54] = {0};
  long start = rw ? SDL_RWtell(rw) : -1;
  size_t got = rw ? readbytes(rw, h, 14) : 0;
  uint32_t dataoffset = le32(h, got, 10);
  uint32_t headersize = 0;
  if (got == 14 && h[0] == 'B' && h[1] == 'M' && readbytes(rw, h + 14, 4) == 4)
    headersize = le32(h, 18, 14);
  bool core = headersize == 12;
  size_t n = 18;
  if (core || headersize >= 40) n += readbytes(rw, h + 18, (core ? 12 : 40) - 4);
  int32_t w = core ? int32_t(le16(h, n, 18)) : int32_t(le32(h, n, 18));
  int32_t rows = core ? int32_t(int16_t(le16(h, n, 20))) : int32_t(le32(h, n, 22));
  uint32_t bits = core ? le16(h, n, 24) : le16(h, n, 28);
  uint32_t compression = core ? 0 : le32(h, n, 30);
  uint32_t colours = core ? 0 : le32(h, n, 46);
  bool topfirst = rows < 0;
  uint32_t height = uint32_t(topfirst ? -int64_t(rows) : rows);
  bool ok = (core || headersize >= 40) && n == size_t(headersize >= 40 ? 54 : 26) && w > 0 &&
            height > 0 && compression == 0 && (bits == 8 || bits == 24 || bits == 32) &&
            uint64_t(w) * height <= (uint64_t(1) << 26);
  // 1. The palette, for 8 bits: blue, green, red (and a spare byte), after the header.
  SDL_Palette* palette = nullptr;
  if (ok && bits == 8) {
    int count = colours > 0 && colours <= 256 ? int(colours) : 256;
    int entry = core ? 3 : 4;
    palette = static_cast<SDL_Palette*>(calloc(1, sizeof(SDL_Palette)));
    SDL_Color* table = static_cast<SDL_Color*>(calloc(256, sizeof(SDL_Color)));
    if (palette && table) {
      palette->ncolors = count;
      palette->colors = table;
      SDL_RWseek(rw, start + 14 + long(headersize), RW_SEEK_SET);
      for (int i = 0; i < count && ok; i++) {
        Uint8 c[4];
        ok = readbytes(rw, c, size_t(entry)) == size_t(entry);
        table[i].r = c[2];
        table[i].g = c[1];
        table[i].b = c[0];
      }
    } else {
      ok = false;
      free(table);
    }
  }
  // 2. The rows, each padded to 4 bytes in the file and in memory, bottom row
  //    first unless the height is negative.
  if (ok) {
    int bytespp = int(bits / 8);
    int pitch = (w * bytespp + 3) & ~3;
    s = static_cast<SDL_Surface*>(calloc(1, sizeof(SDL_Surface)));
    SDL_PixelFormat* f = static_cast<SDL_PixelFormat*>(calloc(1, sizeof(SDL_PixelFormat)));
    Uint8* pixels = static_cast<Uint8*>(malloc(size_t(pitch) * height));
    ok = s && f && pixels;
    if (ok) {
      f->BitsPerPixel = Uint8(bits);
      f->BytesPerPixel = Uint8(bytespp);
      f->palette = palette;
      palette = nullptr;
      if (bits >= 24) {
        f->Rmask = 0xff0000;
        f->Gmask = 0x00ff00;
        f->Bmask = 0x0000ff;
        f->Rshift = 16;
        f->Gshift = 8;
      }
      s->format = f;
      s->w = w;
      s->h = int(height);
      s->pitch = pitch;
      s->pixels = pixels;
      s->clip_rect.w = Uint16(w);
      s->clip_rect.h = Uint16(height);
      s->refcount = 1;
      SDL_RWseek(rw, start + long(dataoffset), RW_SEEK_SET);
      for (uint32_t y = 0; y < height && ok; y++) {
        uint32_t row = topfirst ? y : height - 1 - y;
        ok = readbytes(rw, pixels + size_t(row) * pitch, size_t(pitch)) == size_t(pitch);
      }
    } else {
      free(f);
      free(pixels);
    }
    if (!ok) {
      SDL_FreeSurface(s);
      s = nullptr;
    }
  }
  if (palette) {
    free(palette->colors);
    free(palette);
  }
  if (rw && freesrc) SDL_RWclose(rw);
  return s;
}

}  // extern "C"
