// Level pictures: the foreground is painted from a material map of the
// level's elements (grass-topped earth, metal plates, ice, planks), with
// spikes, flags and the exit drawn over it; the background is a sky with
// distant hills and clouds in the level's palette.
#include "levelart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "scene.h"
#include "world/world.h"

namespace {

enum Material : uint8_t { empty = 0, earth, metal, ice, plank };

// Level geometry in picture pixels: column px covers level x = ox + px and
// row py (top first) covers level y = oy + height - 1 - py.
struct Grid {
  int width, height, ox, oy;
  std::vector<uint8_t> material;  // Material per pixel
  std::vector<uint8_t> cover;     // 0..255 share of the pixel covered
  int index(int px, int py) const { return py * width + px; }
  int column(int lx) const { return lx - ox; }
  int row(int ly) const { return height - 1 - (ly - oy); }
};

void fillrect(Grid& g, int x0, int y0, int x1, int y1, Material m) {
  int c0 = std::max(0, g.column(x0)), c1 = std::min(g.width, g.column(x1));
  int r0 = std::max(0, g.row(y1 - 1)), r1 = std::min(g.height, g.row(y0) + 1);
  for (int r = r0; r < r1; r++) {
    for (int c = c0; c < c1; c++) {
      g.material[size_t(g.index(c, r))] = m;
      g.cover[size_t(g.index(c, r))] = 255;
    }
  }
}

// The right triangle of a Box: right angle at (x1, y1), other corners
// (x1, y2) and (x2, y1); anti-aliased by 4 by 4 samples a pixel.
void filltriangle(Grid& g, const Box& b, Material m) {
  int xmin = std::min(b.x1, b.x2), xmax = std::max(b.x1, b.x2);
  int ymin = std::min(b.y1, b.y2), ymax = std::max(b.y1, b.y2);
  float ax = float(b.x1), ay = float(b.y1), bx = float(b.x1), by = float(b.y2);
  float cx = float(b.x2), cy = float(b.y1);
  auto inside = [&](float x, float y) {
    auto side = [&](float px, float py, float qx, float qy) {
      return (qx - px) * (y - py) - (qy - py) * (x - px);
    };
    float s1 = side(ax, ay, bx, by), s2 = side(bx, by, cx, cy), s3 = side(cx, cy, ax, ay);
    return (s1 >= 0 && s2 >= 0 && s3 >= 0) || (s1 <= 0 && s2 <= 0 && s3 <= 0);
  };
  for (int ly = ymin; ly < ymax; ly++) {
    int r = g.row(ly);
    if (r < 0 || r >= g.height) continue;
    for (int lx = xmin; lx < xmax; lx++) {
      int c = g.column(lx);
      if (c < 0 || c >= g.width) continue;
      int n = 0;
      for (int sy = 0; sy < 4; sy++) {
        for (int sx = 0; sx < 4; sx++) {
          n += inside(float(lx) + (float(sx) + 0.5f) / 4, float(ly) + (float(sy) + 0.5f) / 4);
        }
      }
      if (n == 0) continue;
      size_t i = size_t(g.index(c, r));
      int add = n * 255 / 16;
      if (g.material[i] == empty || add >= g.cover[i]) g.material[i] = m;
      g.cover[i] = uint8_t(std::min(255, int(g.cover[i]) + add));
    }
  }
}

// A random number 0..1 for a lattice cell.
float hash2(int x, int y, uint32_t seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return float((h ^ (h >> 16)) & 0xffff) / 65535.0f;
}

// Low-frequency noise sampled every 4 pixels and blended between: the same
// look as evaluating it everywhere, at a sixteenth of the cost.
struct NoiseField {
  int cols, rows;
  std::vector<float> v;
  NoiseField(int width, int height, float freqx, float freqy, uint32_t seed, int octaves, int ox,
             int oy)
      : cols(width / 4 + 2), rows(height / 4 + 2), v(size_t(cols) * size_t(rows)) {
    for (int r = 0; r < rows; r++) {
      for (int c = 0; c < cols; c++) {
        v[size_t(r * cols + c)] =
            fractalnoise(float(ox + c * 4) * freqx, float(oy + r * 4) * freqy, seed, octaves);
      }
    }
  }
  // At picture pixel (x, y) counted from the field's origin.
  float at(int x, int y) const {
    int c = x >> 2, r = y >> 2;
    float tx = float(x & 3) / 4, ty = float(y & 3) / 4;
    const float* a = &v[size_t(r * cols + c)];
    float top = a[0] + (a[1] - a[0]) * tx, bottom = a[cols] + (a[cols + 1] - a[cols]) * tx;
    return top + (bottom - top) * ty;
  }
};

// Distances to the nearest pixel that is not solid, straight up, down, left
// and right, capped at 255: they shape the grass, the rims and the shadows.
struct Distances {
  std::vector<uint8_t> up, down, left, right;
  std::vector<uint8_t> earthup;  // as up, counting only earth as solid: its depth
};

// Counts, for every pixel, the solid pixels in a row up to and including it
// going one way (the picture's edge counts as deep inside rock). Columns are
// walked a whole row at a time, which keeps to the picture's memory order.
void solidruns(const Grid& g, std::vector<uint8_t>& out, bool vertical, bool backwards,
               bool earthonly) {
  auto solid = [&](size_t i) {
    return g.cover[i] >= 128 && (!earthonly || g.material[i] == earth);
  };
  if (vertical) {
    std::vector<int> run(size_t(g.width), 255);
    for (int k = 0; k < g.height; k++) {
      int r = backwards ? g.height - 1 - k : k;
      for (int c = 0; c < g.width; c++) {
        size_t i = size_t(g.index(c, r));
        run[size_t(c)] = solid(i) ? std::min(255, run[size_t(c)] + 1) : 0;
        out[i] = uint8_t(run[size_t(c)]);
      }
    }
    return;
  }
  for (int r = 0; r < g.height; r++) {
    int run = 255;
    for (int k = 0; k < g.width; k++) {
      size_t i = size_t(g.index(backwards ? g.width - 1 - k : k, r));
      run = solid(i) ? std::min(255, run + 1) : 0;
      out[i] = uint8_t(run);
    }
  }
}

Distances distances(const Grid& g) {
  size_t n = size_t(g.width) * size_t(g.height);
  Distances d{std::vector<uint8_t>(n), std::vector<uint8_t>(n), std::vector<uint8_t>(n),
              std::vector<uint8_t>(n), std::vector<uint8_t>(n)};
  solidruns(g, d.up, true, false, false);
  solidruns(g, d.earthup, true, false, true);
  solidruns(g, d.down, true, true, false);
  solidruns(g, d.left, false, false, false);
  solidruns(g, d.right, false, true, false);
  return d;
}

Colour earthcolour(const Palette& p, int lx, int ly, int up, int depth, int down, int side,
                   float n) {
  // Grass: a band whose depth wanders along the surface, with a bright tip.
  float grassdepth = up < 16 ? 7 + 4 * valuenoise(float(lx) * 0.07f, 0.5f, 11) : 0;
  float blade = hash2(lx, 0, 12);
  if (up < 16 && float(up) < grassdepth + blade * 3) {
    Colour c = mix(p.grass, hexcolour(0xffffff), up <= 1 ? 0.25f : 0.0f);
    c = scale(c, 0.85f + 0.25f * hash2(lx, ly / 3, 13));
    if (float(up) > grassdepth + blade * 3 - 2.5f) c = scale(p.grass, 0.55f);
    return c;
  }
  // Earth: soft blotches, buried stones, darker with depth.
  Colour c = scale(p.dirt, 0.8f + 0.4f * n);
  int cx = lx >> 4, cy = ly >> 4;
  float sx = float(cx * 16) + 8 + 6 * (hash2(cx, cy, 22) - 0.5f);
  float sy = float(cy * 16) + 8 + 6 * (hash2(cx, cy, 23) - 0.5f);
  float rad = 2.5f + 3.0f * hash2(cx, cy, 24);
  float dx = float(lx) - sx, dy = float(ly) - sy;
  if (hash2(cx, cy, 25) > 0.86f && dx * dx + dy * dy * 1.6f < rad * rad) {
    c = scale(p.stone, 0.85f + 0.3f * (dy > 0 ? 1.0f : 0.4f));
  }
  float deep = std::min(1.0f, float(depth) / 180.0f);
  c = scale(c, 1.0f - 0.35f * deep);
  if (down < 4) c = scale(c, 0.6f);            // overhang undersides
  if (side < 3) c = scale(c, 0.7f);            // crisp sides
  else if (side < 7) c = scale(c, 0.88f);
  return c;
}

Colour metalcolour(int lx, int ly, int up, int down, int left, int right) {
  Colour base = hexcolour(0x8a96a6);
  float brushed = hash2(lx, ly / 16, 31);
  Colour c = scale(base, 0.85f + 0.2f * brushed);
  // Plates of 32 by 48 with dark seams and rivets near their corners.
  int mx = ((lx % 32) + 32) % 32, my = ((ly % 48) + 48) % 48;
  if (mx == 0 || my == 0) c = scale(base, 0.5f);
  if (mx == 1 || my == 1) c = scale(base, 1.15f);
  int rx = std::min(mx, 32 - mx), ry = std::min(my, 48 - my);
  if ((rx - 5) * (rx - 5) + (ry - 5) * (ry - 5) <= 3) c = hexcolour(0xd8e0ea);
  // Bevelled rims; a yellow and black warning band along the top: no grip.
  if (up < 8 && up >= 2) c = ((lx + ly) / 6) % 2 ? hexcolour(0xf2c230) : hexcolour(0x2a2a30);
  if (up < 2 || left < 2) c = hexcolour(0xdfe6ee);
  if (down < 2 || right < 2) c = hexcolour(0x3e4654);
  return c;
}

Colour icecolour(int lx, int ly, int up, int down, int side) {
  Colour deep = hexcolour(0x5aa8d8), light = hexcolour(0xcdefff);
  float depth = std::min(1.0f, float(up) / 60.0f);
  Colour c = mix(light, deep, depth);
  // Diagonal glints.
  float streak = valuenoise(float(lx + ly) * 0.08f, float(lx - ly) * 0.01f, 41);
  if (streak > 0.72f) c = mix(c, hexcolour(0xffffff), (streak - 0.72f) * 2.5f);
  if (up < 3) c = hexcolour(0xf4fbff);
  if (down < 2 || side < 2) c = scale(deep, 0.75f);
  return c;
}

Colour plankcolour(int lx, int ly, int up, int down, int left, int right) {
  Colour wood = hexcolour(0xa8743e);
  float grain = std::sin(float(ly) * 1.7f + 3 * valuenoise(float(lx) * 0.05f, float(ly), 51));
  Colour c = scale(wood, 0.9f + 0.12f * grain);
  int seg = ((lx % 64) + 64) % 64;
  if (seg == 0) c = scale(wood, 0.5f);  // joints between boards
  if (up < 2) c = hexcolour(0xd9a46a);
  if (down < 2 || left < 2 || right < 2) c = scale(wood, 0.5f);
  if ((seg == 4 || seg == 60) && up >= 2 && down >= 2) c = hexcolour(0x5a5a60);  // nails
  return c;
}

// Spikes fill their rectangle with teeth 16 wide pointing away from the
// solid ground they grow from (down when the ground is above them).
void drawspikes(Image& img, const Grid& g, const Box& b) {
  int xmin = std::min(b.x1, b.x2), xmax = std::max(b.x1, b.x2);
  int ymin = std::min(b.y1, b.y2), ymax = std::max(b.y1, b.y2);
  int below = g.row(ymin - 1), above = g.row(ymax);
  int mid = g.column((xmin + xmax) / 2);
  bool hanging = above >= 0 && above < g.height && mid >= 0 && mid < g.width &&
                 g.material[size_t(g.index(mid, above))] != empty &&
                 !(below >= 0 && below < g.height && g.material[size_t(g.index(mid, below))] != empty);
  Scene s;
  float w = float(xmax - xmin), h = float(ymax - ymin);
  int teeth = std::max(1, int(w / 16));
  float tw = w / float(teeth);
  for (int i = 0; i < teeth; i++) {
    float x0 = float(i) * tw, x1 = x0 + tw, xm = (x0 + x1) / 2;
    float base = hanging ? h : 0, tip = hanging ? 0 : h;
    s.triangle(x0, base, x1, base, xm, tip, hexcolour(0x3a2a30));
    s.triangle(x0 + 1.5f, base, xm, base, xm, tip + (hanging ? 2.5f : -2.5f), hexcolour(0xd8dce6));
    s.triangle(xm, base, x1 - 1.5f, base, xm, tip + (hanging ? 2.5f : -2.5f), hexcolour(0x8a90a0));
    s.circle(xm, tip + (hanging ? 1.2f : -1.2f), 1.3f, hexcolour(0xd83a3a));
  }
  s.render(img, g.column(xmin), g.row(ymax - 1), xmax - xmin, ymax - ymin, 1, 1, 4);
}

// A checkpoint flag on a pole at the left of its 64 by 64 square.
void drawflag(Image& img, const Grid& g, const Box& b) {
  Scene s;
  const Colour dark = hexcolour(0x2a2a34);
  s.capsule(10, 1, 10, 58, 2.6f, dark);
  s.capsule(10, 1, 10, 58, 1.4f, hexcolour(0xd8d0c0));
  s.circle(10, 59, 3.2f, dark);
  s.circle(10, 59, 2.2f, hexcolour(0xf2c14e));
  s.triangle(11, 56, 40, 48, 11, 38, dark);
  s.triangle(12.5f, 53.5f, 36, 48, 12.5f, 41, hexcolour(0x3fb56a));
  s.roundbox(4, 0, 17, 4, 1.5f, dark);
  s.render(img, g.column(b.x1), g.row(b.y1 + 63), 64, 64, 1, 1, 4);
}

// The exit: a glowing round door standing on the end square's floor.
void drawexit(Image& img, const Grid& g, const Box& b) {
  Scene s;
  const Colour dark = hexcolour(0x2a2034);
  s.roundbox(0, 0, 56, 80, 26, dark);
  s.roundbox(3, 0, 53, 77, 23, hexcolour(0x8a5a3a));
  s.roundbox(8, 0, 48, 72, 19, hexcolour(0xfff1b0));
  s.roundbox(13, 0, 43, 66, 14, hexcolour(0xffd36a));
  s.roundbox(18, 0, 38, 58, 9, hexcolour(0xffffff));
  s.render(img, g.column(b.x1 - 8), g.row(b.y1 + 79), 56, 80, 1, 1, 4);
}

}  // namespace

