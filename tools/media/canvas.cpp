// Canvas drawing (anti-aliased scanline filling) and the BMP and PNG writers.
#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

Canvas::Canvas(int w, int h, Colour fill, float opacity)
    : width(w), height(h), px(w * h, fill), alpha(w * h, opacity) {}

void Canvas::blend(int x, int y, Colour c, float a) {
  if (x < 0 || y < 0 || x >= width || y >= height || a <= 0) return;
  if (a > 1) a = 1;
  Colour& p = px[y * width + x];
  p = mix(p, c, a);
  float& o = alpha[y * width + x];
  o = o + (1 - o) * a;
}

void Canvas::vgradient(const std::vector<Colour>& stops) {
  for (int y = 0; y < height; y++) {
    float t = height > 1 ? float(y) / (height - 1) * (stops.size() - 1) : 0;
    int i = std::min(int(t), int(stops.size()) - 2);
    Colour c = stops.size() == 1 ? stops[0] : mix(stops[i], stops[i + 1], t - i);
    for (int x = 0; x < width; x++) at(x, y) = c;
  }
}

// Coverage filling: each pixel row is cut by `sub` sub-rows; on each sub-row the
// polygon's non-zero spans add their exact horizontal overlap with every pixel.
template <class ColourFn>
static void fill_polygon(Canvas& cv, const std::vector<Point>& pts, float a, ColourFn colour) {
  const int width = cv.width, height = cv.height;
  if (pts.size() < 3) return;
  const int sub = 5;
  float miny = pts[0].y, maxy = pts[0].y;
  for (const Point& p : pts) {
    miny = std::min(miny, p.y);
    maxy = std::max(maxy, p.y);
  }
  int y0 = std::max(0, int(std::floor(miny)));
  int y1 = std::min(height - 1, int(std::ceil(maxy)));
  std::vector<float> cov(width + 1);
  std::vector<std::pair<float, int>> cross;
  for (int y = y0; y <= y1; y++) {
    std::fill(cov.begin(), cov.end(), 0.0f);
    int xmin = width, xmax = -1;
    for (int s = 0; s < sub; s++) {
      float sy = y + (s + 0.5f) / sub;
      cross.clear();
      for (size_t i = 0; i < pts.size(); i++) {
        Point p = pts[i], q = pts[(i + 1) % pts.size()];
        if ((p.y <= sy) == (q.y <= sy)) continue;
        float x = p.x + (sy - p.y) / (q.y - p.y) * (q.x - p.x);
        cross.push_back({x, q.y > p.y ? 1 : -1});
      }
      std::sort(cross.begin(), cross.end());
      int wind = 0;
      for (size_t i = 0; i + 1 < cross.size(); i++) {
        wind += cross[i].second;
        if (wind == 0) continue;
        float xa = std::max(0.0f, cross[i].first);
        float xb = std::min(float(width), cross[i + 1].first);
        if (xb <= xa) continue;
        int ia = int(xa), ib = int(xb);
        xmin = std::min(xmin, ia);
        xmax = std::max(xmax, ib);
        if (ia == ib) {
          cov[ia] += (xb - xa) / sub;
          continue;
        }
        cov[ia] += (ia + 1 - xa) / sub;
        for (int x = ia + 1; x < ib; x++) cov[x] += 1.0f / sub;
        cov[ib] += (xb - ib) / sub;
      }
    }
    if (xmax < 0) continue;
    Colour c = colour(y);
    for (int x = xmin; x <= xmax && x < width; x++) cv.blend(x, y, c, a * std::min(1.0f, cov[x]));
  }
}

void Canvas::polygon(const std::vector<Point>& pts, Colour c, float a) {
  fill_polygon(*this, pts, a, [&](int) { return c; });
}

void Canvas::polygon_vgradient(const std::vector<Point>& pts, Colour top, Colour bottom, float y0,
                               float y1, float a) {
  fill_polygon(*this, pts, a, [&](int y) {
    float t = (y + 0.5f - y0) / (y1 - y0);
    return mix(top, bottom, std::min(1.0f, std::max(0.0f, t)));
  });
}

std::vector<Point> ring_points(const std::vector<Point>& outer, const std::vector<Point>& inner) {
  // Outer outline, a seam to the inner one, the inner outline backwards, and the
  // seam back: the seam edges cancel and the inside of the inner outline stays empty.
  std::vector<Point> pts = outer;
  pts.push_back(outer[0]);
  pts.push_back(inner[0]);
  for (size_t i = inner.size() - 1; i > 0; i--) pts.push_back(inner[i]);
  pts.push_back(inner[0]);
  return pts;
}

std::vector<Point> moved(std::vector<Point> pts, float dx, float dy) {
  for (Point& p : pts) {
    p.x += dx;
    p.y += dy;
  }
  return pts;
}

std::vector<Point> circle_points(float cx, float cy, float r) {
  std::vector<Point> pts;
  int n = std::max(16, int(r * 1.5f));
  for (int i = 0; i < n; i++) {
    float t = 6.2831853f * i / n;
    pts.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
  }
  return pts;
}

void Canvas::circle(float cx, float cy, float r, Colour c, float a) {
  polygon(circle_points(cx, cy, r), c, a);
}

std::vector<Point> roundrect_points(float x0, float y0, float x1, float y1, float radius) {
  std::vector<Point> pts;
  const float corner[4][2] = {{x1 - radius, y0 + radius}, {x1 - radius, y1 - radius},
                              {x0 + radius, y1 - radius}, {x0 + radius, y0 + radius}};
  const int steps = 8;
  for (int k = 0; k < 4; k++) {
    for (int i = 0; i <= steps; i++) {
      float t = 1.5707963f * (k - 1 + float(i) / steps);
      pts.push_back({corner[k][0] + radius * std::cos(t), corner[k][1] + radius * std::sin(t)});
    }
  }
  return pts;
}

void Canvas::roundrect(float x0, float y0, float x1, float y1, float radius, Colour c, float a) {
  polygon(roundrect_points(x0, y0, x1, y1, radius), c, a);
}

void Canvas::glow(float cx, float cy, float r, Colour c, float a) {
  int xa = std::max(0, int(cx - r)), xb = std::min(width - 1, int(cx + r));
  int ya = std::max(0, int(cy - r)), yb = std::min(height - 1, int(cy + r));
  for (int y = ya; y <= yb; y++) {
    for (int x = xa; x <= xb; x++) {
      float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / r;
      if (d < 1) blend(x, y, c, a * (1 - d) * (1 - d));
    }
  }
}

Image Canvas::image() const {
  Image img(width, height);
  for (int i = 0; i < width * height; i++) putcolour(&img.rgba[size_t(i) * 4], px[i], alpha[i]);
  return img;
}

bool write_bmp(const std::string& path, const Image& image, Layer layer) {
  std::string err;
  if (writebmp(path, image, 24, layer, err)) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

bool write_png(const std::string& path, const Image& image) {
  std::string err;
  if (writepng(path, image, Layer::colour, err)) return true;
  std::fprintf(stderr, "%s\n", err.c_str());
  return false;
}
