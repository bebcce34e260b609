// Level preview: bounds, the flat drawing of elements and items, and the
// replay's path, into an RGB picture.
#include "kit/preview.h"

#include <algorithm>

#include "kit/snapshot.h"
#include "world/world.h"

const PreviewRgb previewinks[ink_count] = {
    {22, 26, 38},     // background: night blue
    {139, 98, 60},    // ground: earth
    {196, 150, 84},   // slope: lighter earth, so a slope reads apart from its ground
    {226, 208, 150},  // ledge: sand
    {140, 214, 244},  // slippery: ice
    {128, 132, 146},  // no wall jump: metal grey
    {226, 40, 40},    // spikes: red
    {60, 200, 90},    // checkpoint: green
    {250, 212, 40},   // end: gold
    {190, 80, 230},   // shift pickup: violet
    {255, 128, 200},  // viewmaster pickup: pink
    {84, 84, 96},     // taken pickup: dim grey
    {0, 255, 255},    // start: cyan outline
    {255, 255, 255},  // path: white
    {255, 0, 255},    // carried shift: magenta line and square
    {255, 136, 0},    // refused shift: orange cross
    {170, 170, 170},  // idle shift: grey cross
};

const char* const previewinknames[ink_count] = {
    "background", "ground", "slope", "ledge", "slippery", "no wall jump",
    "spikes", "checkpoint", "end", "shift pickup", "viewmaster pickup", "taken pickup",
    "start (outline)", "path", "shift that carried the hero", "shift refused (cross)",
    "shift that could not start (cross)"};

namespace {

// Rounding toward minus infinity and plus infinity, for b > 0.
int64_t floordiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int64_t ceildiv(int64_t a, int64_t b) { return -floordiv(-a, b); }

PreviewInk solidink(const Box& b) {
  if (b.ledge) return ink_ledge;
  if (b.nowalljump) return ink_nowalljump;
  if (b.slippery) return ink_slippery;
  return b.triangle ? ink_slope : ink_ground;
}

bool itemink(int32_t kind, PreviewInk* ink) {
  switch (kind) {
    case kind_taken: *ink = ink_taken; return true;
    case kind_checkpoint: *ink = ink_checkpoint; return true;
    case kind_end: *ink = ink_end; return true;
    case kind_shift: *ink = ink_shiftpickup; return true;
    case kind_spikes: *ink = ink_spikes; return true;
    case kind_viewmaster: *ink = ink_viewmaster; return true;
    default: return false;
  }
}

// Level-space bounds of everything drawn.
LevelBounds picturebounds(const World& w, const PreviewTrace* trace) {
  // 1. The elements, items and the hero box at the start.
  LevelBounds b = levelbounds(w, true);
  b.add(int64_t{w.x} + herowidth, int64_t{w.y} + heroheight);
  // 2. The path, as far as it stays near them: a hero falling out of the
  // level would otherwise stretch the picture without end.
  if (trace) {
    const LevelBounds level = b;
    auto near = [&](int64_t x, int64_t y) {
      b.add(std::clamp(x, level.minx - previewpathreach, level.maxx + previewpathreach),
            std::clamp(y, level.miny - previewpathreach, level.maxy + previewpathreach));
    };
    for (const PreviewTrace::Point& p : trace->points) near(p.x, p.y);
    for (const PreviewTrace::Shift& s : trace->shifts) {
      near(s.fromx, s.fromy);
      near(s.tox, s.toy);
    }
  }
  b.minx -= previewmargin;
  b.miny -= previewmargin;
  b.maxx += previewmargin;
  b.maxy += previewmargin;
  return b;
}

// Picture sides at a scale; false when beyond the limits.
bool fits(const LevelBounds& b, int64_t scale, int64_t* width, int64_t* height) {
  *width = ceildiv(b.maxx - b.minx, scale);
  *height = ceildiv(b.maxy - b.miny, scale);
  return *width <= previewmaxside && *height <= previewmaxside &&
         *width * *height <= previewmaxpixels;
}

// Drawing on the picture, clipped to it: every write goes through plot.
struct Painter {
  PreviewPicture& pic;

