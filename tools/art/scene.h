// Scene: a list of filled shapes in design units (y up), drawn in order and
// rasterised with anti-aliasing by supersampling; used for the hero, the
// pickups and the small objects drawn into the level pictures.
#pragma once
#include <vector>

#include "image.h"

struct Shape {
  enum Kind { ellipse, capsule, triangle, roundbox };
  Kind kind;
  float p[7];        // ellipse: cx cy rx ry angle; capsule: x0 y0 x1 y1 r;
                     // triangle: x0 y0 x1 y1 x2 y2; roundbox: x0 y0 x1 y1 corner radius
  Colour colour;
  float alpha;       // 1 opaque; a hole punches back to transparent with 0
  float minx, miny, maxx, maxy;  // bounds, for a quick reject
  bool inside(float x, float y) const;
};

class Scene {
 public:
  void ellipse(float cx, float cy, float rx, float ry, float angle, Colour c, float alpha = 1);
  void circle(float cx, float cy, float r, Colour c, float alpha = 1) {
    ellipse(cx, cy, r, r, 0, c, alpha);
  }
  void capsule(float x0, float y0, float x1, float y1, float r, Colour c, float alpha = 1);
  void triangle(float x0, float y0, float x1, float y1, float x2, float y2, Colour c,
                float alpha = 1);
  void roundbox(float x0, float y0, float x1, float y1, float radius, Colour c, float alpha = 1);

  // Draws the scene over the region [x0, x0 + w) x [y0, y0 + h) of the image
  // (rows top first). The design origin is the region's lower left corner;
  // one design unit is scalex by scaley pixels. samples^2 samples a pixel.
  void render(Image& image, int x0, int y0, int w, int h, float scalex, float scaley,
              int samples) const;

  std::vector<Shape> shapes;  // in drawing order: later shapes cover earlier ones
};

// Straight-alpha "over": draws colour c with opacity a over the pixel.
void blendover(uint8_t* px, Colour c, float a);
