// Bitmap: one picture file (BMP through SDL, PNG through libpng) decoded into
// rows of pixel bytes, blue, green, red first, row 0 the top of the picture.
#pragma once

struct SDL_Surface;

class Bitmap {
 public:
  unsigned char* pixels;  // first byte of the top pixel row
  int width;              // pixels
  int height;             // pixels
  int pitch;              // bytes from one row to the next
  int bytespp;            // bytes per pixel
  bool fromsurface;       // pixels lie inside surface (BMP); else a block of our own (PNG)
  SDL_Surface* surface;   // owned; null for PNG

  // Loads path by its suffix; ends the program with the loader's message on failure.
  explicit Bitmap(const char* path);
  virtual ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  void load_bmp(const char* path);
  void load_png(const char* path);
};
