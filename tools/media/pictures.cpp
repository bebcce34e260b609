// The menu's pictures: illustrated scenes in one palette (night indigo, dusk rose,
// lantern gold, fold cyan), the title screen, the pointer, buttons and text pages.
#include "pictures.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "canvas.h"
#include "text.h"

namespace {

const int pagew = 1024, pageh = 768;  // every page fills the screen

// The palette.
const Colour ink = hexcolour(0x0a0d22);      // silhouettes
const Colour gold = hexcolour(0xffd27a);     // lanterns, titles
const Colour cyan = hexcolour(0x7fe0ff);     // the fold
const Colour paper = hexcolour(0xeae8f6);    // running text
const Colour panelc = hexcolour(0x0d1030);   // text panels

struct Sky {
  std::vector<Colour> stops;  // top to horizon
  float stars;                // how many stars, 0 to 1
  bool dawn;                  // a rising sun instead of the moon
};

Sky sky_for(const std::string& scene) {
  if (scene == "dawn" || scene == "home")
    return {{hexcolour(0x233070), hexcolour(0x5a4f98), hexcolour(0xc97a9a), hexcolour(0xf6b084), hexcolour(0xffe0a0)}, 0.15f, true};
  if (scene == "keys" || scene == "credits" || scene == "viewmaster")
    return {{hexcolour(0x070a1e), hexcolour(0x111845), hexcolour(0x2a2a68), hexcolour(0x4a3a7a)}, 1.0f, false};
  return {{hexcolour(0x0b0f2a), hexcolour(0x1e2358), hexcolour(0x4b3478), hexcolour(0xa8587a), hexcolour(0xe89a78)}, 0.8f, false};
}

// A mountain ridge: the height (row) of the skyline at x.
float ridge(float x, float base, float amp, float p) {
  return base - amp * (0.5f * std::sin(x * 0.0061f + p) + 0.3f * std::sin(x * 0.0137f + 2.1f * p) +
                       0.2f * std::sin(x * 0.031f + 3.7f * p));
}

std::vector<Point> ridge_points(float base, float amp, float p, int w, int h) {
  std::vector<Point> pts;
  for (int x = -8; x <= w + 8; x += 8) pts.push_back({float(x), ridge(float(x), base, amp, p)});
  pts.push_back({float(w + 8), float(h + 2)});
  pts.push_back({-8.0f, float(h + 2)});
  return pts;
}

// The cliff that the hero stands on: a plateau from the left edge that ends in a drop.
std::vector<Point> cliff_points(float top, float edge, int h) {
  return {{-4, top + 6},        {edge * 0.3f, top - 4}, {edge * 0.7f, top + 2}, {edge, top},
          {edge + 18, top + 30}, {edge + 8, top + 90},  {edge + 40, top + 160}, {edge + 30, float(h + 2)},
          {-4, float(h + 2)}};
}

// The moon: a disc less a second disc up and to the right, sampled 4 by 4 per pixel.
void crescent(Canvas& c, float cx, float cy, float r) {
  const float bx = cx + 0.4f * r, by = cy - 0.22f * r, br = 0.9f * r;
  for (int y = int(cy - r) - 1; y <= int(cy + r) + 1; y++) {
    for (int x = int(cx - r) - 1; x <= int(cx + r) + 1; x++) {
      int in = 0;
      for (int s = 0; s < 16; s++) {
        float px = x + (s % 4 + 0.5f) / 4, py = y + (s / 4 + 0.5f) / 4;
        bool disc = std::hypot(px - cx, py - cy) < r, bite = std::hypot(px - bx, py - by) < br;
        in += disc && !bite;
      }
      c.blend(x, y, hexcolour(0xeef0ff), in / 16.0f);
    }
  }
}

void stars(Canvas& c, const Sky& sky, unsigned long long seed, float horizon) {
  Rng rng(seed, Rng::xorshift);
  int n = int(260 * sky.stars);
  for (int i = 0; i < n; i++) {
    float x = rng.unit() * c.width, y = rng.unit() * horizon;
    float r = 0.5f + rng.unit() * rng.unit() * 1.6f;
    float a = (0.35f + 0.65f * rng.unit()) * (1 - y / horizon);
    c.circle(x, y, r, mix(paper, cyan, rng.unit() * 0.4f), a);
    if (r > 1.5f) c.glow(x, y, r * 5, paper, a * 0.25f);
  }
}

// The distant tower whose bell folded the valley.
void tower(Canvas& c, float x, float base, float h, Colour col) {
  c.polygon({{x - 14, base}, {x - 9, base - h}, {x + 9, base - h}, {x + 14, base}}, col);
  c.polygon({{x - 13, base - h}, {x, base - h - 26}, {x + 13, base - h}}, col);
  c.circle(x, base - h + 12, 4, gold, 0.9f);
  c.glow(x, base - h + 12, 30, gold, 0.35f);
}

// Orvik: a cloaked lantern-keeper, feet at (x, y), height h; facing 1 right, -1 left.
void hero(Canvas& c, float x, float y, float h, float facing, float a = 1, Colour col = ink,
          bool lantern = true) {
  auto P = [&](float dx, float dy) { return Point{x + facing * dx * h, y + dy * h}; };
  c.polygon({P(-0.02f, -0.74f), P(-0.30f, -0.62f), P(-0.46f, -0.66f), P(-0.22f, -0.70f)}, col, a);  // scarf
  c.polygon({P(-0.09f, -0.14f), P(-0.03f, -0.14f), P(-0.05f, 0), P(-0.13f, 0)}, col, a);           // legs
  c.polygon({P(0.05f, -0.14f), P(0.11f, -0.14f), P(0.15f, 0), P(0.07f, 0)}, col, a);
  c.polygon({P(-0.15f, -0.74f), P(0.13f, -0.74f), P(0.25f, -0.12f), P(0.02f, -0.16f), P(-0.28f, -0.10f)},
            col, a);                                                                             // cloak
  c.circle(x + facing * 0.0f * h, y - 0.85f * h, 0.13f * h, col, a);                              // hood
  c.polygon({P(0.06f, -0.68f), P(0.36f, -0.50f), P(0.34f, -0.45f), P(0.04f, -0.60f)}, col, a);     // arm
  if (lantern) {
    Point l = P(0.37f, -0.40f);
    c.glow(l.x, l.y, 0.9f * h, gold, 0.45f * a);
    c.roundrect(l.x - 0.05f * h, l.y - 0.06f * h, l.x + 0.05f * h, l.y + 0.07f * h, 0.02f * h, gold, a);
  }
}

// A child's viewmaster: a body with two eyepieces and a picture reel on top.
void viewmaster(Canvas& c, float x, float y, float s) {
  c.glow(x, y, 260 * s, gold, 0.35f);
  c.circle(x, y - 70 * s, 62 * s, paper);
  c.circle(x, y - 70 * s, 14 * s, hexcolour(0x2a2f60));
  for (int i = 0; i < 7; i++) {
    float t = 6.2831853f * i / 7;
    c.roundrect(x + 40 * s * std::cos(t) - 8 * s, y - 70 * s + 40 * s * std::sin(t) - 6 * s,
                x + 40 * s * std::cos(t) + 8 * s, y - 70 * s + 40 * s * std::sin(t) + 6 * s, 2 * s,
                mix(cyan, hexcolour(0x4b3478), (i % 3) * 0.3f));
  }
  auto body = roundrect_points(x - 120 * s, y - 40 * s, x + 120 * s, y + 60 * s, 26 * s);
  c.polygon_vgradient(body, hexcolour(0xd0504a), hexcolour(0x7a2430), y - 40 * s, y + 60 * s);
  c.roundrect(x - 100 * s, y - 8 * s, x + 100 * s, y + 6 * s, 6 * s, hexcolour(0xe8806a), 0.6f);
  for (float ex : {-58.0f, 58.0f}) {
    c.circle(x + ex * s, y + 22 * s, 26 * s, ink);
    c.circle(x + ex * s, y + 22 * s, 18 * s, hexcolour(0x1d2a5a));
    c.circle(x + ex * s - 6 * s, y + 16 * s, 5 * s, cyan, 0.7f);
  }
}

// The fold: pale copies of the foreground along a shift vector, the picture that
// the game shows while the player drags.
void fold_copies(Canvas& c, const std::vector<Point>& shape, int copies, float dx, float dy, float a) {
  for (int k = copies; k >= 1; k--) c.polygon(moved(shape, dx * k, dy * k), cyan, a / k);
}

// Paints the illustration of a scene; the hero stands on the left of the page.
void paint_scene(Canvas& c, const std::string& scene, unsigned long long seed) {
  Sky sky = sky_for(scene);
  c.vgradient(sky.stops);
  float horizon = 0.62f * c.height;
  stars(c, sky, seed, horizon);
  if (sky.dawn) {
    c.glow(300, horizon + 40, 520, hexcolour(0xfff0c0), 0.7f);
    c.circle(300, horizon + 30, 60, hexcolour(0xfff4d8));
  } else {
    c.glow(140, 120, 160, hexcolour(0xc8d0ff), 0.25f);
    crescent(c, 140, 120, 40);
  }
  Colour far = mix(sky.stops[sky.stops.size() - 2], ink, 0.45f);
  Colour mid = mix(sky.stops[1], ink, 0.55f);
  c.polygon(ridge_points(horizon + 40, 60, 0.7f + seed % 5, c.width, c.height), far);
  if (scene != "credits") tower(c, 300 + 40 * (seed % 3), ridge(300, horizon + 40, 60, 0.7f) + 40, 120, far);
  c.polygon(ridge_points(horizon + 120, 40, 2.3f + seed % 7, c.width, c.height), mid);

  float top = c.height - 210.0f;
  auto cliff = cliff_points(top, 250, c.height);
  int copies = scene == "fold" ? 3 : scene == "keys" || scene == "valley" ? 2 : 1;
  if (!sky.dawn || scene == "dawn") fold_copies(c, cliff, copies, 34, -16, scene == "fold" ? 0.4f : 0.22f);
  c.polygon(cliff, ink);

  if (scene == "fold") {
    for (int k = 3; k >= 1; k--) hero(c, 150 + 34 * k, top - 60 - 16 * k, 96, 1, 0.35f / k, cyan, false);
    hero(c, 150, top - 60, 96, 1);
  } else if (scene == "viewmaster") {
    hero(c, 90, top, 96, 1, 1, ink, false);
    viewmaster(c, 250, 330, 0.7f);
  } else if (scene == "road") {
    hero(c, 110, top, 96, 1);
    c.roundrect(236, top - 120, 244, top, 3, ink);  // the beacon post
    c.glow(240, top - 130, 140, gold, 0.7f);
    c.circle(240, top - 130, 12, hexcolour(0xfff0c0));
  } else if (scene == "home") {
    hero(c, 170, top, 96, -1);
  } else if (scene != "credits") {
    hero(c, 170, top, 96, 1);
  }
  if (scene == "dawn" || scene == "home") c.glow(300, horizon, 700, hexcolour(0xffe6b0), 0.12f);
}

void panel(Canvas& c, float x0, float y0, float x1, float y1) {
  auto outer = roundrect_points(x0, y0, x1, y1, 22);
  c.polygon(outer, panelc, 0.7f);
  c.polygon(ring_points(outer, roundrect_points(x0 + 2, y0 + 2, x1 - 2, y1 - 2, 20)), cyan, 0.45f);
}

// A key cap with its label; returns its right edge.
float keycap(Canvas& c, Font& f, float x, float baseline, const std::string& label) {
  float w = std::max(34.0f, f.measure(label) + 20);
  float top = baseline - f.size - 6, bottom = baseline + 9;
  c.roundrect(x, top + 2, x + w, bottom + 3, 7, ink, 0.8f);  // shadow
  auto cap = roundrect_points(x, top, x + w, bottom, 7);
  c.polygon_vgradient(cap, hexcolour(0x3a4488), hexcolour(0x1c2256), top, bottom);
  c.polygon(ring_points(cap, roundrect_points(x + 1.5f, top + 1.5f, x + w - 1.5f, bottom - 1.5f, 5.5f)),
            cyan, 0.7f);
  f.draw(c, x + (w - f.measure(label)) / 2, baseline, label, hexcolour(0xffffff));
  return x + w;
}

struct Fonts {
  Font title{"Serif-Bold", 40};
  Font body{"Sans", 21};
  Font key{"Sans-Bold", 17};
  Font footer{"Sans-Oblique", 17};
};

// Sets a page's text in its panel; false when it does not fit.
bool set_page(Canvas& c, Fonts& f, const Page& page) {
  bool wide = page.scene == "credits";
  float x0 = wide ? 152 : 440, x1 = wide ? 872 : 984, y0 = 44, y1 = 724;
  panel(c, x0, y0, x1, y1);
  float left = x0 + 36, right = x1 - 36, y = y0 + 36 + f.title.ascent();
  float tx = wide ? (x0 + x1 - f.title.measure(page.title)) / 2 : left;
  f.title.draw(c, tx + 2, y + 2, page.title, ink, 0.8f);
  f.title.draw(c, tx, y, page.title, gold);
  float rule = wide ? (x0 + x1) / 2 - 60 : left;
  c.roundrect(rule, y + 16, rule + 120, y + 19, 1.5f, cyan, 0.6f);
  y += 60;
  float lead = f.body.size * 1.45f;
  // Key descriptions share one column; a group of keys too wide for it puts its
  // description on the next line.
  float column = left + 170;
  for (const PageItem& item : page.items) {
    if (!item.iskey) {
      for (const std::string& line : f.body.wrap(item.text, right - left)) {
        f.body.draw(c, left, y, line, paper);
        y += lead;
      }
      y += 12;
      continue;
    }
    float x = left;
    for (const std::string& cap : item.key.caps) x = keycap(c, f.key, x, y, cap) + 8;
    float textx = column;
    if (x > column - 8) y += lead;
    for (const std::string& line : f.body.wrap(item.key.text, right - textx)) {
      f.body.draw(c, textx, y, line, paper);
      y += lead;
    }
    y += 10;
  }
  float fy = y1 - 28;
  f.footer.draw(c, right - f.footer.measure(page.footer), fy, page.footer, cyan, 0.85f);
  if (y - lead > fy - 30) {
    std::fprintf(stderr, "page %s: the text does not fit its panel\n", page.name.c_str());
    return false;
  }
  return true;
}

bool save_pair(const std::string& outdir, const std::string& name, const Canvas& c) {
  const Image img = c.image();
  return write_bmp(outdir + "/" + name + ".bmp", img, Layer::colour) &&
         write_bmp(outdir + "/" + name + ".a.bmp", img, Layer::alpha);
}

// The title screen. The buttons sit at x 600 to 856, rows 104 to 468 from the top,
// over plain sky: the scenery stays left and low, the moon right of them.
Canvas title_screen() {
  Canvas c(pagew, pageh);
  Sky sky = sky_for("valley");
  c.vgradient(sky.stops);
  float horizon = 0.64f * pageh;
  stars(c, sky, 11, horizon);
  c.glow(940, 150, 170, hexcolour(0xc8d0ff), 0.3f);
  crescent(c, 940, 150, 44);
  Colour far = mix(sky.stops[3], ink, 0.45f), mid = mix(sky.stops[1], ink, 0.55f);
  c.polygon(ridge_points(horizon + 70, 40, 1.3f, pagew, pageh), far);
  tower(c, 960, ridge(960, horizon + 70, 40, 1.3f) + 30, 110, far);
  c.polygon(ridge_points(horizon + 150, 34, 4.1f, pagew, pageh), mid);
  float top = pageh - 190.0f;
  auto cliff = cliff_points(top, 330, pageh);
  fold_copies(c, cliff, 3, 40, -18, 0.3f);
  c.polygon(cliff, ink);
  for (int k = 3; k >= 1; k--) hero(c, 230 + 40 * k, top - 18 * k, 110, 1, 0.3f / k, cyan, false);
  hero(c, 230, top, 110, 1);

  Font big("Serif-Bold", 104), sub("Sans-Oblique", 26);
  const std::string name = "Twinfold";
  float x = 56, base = 190;
  if (x + big.measure(name) + 10 > 590) std::fprintf(stderr, "warning: the title reaches the buttons\n");
  big.draw(c, x + 9, base - 5, name, cyan, 0.25f);  // the title's own fold
  big.draw(c, x + 4, base + 4, name, ink, 0.8f);
  big.draw(c, x, base, name, gold);
  sub.draw(c, x + 6, base + 52, "fold the world, walk the road home", paper, 0.9f);
  return c;
}

// The pointer: a white arrow with a dark rim, its tip at the top-left pixel.
Canvas pointer() {
  Canvas c(32, 32, {0, 0, 0}, 0);
  std::vector<Point> arrow = {{1, 1}, {1, 24}, {6.5f, 19}, {10.5f, 28}, {14.5f, 26.5f}, {10.5f, 17.5f}, {18, 17.5f}};
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++)
      if (dx || dy) c.polygon(moved(arrow, dx * 1.2f, dy * 1.2f), ink, 0.8f);
  c.polygon_vgradient(arrow, hexcolour(0xffffff), hexcolour(0xd8e8ff), 1, 28);
  c.polygon({{3, 4.5f}, {3, 10}, {7, 7}}, cyan, 0.5f);
  return c;
}

