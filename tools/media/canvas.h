// Canvas: an RGB picture in floating point with anti-aliased shape filling,
// and the BMP and PNG writers that turn it into game files.
#pragma once
#include <string>
#include <vector>

#include "content/picture.h"
#include "content/rng.h"

struct Point {
  float x, y;  // canvas pixels, y down, (0, 0) the top-left corner of the top-left pixel
};

class Canvas {
 public:
  int width, height;       // pixels
  std::vector<Colour> px;  // rows top first
  std::vector<float> alpha;  // opacity 0 to 1 per pixel, for pictures with an alpha picture

  Canvas(int w, int h, Colour fill = {0, 0, 0}, float opacity = 1);

  Colour& at(int x, int y) { return px[y * width + x]; }
  // The canvas in bytes, for the file writers; its alpha becomes the image's alpha.
  Image image() const;
  // Blends c over pixel (x, y) with weight a (0 to 1); also raises the pixel's opacity.
  void blend(int x, int y, Colour c, float a);

  // Top-to-bottom gradient through evenly spaced stops.
  void vgradient(const std::vector<Colour>& stops);
  // Fills a polygon (non-zero winding) with coverage-based anti-aliasing.
  void polygon(const std::vector<Point>& pts, Colour c, float a = 1);
  // The same with a colour running from top (at row y0) to bottom (at row y1).
  void polygon_vgradient(const std::vector<Point>& pts, Colour top, Colour bottom, float y0, float y1,
                         float a = 1);
  void circle(float cx, float cy, float r, Colour c, float a = 1);
  void roundrect(float x0, float y0, float x1, float y1, float radius, Colour c, float a = 1);
  // A soft glow: opacity a at the centre falling to 0 at radius r.
  void glow(float cx, float cy, float r, Colour c, float a);
};

// Polygon helpers.
std::vector<Point> roundrect_points(float x0, float y0, float x1, float y1, float radius);
std::vector<Point> circle_points(float cx, float cy, float r);
// A ring between two outlines of the same orientation (the inner one inside the outer).
std::vector<Point> ring_points(const std::vector<Point>& outer, const std::vector<Point>& inner);
// The outline moved by (dx, dy).
std::vector<Point> moved(std::vector<Point> pts, float dx, float dy);

// The library's writers with this tool's message on standard error; each
// returns false when the file cannot be written. BMP: 24 bits a pixel, the
// colour picture or the alpha picture. PNG: the colour picture.
bool write_bmp(const std::string& path, const Image& image, Layer layer);
bool write_png(const std::string& path, const Image& image);
