// Texture: one OpenGL texture from a colour picture and an optional alpha
// picture; also the cutting of a texture out of two decoded bitmaps.
#include "graphics/texture.h"

#include <GL/gl.h>

#include <cstdlib>
#include <iostream>
#include <memory>

#include "graphics/bitmap.h"
#include "graphics/tiles.h"

Texture::Texture(int w, int h, char* colour, int colourpitch, int colourstep, char* alpha,
                 int alphapitch, int alphastep) {
  // 1. The texture object.
  glGenTextures(1, &texname);
  // 2.-3. Blue, green, red (+ alpha byte) become red, green, blue, alpha.
  // Not zeroed first: every byte of it is written before the upload.
  std::unique_ptr<unsigned char[]> staging(new unsigned char[static_cast<size_t>(w) * h * 4]);
  texels_into(w, h, colour, colourpitch, colourstep, alpha, alphapitch, alphastep, staging.get());
  // 4.-6. Upload, always four bytes a texel; linear filtering, default wrap.
  glBindTexture(GL_TEXTURE_2D, texname);
  glTexImage2D(GL_TEXTURE_2D, 0, alpha ? GL_RGBA : GL_RGB, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               staging.get());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // 7. The staging block goes with its holder.
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

Texture* texture_from_bitmaps(const Bitmap& colour, const Bitmap* alpha, int x0, int y0, int w,
                              int h) {
  PictureWindow c, a;
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
