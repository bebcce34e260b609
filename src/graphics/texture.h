// Texture: one OpenGL texture built from a colour picture and an optional
// separate alpha picture.
#pragma once

class Texture {
 public:
  int width;             // texels
  int height;            // texels
  unsigned int texname;  // the OpenGL texture object; owned

  // Texel (c, r) takes blue, green, red from colour + r * colourpitch + c * colourstep
  // and, when alpha is not null, its opacity from alpha + r * alphapitch + c * alphastep.
  Texture(int w, int h, char* colour, int colourpitch, int colourstep, char* alpha,
          int alphapitch, int alphastep);
  ~Texture();
  Texture(const Texture&) = delete;
  Texture& operator=(const Texture&) = delete;

  void apply();
};

// The hero's sprite sheet: a w by h texture from a colour picture and its alpha
// picture, both read at 4 bytes a pixel. Never reads outside either picture.
Texture* load_spritesheet(const char* colourpath, const char* alphapath, int w, int h);

class Bitmap;

// The w by h texture cut from colour at (x0, y0) and, when alpha is not null,
// its opacity from the first byte of each alpha pixel at the same place. Each
// picture is read with its own pitch and bytes per pixel; texels that fall
// outside a picture are black, and transparent where the alpha picture does not
// reach. The colour picture needs at least 3 bytes per pixel. (graphics)
Texture* texture_from_bitmaps(const Bitmap& colour, const Bitmap* alpha, int x0, int y0, int w,
                              int h);

// Ends the program: "Picture has N bytes per pixel, needs 3 or 4: " + path.
[[noreturn]] void fatal_pixelformat(const char* path, int bytespp);