  void plot(int64_t px, int64_t py, PreviewInk ink) {
    if (px < 0 || py < 0 || px >= pic.width || py >= pic.height) return;
    uint8_t* p = &pic.rgb[(size_t(py) * size_t(pic.width) + size_t(px)) * 3];
    p[0] = previewinks[ink].r;
    p[1] = previewinks[ink].g;
    p[2] = previewinks[ink].b;
  }

  // Doubled level coordinate of the centre of column px and of row py, so
  // the half pixel of scale 1 stays an integer.
  int64_t centrex2(int64_t px) const { return 2 * pic.left + (2 * px + 1) * pic.scale; }
  int64_t centrey2(int64_t py) const {
    return 2 * pic.bottom + (2 * (pic.height - 1 - py) + 1) * pic.scale;
  }

  // Columns whose centres lie in [a, b), clipped: first and last.
  void columns(int64_t a, int64_t b, int64_t* c0, int64_t* c1) const {
    const int64_t s2 = 2 * int64_t{pic.scale};
    *c0 = std::max<int64_t>(0, ceildiv(2 * a - 2 * pic.left - pic.scale, s2));
    *c1 = std::min<int64_t>(pic.width - 1, ceildiv(2 * b - 2 * pic.left - pic.scale, s2) - 1);
  }
  // Rows (top first) whose centres lie in [a, b): first and last.
  void rows(int64_t a, int64_t b, int64_t* r0, int64_t* r1) const {
    const int64_t s2 = 2 * int64_t{pic.scale};
    const int64_t lo = ceildiv(2 * a - 2 * pic.bottom - pic.scale, s2);     // from the bottom
    const int64_t hi = ceildiv(2 * b - 2 * pic.bottom - pic.scale, s2) - 1;
    *r0 = std::max<int64_t>(0, pic.height - 1 - hi);
    *r1 = std::min<int64_t>(pic.height - 1, pic.height - 1 - lo);
  }

  void fillrect(int64_t x0, int64_t y0, int64_t x1, int64_t y1, PreviewInk ink) {
    int64_t c0, c1, r0, r1;
    columns(std::min(x0, x1), std::max(x0, x1), &c0, &c1);
    rows(std::min(y0, y1), std::max(y0, y1), &r0, &r1);
    for (int64_t r = r0; r <= r1; r++)
      for (int64_t c = c0; c <= c1; c++) plot(c, r, ink);
  }

  // The right triangle (x1, y1), (x1, y2), (x2, y1): a centre is inside when
  // its fractions u of the way from x1 to x2 and v from y1 to y2 add to at
  // most 1. Products of 34-bit doubled coordinates and 33-bit sides need
  // 128 bits.
  void filltriangle(const Box& b, PreviewInk ink) {
    int64_t c0, c1, r0, r1;
    columns(std::min(b.x1, b.x2), std::max(b.x1, b.x2), &c0, &c1);
    rows(std::min(b.y1, b.y2), std::max(b.y1, b.y2), &r0, &r1);
    const __int128 w = int64_t{b.x2} - b.x1, h = int64_t{b.y2} - b.y1;
    const __int128 whole = 2 * w * h;  // u + v <= 1 times this, sign and all
    for (int64_t r = r0; r <= r1; r++) {
      const __int128 v = (centrey2(r) - 2 * int64_t{b.y1}) * w;
      for (int64_t c = c0; c <= c1; c++) {
        const __int128 u = (centrex2(c) - 2 * int64_t{b.x1}) * h;
        if (whole > 0 ? u + v <= whole : u + v >= whole) plot(c, r, ink);
      }
    }
  }