// A button: an inset rounded body (so the highlight drawn under it shows as a rim)
// with its label.
Canvas button(Font& f, const std::string& label) {
  Canvas c(256, 64, {0, 0, 0}, 0);
  auto body = roundrect_points(7, 7, 249, 57, 14);
  c.polygon_vgradient(body, hexcolour(0x333e86), hexcolour(0x161b44), 7, 57, 0.9f);
  c.polygon(ring_points(body, roundrect_points(8.5f, 8.5f, 247.5f, 55.5f, 12.5f)), cyan, 0.75f);
  c.roundrect(16, 11, 240, 13, 1, hexcolour(0xffffff), 0.18f);  // a glint along the top
  float x = (256 - f.measure(label)) / 2, base = 32 + f.size * 0.36f;
  f.draw(c, x + 1.5f, base + 1.5f, label, ink, 0.9f);
  f.draw(c, x, base, label, hexcolour(0xffffff));
  return c;
}

// The hover highlight: a warm glow filling the button's rectangle.
Canvas highlight() {
  Canvas c(256, 64, gold, 0);
  for (int k = 0; k < 7; k++) c.roundrect(k, k, 256 - k, 64 - k, 18 - k, gold, 0.16f);
  return c;
}

bool read_file(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

}  // namespace

bool parse_pages(const std::string& text, const std::string& filename, std::vector<Page>& pages,
                 std::string& error) {
  static const char* scenes[] = {"valley", "fold", "keys", "road", "viewmaster", "dawn", "home", "credits"};
  std::istringstream in(text);
  std::string line, para;
  int n = 0;
  auto fail = [&](const std::string& what) {
    error = filename + ":" + std::to_string(n) + ": " + what;
    return false;
  };
  auto flush = [&]() {
    if (!para.empty()) pages.back().items.push_back({false, para, {}});
    para.clear();
  };
  while (std::getline(in, line)) {
    n++;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == ';') continue;
    std::istringstream words(line);
    std::string word, rest;
    words >> word;
    std::getline(words >> std::ws, rest);
    if (word == "page") {
      flush();
      std::string name, scene, extra;
      std::istringstream args(rest);
      args >> name >> scene >> extra;
      if (name.empty() || scene.empty() || !extra.empty()) return fail("expected \"page NAME SCENE\"");
      bool known = false;
      for (const char* s : scenes) known = known || scene == s;
      if (!known) return fail("unknown scene \"" + scene + "\"");
      pages.push_back({name, scene, "", "", {}});
      continue;
    }
    if (word.empty()) {
      if (!pages.empty()) flush();
      continue;
    }
    if (pages.empty()) return fail("text before the first \"page\" line");
    if (word == "title" || word == "footer") {
      flush();
      (word == "title" ? pages.back().title : pages.back().footer) = rest;
    } else if (word == "key") {
      flush();
      size_t colon = rest.find(" : ");
      if (colon == std::string::npos) return fail("expected \"key CAPS : TEXT\"");
      PageItem item{true, "", {}};
      std::istringstream caps(rest.substr(0, colon));
      std::string cap;
      while (caps >> cap) {
        for (char& ch : cap)
          if (ch == '_') ch = ' ';
        item.key.caps.push_back(cap);
      }
      item.key.text = rest.substr(colon + 3);
      if (item.key.caps.empty()) return fail("a key line needs at least one key");
      pages.back().items.push_back(item);
    } else {
      para += (para.empty() ? "" : " ") + word + (rest.empty() ? "" : " " + rest);
    }
  }
  if (!pages.empty()) flush();
  return true;
}

