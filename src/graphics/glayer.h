// GraphicsLayer: a named picture cut into power-of-two texture tiles of at most
// 256 by 256 pixels, drawn at a window position with an opacity.
#pragma once

class Texture;

class GraphicsLayer {
 public:
  Texture** tiles;  // tilesx * tilesy tiles, row 0 at the top of the picture; owned
  int width;        // colour picture width in pixels
  int height;       // colour picture height in pixels
  int tilesx;       // tile columns
  int tilesy;       // tile rows

  GraphicsLayer(const char* name, bool usealpha, bool usepng);
  GraphicsLayer(const char* name, bool usealpha);
  explicit GraphicsLayer(const char* name);
  ~GraphicsLayer();
  GraphicsLayer(const GraphicsLayer&) = delete;
  GraphicsLayer& operator=(const GraphicsLayer&) = delete;

  void init(const char* name, bool usealpha, bool usepng);
  // Lower left corner at window pixel (x, y), y up; alpha scaled by opacity.
  void render(int x, int y, float opacity);
};