bool readpalettes(const std::string& path, std::map<std::string, Palette>& out, std::string& err) {
  std::ifstream in(path);
  if (!in) {
    err = "cannot open " + path;
    return false;
  }
  std::string line;
  int lineno = 0;
  while (std::getline(in, line)) {
    lineno++;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string name;
    if (!(words >> name)) continue;
    Colour c[8];
    for (Colour& k : c) {
      std::string hex;
      char* end = nullptr;
      if (!(words >> hex) || hex.size() != 6 || (std::strtoul(hex.c_str(), &end, 16), *end)) {
        err = path + ":" + std::to_string(lineno) + ": expected a name and eight RRGGBB colours";
        return false;
      }
      k = hexcolour(uint32_t(std::strtoul(hex.c_str(), nullptr, 16)));
    }
    out[name] = Palette{c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
  }
  if (!out.count("default")) {
    err = path + ": no default line";
    return false;
  }
  return true;
}

void picturesize(const World& w, int* width, int* height) {
  int minx = w.imageshiftx, maxx = w.imageshiftx + 256, miny = w.imageshifty;
  int maxy = w.imageshifty + 256;
  bool any = false;
  for (const Box* b : w.boxes) {
    int x0 = std::min(b->x1, b->x2), x1 = std::max(b->x1, b->x2);
    int y0 = std::min(b->y1, b->y2), y1 = std::max(b->y1, b->y2);
    if (!any) minx = x0, maxx = x1, miny = y0, maxy = y1, any = true;
    minx = std::min(minx, x0), maxx = std::max(maxx, x1);
    miny = std::min(miny, y0), maxy = std::max(maxy, y1);
  }
  int mx = std::max(0, minx - w.imageshiftx), my = std::max(0, miny - w.imageshifty);
  int wide = maxx + mx - w.imageshiftx, high = maxy + my - w.imageshifty;
  *width = std::max(256, (wide + 255) / 256 * 256);
  *height = std::max(256, (high + 255) / 256 * 256);
}

Image drawforeground(const World& w, const Palette& p, int width, int height, uint64_t seed) {
  Grid g{width, height, w.imageshiftx, w.imageshifty,
         std::vector<uint8_t>(size_t(width) * size_t(height), empty),
         std::vector<uint8_t>(size_t(width) * size_t(height), 0)};
  // The elements' extent; below it, and beside it all the way up, the
  // picture is rock, so the floor and the border walls run on past the
  // level's edges.
  int minx = 0, maxx = 0, miny = 0, maxy = 0;
  for (size_t i = 0; i < w.boxes.size(); i++) {
    const Box* b = w.boxes[i];
    int x0 = std::min(b->x1, b->x2), x1 = std::max(b->x1, b->x2);
    int y0 = std::min(b->y1, b->y2), y1 = std::max(b->y1, b->y2);
    if (i == 0) minx = x0, maxx = x1, miny = y0, maxy = y1;
    minx = std::min(minx, x0), maxx = std::max(maxx, x1);
    miny = std::min(miny, y0), maxy = std::max(maxy, y1);
  }
  if (!w.boxes.empty()) {
    fillrect(g, g.ox, g.oy, g.ox + width, miny, earth);
    fillrect(g, g.ox, miny, minx, g.oy + height, earth);
    fillrect(g, maxx, miny, g.ox + width, g.oy + height, earth);
  }
  // Solid ground first, then metal and ice, then planks on top.
  for (int pass = 0; pass < 3; pass++) {
    for (const Box* b : w.boxes) {
      Material m = b->ledge ? plank : b->nowalljump ? metal : b->slippery ? ice : earth;
      int want = m == earth ? 0 : m == plank ? 2 : 1;
      if (want != pass) continue;
      if (b->triangle) {
        filltriangle(g, *b, m);
      } else {
        // What reaches the level's top runs on to the picture's top, so walls
        // and ceilings do not end in mid-air above the level.
        int top = std::max(b->y1, b->y2);
        if (top == maxy) top = g.oy + height;
        fillrect(g, std::min(b->x1, b->x2), std::min(b->y1, b->y2), std::max(b->x1, b->x2), top,
                 m);
      }
    }
  }

  Distances d = distances(g);
  NoiseField blotches(width, height, 0.045f, 0.045f, 21, 3, g.ox, 0);
  Image img(width, height);
  for (int r = 0; r < height; r++) {
    int ly = g.oy + height - 1 - r;
    for (int c = 0; c < width; c++) {
      size_t i = size_t(g.index(c, r));
      if (g.cover[i] == 0) continue;
      int lx = g.ox + c;
      int side = std::min(d.left[i], d.right[i]);
      Colour col;
      switch (g.material[i]) {
        case metal: col = metalcolour(lx, ly, d.up[i], d.down[i], d.left[i], d.right[i]); break;
        case ice: col = icecolour(lx, ly, d.up[i], d.down[i], side); break;
        case plank: col = plankcolour(lx, ly, d.up[i], d.down[i], d.left[i], d.right[i]); break;
        default:
          col = earthcolour(p, lx, ly, d.up[i], d.earthup[i], d.down[i], side, blotches.at(c, r));
          break;
      }
      putcolour(img.at(c, r), col, float(g.cover[i]) / 255.0f);
    }
  }

  // Tufts of grass and a few flowers poke up from open earth tops.
  Rng rng(seed);
  for (int c = 2; c < width - 2; c += 5) {
    for (int r = 1; r < height; r++) {
      size_t i = size_t(g.index(c, r));
      if (g.material[i] != earth || g.cover[i] < 255 || d.up[i] != 1) continue;
      float roll = rng.unit();
      if (roll < 0.45f) continue;
      Scene s;
      Colour blade = scale(p.grass, 0.75f + 0.4f * rng.unit());
      s.triangle(0, 0, 2.5f, 0, 1 + rng.range(-1.5f, 1.5f), rng.range(3, 6), blade);
      s.triangle(2, 0, 4.5f, 0, 4 + rng.range(-1.5f, 1.5f), rng.range(2, 5), blade);
      if (roll > 0.96f) {
        s.capsule(3, 0, 3, 5, 0.5f, scale(p.grass, 0.6f));
        s.circle(3, 6, 1.6f, rng.unit() > 0.5f ? hexcolour(0xfff3a0) : hexcolour(0xff8aa0));
      }
      s.render(img, c - 1, r - 8, 6, 8, 1, 1, 3);
    }
  }

  for (const Box* b : w.items) {
    if (b->kind == kind_spikes) drawspikes(img, g, *b);
    if (b->kind == kind_end) drawexit(img, g, *b);
    if (b->kind == kind_checkpoint) {
      // Only flags the hero can reach: the picture offset's own checkpoint
      // lies buried in rock and stays unseen.
      int c = g.column(b->x1 + 10), r = g.row(b->y1 + 1);
      bool open = c >= 0 && c < width && r >= 0 && r < height &&
                  g.material[size_t(g.index(c, r))] == empty;
      if (open) drawflag(img, g, *b);
    }
  }
  return img;
}

Image drawbackground(const Palette& p, int width, int height, uint64_t seed) {
  Image img(width, height);
  Rng rng(seed);
  uint32_t s1 = uint32_t(rng.next()), s2 = uint32_t(rng.next()), s3 = uint32_t(rng.next());
  float sunx = rng.range(0.2f, 0.8f) * float(width), suny = rng.range(0.15f, 0.3f) * float(height);
  float sunr = rng.range(40, 70);
  // Hill lines, as heights above the picture's bottom per column.
  std::vector<float> far(static_cast<size_t>(width)), near(static_cast<size_t>(width));
  for (int c = 0; c < width; c++) {
    far[size_t(c)] = float(height) * (0.42f + 0.22f * fractalnoise(float(c) * 0.0025f, 0.5f, s1, 4));
    near[size_t(c)] = float(height) * (0.22f + 0.2f * fractalnoise(float(c) * 0.004f, 1.5f, s2, 4));
  }
  NoiseField clouds(width, height, 0.004f, 0.011f, s3, 3, 0, 0);
  NoiseField shading(width, height, 0.006f, 0.006f, s1 + 7, 2, 0, 0);
  for (int r = 0; r < height; r++) {
    float t = float(r) / float(height - 1);
    Colour sky = mix(p.skytop, p.skylow, std::pow(t, 0.8f));
    float up = float(height - r);
    for (int c = 0; c < width; c++) {
      Colour col = sky;
      float dx = float(c) - sunx, dy = float(r) - suny;
      float dist = std::sqrt(dx * dx + dy * dy);
      if (dist < sunr * 4) col = mix(col, p.sun, 0.35f * (1 - dist / (sunr * 4)));
      if (dist < sunr) col = mix(col, p.sun, std::min(1.0f, (sunr - dist) / 2));
      // Clouds: soft noise in the upper sky.
      if (t < 0.55f) {
        float n = clouds.at(c, r);
        float k = (n - 0.58f) * 4 * (1 - t / 0.55f);
        if (k > 0) col = mix(col, mix(p.skylow, hexcolour(0xffffff), 0.7f), std::min(0.8f, k));
      }
      float h1 = far[size_t(c)], h2 = near[size_t(c)];
      if (up < h1) {
        float shade = 0.94f + 0.08f * shading.at(c, r);
        col = mix(scale(p.farhills, shade), sky, 0.35f * std::max(0.0f, 1 - (h1 - up) / 240));
      }
      if (up < h2) {
        float shade = 0.85f + 0.15f * shading.at(c, r);
        col = scale(p.nearhills, shade * (up > h2 - 3 ? 1.15f : 1.0f));
      }
      putcolour(img.at(c, r), col, 1);
    }
  }

  // Stars in a dark sky, above the hills.
  float dusk = p.skytop.r * 0.3f + p.skytop.g * 0.59f + p.skytop.b * 0.11f;
  if (dusk < 0.25f) {
    for (int i = 0; i < width * height / 3000; i++) {
      int c = int(rng.unit() * float(width)), r = int(rng.unit() * float(height) * 0.5f);
      if (float(height - r) < far[size_t(c)] + 20 || clouds.at(c, r) > 0.55f) continue;
      Scene star;
      star.circle(1.5f, 1.5f, rng.range(0.5f, 1.3f), mix(p.sun, hexcolour(0xffffff), 0.5f),
                  rng.range(0.5f, 1.0f));
      star.render(img, c - 1, r - 1, 3, 3, 1, 1, 3);
    }
  }

  // Round trees along the near hills, a shade darker than them.
  for (float c = rng.range(20, 120); c < float(width); c += rng.range(50, 220)) {
    float base = near[size_t(c)];
    float trunk = rng.range(18, 36), crown = rng.range(13, 26);
    Colour leaves = scale(p.nearhills, rng.range(0.7f, 0.85f));
    Scene tree;
    float x = crown + 2;
    tree.capsule(x, 0, x, trunk, 2.2f, scale(p.nearhills, 0.55f));
    tree.circle(x, trunk + crown * 0.6f, crown, leaves);
    tree.circle(x - crown * 0.45f, trunk + crown * 0.3f, crown * 0.6f, leaves);
    tree.circle(x + crown * 0.2f, trunk + crown * 0.9f, crown * 0.5f,
                mix(leaves, p.skylow, 0.12f));
    int w = int(2 * crown + 4), h = int(trunk + crown * 1.7f + 2);
    tree.render(img, int(c - x), height - int(base) - h + 4, w, h, 1, 1, 3);
  }
  return img;
}
