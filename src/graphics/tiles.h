// Tiles: how a layer's picture is cut into texture tiles and how a tile's
// texels are read out of decoded bitmaps. Plain memory work, no OpenGL, so a
// picture can be cut without a screen.
#pragma once
#include <vector>

class Bitmap;

constexpr int tilesize = 256;  // largest tile; OpenGL 1.x wants powers of two

// Tiles along one side of a picture of that many pixels (the last one partial).
inline int tilecount(int pixels) { return pixels / tilesize + (pixels % tilesize > 0 ? 1 : 0); }

// Side of tile number index along a side of that many pixels: the largest
// power of two up to tilesize that fits in what is left from the tile's start.
int tileside(int index, int pixels);

// True when a side of that many pixels (0 or more) shows every pixel in its
// tiles: what is left beyond the last whole tile is 0 or a power of two.
bool tileswhole(int pixels);

// One tile: its top left corner in the picture and its size, in pixels.
struct LayerTile {
  int x0, y0;
  int w, h;
};

// The tiles of a width by height picture, tilecount(height) rows of
// tilecount(width), row 0 at the top. Each tile is the largest power of two
// that fits in what is left of the picture, so the last column and row may
// leave pixels out (a 1000-pixel picture ends with a 128-pixel column and
// drops its last 104 pixels).
std::vector<LayerTile> layertiles(int width, int height);

// A w by h window of a picture at (x0, y0), as a pointer, pitch and step.
// Inside the picture it points into the picture; where the window reaches past
// the picture's edge it is copied into copy with the bytes outside set to 0,
// so nothing outside the picture is ever read.
struct PictureWindow {
  char* data = nullptr;
  int pitch = 0;
  int step = 0;
  std::vector<char> copy;
};
void window_of(const Bitmap& b, int x0, int y0, int w, int h, PictureWindow& out);

// The w by h texels as red, green, blue, alpha into out (w * h * 4 bytes):
// texel (c, r) takes blue, green, red from colour + r * colourpitch + c * colourstep
// and, when alpha is not null, its opacity from alpha + r * alphapitch + c * alphastep;
// 255 otherwise.
void texels_from(int w, int h, const char* colour, int colourpitch, int colourstep,
                 const char* alpha, int alphapitch, int alphastep, std::vector<unsigned char>& out);
// The same into a block of w * h * 4 bytes that the caller holds.
void texels_into(int w, int h, const char* colour, int colourpitch, int colourstep,
                 const char* alpha, int alphapitch, int alphastep, unsigned char* out);

// The texels texture_from_bitmaps uploads for the w by h tile of colour at
// (x0, y0) with its opacity from alpha (may be null), without uploading them.
void tile_texels(const Bitmap& colour, const Bitmap* alpha, int x0, int y0, int w, int h,
                 std::vector<unsigned char>& out);
