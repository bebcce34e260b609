// Bitmap: one picture file (BMP through SDL, PNG through libpng) decoded into
// rows of pixel bytes, blue, green, red first, row 0 the top of the picture.
#pragma once
#include <cstdio>
#include <string>

struct SDL_Surface;
struct SDL_RWops;

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

  // Open path and decode it; a failure ends the program with the message of
  // read_bmp or read_png.
  void load_bmp(const char* path);
  void load_png(const char* path);

  // Decoding that never exits, for the loaders above and for tools that feed
  // pictures from memory: the picture, or null with err set to exactly what
  // the game prints for it on standard error (a line break only where the
  // game writes one). path only names the picture in messages.
  static Bitmap* read_bmp(SDL_RWops* rw, const char* path, std::string& err);  // closes rw
  static Bitmap* read_png(FILE* fp, const char* path, std::string& err);       // fp borrowed

 private:
  Bitmap();  // no picture yet; only the readers make one
  std::string decode_bmp(SDL_RWops* rw, const char* path);
  std::string decode_png(FILE* fp, const char* path);
};

// Width and height from a PNG file's signature and IHDR chunk, without
// decoding it or printing anything; false when the file is not a readable PNG
// (too short, another signature or first chunk, a side of 0 or beyond int).
bool pngsize(const std::string& path, int* width, int* height);