bool make_pictures(const std::string& datadir, const std::string& outdir) {
  // 1. The pages' text: the story and the credits.
  std::vector<Page> pages;
  for (const char* file : {"story.txt", "credits.txt"}) {
    std::string text, error, path = datadir + "/" + file;
    if (!read_file(path, text)) {
      std::fprintf(stderr, "cannot read %s\n", path.c_str());
      return false;
    }
    if (!parse_pages(text, file, pages, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return false;
    }
  }
  // 2. The title screen, pointer, buttons and highlight.
  if (!write_png(outdir + "/orvik_menu.png", title_screen().image())) return false;
  if (!save_pair(outdir, "ar", pointer())) return false;
  Font label("Sans-Bold", 24);
  const char* buttons[4][2] = {{"b1", "New game"}, {"b2", "Quit"}, {"b3", "Resume"}, {"b4", "Credits"}};
  for (auto& b : buttons)
    if (!save_pair(outdir, b[0], button(label, b[1]))) return false;
  if (!save_pair(outdir, "bhl", highlight())) return false;
  // 3. The pages, each over its own scene.
  Fonts fonts;
  unsigned long long seed = 1;
  for (const Page& page : pages) {
    Canvas c(pagew, pageh);
    paint_scene(c, page.scene, seed++);
    if (!set_page(c, fonts, page) || !write_png(outdir + "/" + page.name + ".png", c.image())) return false;
  }
  return true;
}
