// Texture: one OpenGL texture from a colour picture and an optional alpha
// picture; also the cutting of a texture out of two decoded bitmaps.
#include "graphics/texture.h"

#include <GL/gl.h>

#include <cstddef>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <vector>

#include "graphics/bitmap.h"

Texture::Texture(int w, int h, char* colour, int colourpitch, int colourstep, char* alpha,
                 int alphapitch, int alphastep) {
  // 1. The texture object.
  glGenTextures(1, &texname);
  // 2.-3. Blue, green, red (+ alpha byte) become red, green, blue, alpha; a
  // texel without alpha gets 255, which is never used. Every byte is written
  // once, so the block is not cleared first; row pointers and one loop per
  // kind of picture, not a multiply per byte.
  const size_t texels = static_cast<size_t>(w > 0 ? w : 0) * (h > 0 ? h : 0);
  std::unique_ptr<unsigned char[]> staging(new unsigned char[texels * 4]);
  for (int r = 0; r < h; r++) {
    const unsigned char* s =
        reinterpret_cast<unsigned char*>(colour) + static_cast<ptrdiff_t>(r) * colourpitch;
    unsigned char* d = staging.get() + 4 * static_cast<size_t>(r) * w;
    if (alpha) {
      const unsigned char* a =
          reinterpret_cast<unsigned char*>(alpha) + static_cast<ptrdiff_t>(r) * alphapitch;
      for (int c = 0; c < w; c++, s += colourstep, a += alphastep, d += 4) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        d[3] = *a;
      }
    } else if (colourstep == 4) {
      // PNG pictures and 32-bit BMPs.
      for (int c = 0; c < w; c++) {
        d[4 * c + 0] = s[4 * c + 2];
        d[4 * c + 1] = s[4 * c + 1];
        d[4 * c + 2] = s[4 * c + 0];
        d[4 * c + 3] = 255;
      }
    } else {
      for (int c = 0; c < w; c++, s += colourstep, d += 4) {
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        d[3] = 255;
      }
    }
  }
  // 4.-6. Upload, always four bytes a texel; linear filtering, default wrap.
  glBindTexture(GL_TEXTURE_2D, texname);
  glTexImage2D(GL_TEXTURE_2D, 0, alpha ? GL_RGBA : GL_RGB, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               staging.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // 7. The staging block goes with its owner.
  width = w;
  height = h;
}

Texture::~Texture() { glDeleteTextures(1, &texname); }

void Texture::apply() { glBindTexture(GL_TEXTURE_2D, texname); }

void fatal_pixelformat(const char* path, int bytespp) {
  std::cerr << "Picture has " << bytespp << " bytes per pixel, needs 3 or 4: " << path
            << std::endl;
  exit(1);
}

namespace {

// A w by h window of a picture at (x0, y0), as the pointer, pitch and step the
// Texture constructor reads. Inside the picture it points into the picture;
// where the window reaches past the picture's edge it is copied into copy with
// the bytes outside set to 0, so nothing outside the picture is ever read.
struct Window {
  char* data;
  int pitch;
  int step;
  std::vector<char> copy;
};

void window_of(const Bitmap& b, int x0, int y0, int w, int h, Window& out) {
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

}  // namespace

Texture* texture_from_bitmaps(const Bitmap& colour, const Bitmap* alpha, int x0, int y0, int w,
                              int h) {
  Window c, a;
  window_of(colour, x0, y0, w, h, c);
  if (!alpha) return new Texture(w, h, c.data, c.pitch, c.step, nullptr, 0, 0);
  window_of(*alpha, x0, y0, w, h, a);
  return new Texture(w, h, c.data, c.pitch, c.step, a.data, a.pitch, a.step);
}

Texture* load_spritesheet(const char* colourpath, const char* alphapath, int w, int h) {
  Bitmap* colour = new Bitmap(colourpath);
  if (colour->bytespp < 3) fatal_pixelformat(colourpath, colour->bytespp);
  Bitmap* alpha = new Bitmap(alphapath);
  Texture* sheet = texture_from_bitmaps(*colour, alpha, 0, 0, w, h);
  delete alpha;
  delete colour;
  return sheet;
}