  void line(int64_t ax, int64_t ay, int64_t bx, int64_t by, PreviewInk ink) {
    // Bresenham, all octants.
    const int64_t dx = std::abs(bx - ax), dy = -std::abs(by - ay);
    const int64_t sx = ax < bx ? 1 : -1, sy = ay < by ? 1 : -1;
    int64_t e = dx + dy;
    for (;;) {
      plot(ax, ay, ink);
      if (ax == bx && ay == by) return;
      const int64_t e2 = 2 * e;
      if (e2 >= dy) {
        e += dy;
        ax += sx;
      }
      if (e2 <= dx) {
        e += dx;
        ay += sy;
      }
    }
  }

  // The picture pixel of a level point, kept within a band around the
  // picture: far enough that what is drawn inside keeps its direction, near
  // enough that a line to it is quickly walked.
  void topixel(int64_t x, int64_t y, int64_t* px, int64_t* py) const {
    constexpr int64_t band = 1 << 20;
    *px = std::clamp<int64_t>(floordiv(x - pic.left, pic.scale), -band, pic.width + band);
    *py = std::clamp<int64_t>(pic.height - 1 - floordiv(y - pic.bottom, pic.scale), -band,
                              pic.height + band);
  }

  // Outline of the picture pixels showing the level rectangle's corners.
  void outline(int64_t x0, int64_t y0, int64_t x1, int64_t y1, PreviewInk ink) {
    int64_t a, b, c, d;
    topixel(std::min(x0, x1), std::min(y0, y1), &a, &b);
    topixel(std::max(x0, x1) - 1, std::max(y0, y1) - 1, &c, &d);
    line(a, b, c, b, ink);
    line(c, b, c, d, ink);
    line(c, d, a, d, ink);
    line(a, d, a, b, ink);
  }

  void cross(int64_t px, int64_t py, PreviewInk ink) {
    line(px - 3, py - 3, px + 3, py + 3, ink);
    line(px - 3, py + 3, px + 3, py - 3, ink);
  }
};

}  // namespace

PreviewRgb PreviewPicture::at(int px, int py) const {
  if (px < 0 || py < 0 || px >= width || py >= height) return previewinks[ink_background];
  const uint8_t* p = &rgb[(size_t(py) * size_t(width) + size_t(px)) * 3];
  return {p[0], p[1], p[2]};
}

bool PreviewPicture::pixelof(int64_t x, int64_t y, int* px, int* py) const {
  const int64_t c = floordiv(x - left, scale);
  const int64_t r = height - 1 - floordiv(y - bottom, scale);
  *px = int(std::clamp<int64_t>(c, -1, width));
  *py = int(std::clamp<int64_t>(r, -1, height));
  return c >= 0 && r >= 0 && c < width && r < height;
}

PreviewTrace tracereplay(World& w, const std::vector<ReplayLine>& lines) {
  PreviewTrace t;
  auto centre = [](const World& v, int64_t* cx, int64_t* cy) {
    *cx = int64_t{v.x} + herowidth / 2;
    *cy = int64_t{v.y} + heroheight / 2;
  };
  int64_t cx, cy;
  centre(w, &cx, &cy);
  t.points.push_back({cx, cy, false});
  t.result = playreplay(w, lines, [&](const World& v, const ReplayEvent& e) {
    centre(v, &cx, &cy);
    if (e.kind == ReplayEvent::stepped) {
      // The hero was put back at the respawn point, not walked there.
      t.points.push_back({cx, cy, !v.happened.died});
    } else if (e.kind == ReplayEvent::shifted) {
      int64_t fx = int64_t{e.fromx} + herowidth / 2, fy = int64_t{e.fromy} + heroheight / 2;
      PreviewInk ink = e.carried ? ink_shiftcarried : e.started ? ink_shiftrefused : ink_shiftidle;
      t.shifts.push_back({fx, fy, cx, cy, ink});
      if (e.carried) t.points.push_back({cx, cy, false});
    }
  });
  return t;
}

int previewscale(const World& w, const PreviewTrace* trace) {
  const LevelBounds b = picturebounds(w, trace);
  const int64_t side = std::max(b.maxx - b.minx, b.maxy - b.miny);
  return int(std::clamp<int64_t>(ceildiv(side, 4096), 2, INT32_MAX));
}

