// Scene shapes and their supersampled rasterisation.
#include "scene.h"

#include <algorithm>
#include <cmath>

bool Shape::inside(float x, float y) const {
  if (x < minx || x > maxx || y < miny || y > maxy) return false;
  switch (kind) {
    case ellipse: {
      float c = std::cos(p[4]), s = std::sin(p[4]);
      float dx = x - p[0], dy = y - p[1];
      float u = (dx * c + dy * s) / p[2], v = (-dx * s + dy * c) / p[3];
      return u * u + v * v <= 1.0f;
    }
    case capsule: {
      float ax = p[2] - p[0], ay = p[3] - p[1];
      float len2 = ax * ax + ay * ay;
      float t = len2 > 0 ? ((x - p[0]) * ax + (y - p[1]) * ay) / len2 : 0;
      t = std::min(1.0f, std::max(0.0f, t));
      float dx = x - (p[0] + ax * t), dy = y - (p[1] + ay * t);
      return dx * dx + dy * dy <= p[4] * p[4];
    }
    case triangle: {
      auto side = [&](float ax, float ay, float bx, float by) {
        return (bx - ax) * (y - ay) - (by - ay) * (x - ax);
      };
      float a = side(p[0], p[1], p[2], p[3]), b = side(p[2], p[3], p[4], p[5]);
      float c = side(p[4], p[5], p[0], p[1]);
      return (a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0);
    }
    case roundbox: {
      float r = p[4];
      float qx = std::max(std::max(p[0] + r - x, x - (p[2] - r)), 0.0f);
      float qy = std::max(std::max(p[1] + r - y, y - (p[3] - r)), 0.0f);
      return qx * qx + qy * qy <= r * r;
    }
  }
  return false;
}

static Shape make(Shape::Kind k, std::initializer_list<float> v, Colour c, float alpha) {
  Shape s{};
  s.kind = k;
  std::copy(v.begin(), v.end(), s.p);
  s.colour = c;
  s.alpha = alpha;
  return s;
}

void Scene::ellipse(float cx, float cy, float rx, float ry, float angle, Colour c, float alpha) {
  Shape s = make(Shape::ellipse, {cx, cy, rx, ry, angle}, c, alpha);
  float r = std::max(rx, ry);
  s.minx = cx - r, s.maxx = cx + r, s.miny = cy - r, s.maxy = cy + r;
  shapes.push_back(s);
}

void Scene::capsule(float x0, float y0, float x1, float y1, float r, Colour c, float alpha) {
  Shape s = make(Shape::capsule, {x0, y0, x1, y1, r}, c, alpha);
  s.minx = std::min(x0, x1) - r, s.maxx = std::max(x0, x1) + r;
  s.miny = std::min(y0, y1) - r, s.maxy = std::max(y0, y1) + r;
  shapes.push_back(s);
}

void Scene::triangle(float x0, float y0, float x1, float y1, float x2, float y2, Colour c,
                     float alpha) {
  Shape s = make(Shape::triangle, {x0, y0, x1, y1, x2, y2}, c, alpha);
  s.minx = std::min({x0, x1, x2}), s.maxx = std::max({x0, x1, x2});
  s.miny = std::min({y0, y1, y2}), s.maxy = std::max({y0, y1, y2});
  shapes.push_back(s);
}

void Scene::roundbox(float x0, float y0, float x1, float y1, float radius, Colour c,
                     float alpha) {
  Shape s = make(Shape::roundbox, {x0, y0, x1, y1, radius}, c, alpha);
  s.minx = x0, s.maxx = x1, s.miny = y0, s.maxy = y1;
  shapes.push_back(s);
}

void blendover(uint8_t* px, Colour c, float a) {
  if (a <= 0) return;
  float da = px[3] / 255.0f;
  float oa = a + da * (1 - a);
  Colour d{px[0] / 255.0f, px[1] / 255.0f, px[2] / 255.0f};
  Colour o{(c.r * a + d.r * da * (1 - a)) / oa, (c.g * a + d.g * da * (1 - a)) / oa,
           (c.b * a + d.b * da * (1 - a)) / oa};
  putcolour(px, o, oa);
}

void Scene::render(Image& image, int x0, int y0, int w, int h, float scalex, float scaley,
                   int samples) const {
  float minx = 1e9f, miny = 1e9f, maxx = -1e9f, maxy = -1e9f;
  for (const Shape& s : shapes) {
    minx = std::min(minx, s.minx), maxx = std::max(maxx, s.maxx);
    miny = std::min(miny, s.miny), maxy = std::max(maxy, s.maxy);
  }
  const float step = 1.0f / float(samples);
  for (int py = std::max(0, y0); py < std::min(image.height, y0 + h); py++) {
    for (int px = std::max(0, x0); px < std::min(image.width, x0 + w); px++) {
      // Quick reject on the scene's bounds, one pixel of slack.
      float cx = (float(px - x0) + 0.5f) / scalex, cy = (float(y0 + h - py) - 0.5f) / scaley;
      if (cx < minx - 1 / scalex || cx > maxx + 1 / scalex || cy < miny - 1 / scaley ||
          cy > maxy + 1 / scaley)
        continue;
      float r = 0, g = 0, b = 0, cover = 0;
      for (int sy = 0; sy < samples; sy++) {
        for (int sx = 0; sx < samples; sx++) {
          float dx = (float(px - x0) + (float(sx) + 0.5f) * step) / scalex;
          float dy = (float(y0 + h - py) - (float(sy) + 0.5f) * step) / scaley;
          for (size_t i = shapes.size(); i-- > 0;) {
            const Shape& s = shapes[i];
            if (!s.inside(dx, dy)) continue;
            r += s.colour.r * s.alpha;
            g += s.colour.g * s.alpha;
            b += s.colour.b * s.alpha;
            cover += s.alpha;
            break;
          }
        }
      }
      if (cover <= 0) continue;
      float n = float(samples * samples);
      blendover(image.at(px, py), Colour{r / cover, g / cover, b / cover}, cover / n);
    }
  }
}
