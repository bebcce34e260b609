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