bool drawpreview(const World& w, int scale, const PreviewTrace* trace, PreviewPicture& out,
                 std::string& err) {
  // 1. Size, refused beyond the limits with a scale that would do.
  const LevelBounds b = picturebounds(w, trace);
  int64_t width = 0, height = 0;
  if (scale < 1 || !fits(b, scale, &width, &height)) {
    const int64_t side = std::max(b.maxx - b.minx, b.maxy - b.miny);
    int64_t good = std::max<int64_t>(1, ceildiv(side, previewmaxside)), gw, gh;
    while (!fits(b, good, &gw, &gh)) good++;
    err = "a preview at scale " + std::to_string(scale) + " would be " + std::to_string(width) +
          " by " + std::to_string(height) + " pixels, beyond " + std::to_string(previewmaxside) +
          " a side or " + std::to_string(previewmaxpixels) + " in all; try --scale " +
          std::to_string(good);
    return false;
  }
  out.width = int(width);
  out.height = int(height);
  out.scale = scale;
  out.left = b.minx;
  out.bottom = b.miny;
  out.rgb.resize(size_t(width) * size_t(height) * 3);
  for (size_t i = 0; i < out.rgb.size(); i += 3) {
    out.rgb[i] = previewinks[ink_background].r;
    out.rgb[i + 1] = previewinks[ink_background].g;
    out.rgb[i + 2] = previewinks[ink_background].b;
  }
  Painter p{out};

  // 2. Solid elements, then items, each in file order: later ones on top.
  for (const Box* e : w.boxes) {
    if (!e) continue;
    if (e->triangle) p.filltriangle(*e, solidink(*e));
    else p.fillrect(e->x1, e->y1, e->x2, e->y2, solidink(*e));
  }
  for (const Box* e : w.items) {
    PreviewInk ink;
    if (!e || !itemink(e->kind, &ink)) continue;
    // Reversed corners touch nothing in play: only their outline shows.
    if (e->x1 < e->x2 && e->y1 < e->y2) p.fillrect(e->x1, e->y1, e->x2, e->y2, ink);
    else p.outline(e->x1, e->y1, e->x2, e->y2, ink);
  }

  // 3. The start, then the path and its shifts over everything.
  p.outline(w.x, w.y, int64_t{w.x} + herowidth, int64_t{w.y} + heroheight, ink_start);
  if (!trace) return true;
  int64_t lastx = 0, lasty = 0;
  for (const PreviewTrace::Point& pt : trace->points) {
    int64_t px, py;
    p.topixel(pt.x, pt.y, &px, &py);
    if (pt.joined) p.line(lastx, lasty, px, py, ink_path);
    else p.plot(px, py, ink_path);
    lastx = px;
    lasty = py;
  }
  for (const PreviewTrace::Shift& s : trace->shifts) {
    int64_t fx, fy, tx, ty;
    p.topixel(s.fromx, s.fromy, &fx, &fy);
    p.topixel(s.tox, s.toy, &tx, &ty);
    if (s.ink != ink_shiftcarried) {
      p.cross(fx, fy, s.ink);
      continue;
    }
    p.line(fx, fy, tx, ty, s.ink);
    for (int64_t dy = -1; dy <= 1; dy++)
      for (int64_t dx = -1; dx <= 1; dx++) p.plot(tx + dx, ty + dy, s.ink);
  }
  return true;
}

bool previewlevel(World& w, const std::vector<ReplayLine>* lines, int scale,
                  PreviewPicture& out, ReplayResult* result, std::string& err) {
  PreviewTrace trace;
  if (lines) {
    WorldSnapshot loaded;
    snapshot(w, loaded);
    trace = tracereplay(w, *lines);
    restore(w, loaded);
    if (result) *result = trace.result;
  }
  const PreviewTrace* shown = lines ? &trace : nullptr;
  return drawpreview(w, scale ? scale : previewscale(w, shown), shown, out, err);
}
