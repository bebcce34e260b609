// Level checker: headless load of a level, its summary line and its problems,
// placed at the line and column of the command that caused them.
#include "kit/levelcheck.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "graphics/bitmap.h"
#include "graphics/tiles.h"
#include "kit/quietload.h"
#include "world/world.h"

namespace fs = std::filesystem;

namespace {

constexpr long floodcells = 400000;     // most hero positions the reach test visits
constexpr int floodmargin = 256;        // free space looked at around the elements
constexpr int loopsamples = 4096;       // most positions tried for a respawn death loop

// A file named by the level, looked up in the level's own folder.
std::string beside(const std::string& level, const std::string& name) {
  return (fs::path(level).parent_path() / name).string();
}

bool isfile(const std::string& path) {
  std::error_code ignored;
  return fs::is_regular_file(path, ignored);
}

bool fits(World& w, int64_t x, int64_t y) {
  return w.fitsat(clampcoord(x), clampcoord(y));
}

// Line and column (both from 1) of file offsets.
class Places {
 public:
  explicit Places(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    starts.push_back(0);
    for (size_t i = 0; i < text.size(); i++)
      if (text[i] == '\n') starts.push_back(long(i) + 1);
  }
  std::string at(long offset) const {
    size_t line = 0;
    size_t lo = 0, hi = starts.size();
    while (lo < hi) {  // last line start <= offset
      size_t mid = (lo + hi) / 2;
      if (starts[mid] <= offset) {
        line = mid;
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return std::to_string(line + 1) + ":" + std::to_string(offset - starts[line] + 1);
  }

 private:
  std::vector<long> starts;
};

class Checker {
 public:
  Checker(LevelCheck& r, World& w) : r(r), w(w), places(r.path) {}

  void error(long offset, const std::string& what) {
    r.problems.push_back(where(offset) + what);
  }
  void warn(long offset, const std::string& what) {
    r.warnings.push_back(where(offset) + "warning: " + what);
  }

  // The command that made items[i] (or boxes[i]), or null.
  const LevelCommand* maker(CommandList list, size_t i) const {
    for (const LevelCommand& c : w.commands)
      if (c.list == list && size_t(c.index) == i) return &c;
    return nullptr;
  }
  long itemat(size_t i) const {
    const LevelCommand* c = maker(list_items, i);
    return c ? c->wordat : -1;
  }
  std::string placeof(long offset) const { return offset < 0 ? "" : places.at(offset); }

  void commands();
  void pictures();
  void start();
  void items();
  void deathloops();
  void imageshift();

 private:
  std::string where(long offset) const {
    return offset < 0 ? r.path + ": " : r.path + ":" + places.at(offset) + ": ";
  }
  void picture(long at, const std::string& what, const std::string& name, bool alpha);

  LevelCheck& r;
  World& w;
  Places places;
};

bool namecommand(const std::string& word) {
  return word == "setBackground" || word == "setForeground" || word == "setNextLevel";
}

void Checker::commands() {
  for (const LevelCommand& c : w.commands) {
    if (!c.known) {
      if (c.word.empty())
        error(c.at, "'(' outside any command: text between commands must not hold parentheses");
      else
        error(c.wordat, "unknown command: " + c.word);
      continue;
    }
    if (c.wanted > 0 && c.operands < c.wanted)
      error(c.wordat, c.word + " read " + std::to_string(c.operands) + " of its " +
                          std::to_string(c.wanted) +
                          " numbers; the rest count as 0");
    if (!namecommand(c.word)) continue;
    // The name is the run up to its first double quote; whatever follows the
    // closing quote, parenthesis and semicolon in the same run is lost.
    const size_t quote = c.run.find('"');
    if (quote == std::string::npos) continue;
    size_t rest = quote + 1;
    if (rest < c.run.size() && c.run[rest] == ')') rest++;
    if (rest < c.run.size() && c.run[rest] == ';') rest++;
    if (rest < c.run.size())
      error(c.wordat, "the name of " + c.word + " runs on into '" + c.run.substr(rest) +
                          "', which is never read as commands: put a blank or line break "
                          "after the ';'");
  }
}

void Checker::picture(long at, const std::string& what, const std::string& name, bool alpha) {
  const std::string colour = beside(r.path, name + ".png");
  int cw = 0, ch = 0;
  if (!isfile(colour)) {
    error(at, what + " picture missing: " + colour);
  } else if (!pngsize(colour, &cw, &ch)) {
    error(at, what + " picture is not a readable PNG: " + colour);
  } else if (!tileswhole(cw) || !tileswhole(ch)) {
    warn(at, what + " picture " + colour + " is " + std::to_string(cw) + "x" +
                 std::to_string(ch) +
                 ": the tiling drops pixels beyond the last power of two past a multiple of "
                 "256 (make each side a multiple of 256)");
  }
  if (!alpha) return;
  const std::string mask = beside(r.path, name + ".a.png");
  int aw = 0, ah = 0;
  if (!isfile(mask)) {
    error(at, what + " picture missing: " + mask);
  } else if (!pngsize(mask, &aw, &ah)) {
    error(at, what + " picture is not a readable PNG: " + mask);
  } else if (cw > 0 && (aw != cw || ah != ch)) {
    error(at, what + " alpha picture " + mask + " is " + std::to_string(aw) + "x" +
                  std::to_string(ah) + ", its colour picture " + std::to_string(cw) + "x" +
                  std::to_string(ch) + ": they must be the same size");
  }
}

void Checker::pictures() {
  // The first command of each kind is the one the game loads.
  bool seen[2] = {false, false};
  for (const LevelCommand& c : w.commands) {
    const int layer = c.word == "setBackground" ? 0 : c.word == "setForeground" ? 1 : -1;
    if (layer < 0 || !c.known || seen[layer]) continue;
    seen[layer] = true;
    const char* what = layer == 0 ? "background" : "foreground";
    const std::string name = layer == 0 ? w.backgroundname : w.foregroundname;
    if (name.empty()) {
      error(c.wordat, std::string(what) +
                          " name is empty (a blank between '(' and the opening quote?)");
      continue;
    }
    picture(c.wordat, what, name, layer == 1);
  }
}

void Checker::start() {
  long at = -1;
  for (const LevelCommand& c : w.commands)
    if (c.word == "setStartPosition") at = c.wordat;  // the last one wins
  if (!fits(w, w.x, w.y))
    error(at, "the start " + std::to_string(w.x) + "," + std::to_string(w.y) +
                  " puts the hero inside a solid element");
}

void Checker::items() {
  int ends = 0;
  for (size_t i = 0; i < w.items.size(); i++) {
    const Box& b = *w.items[i];
    if (b.kind == kind_end) ends++;
    if (b.kind == kind_spikes && (b.x1 > b.x2 || b.y1 > b.y2))
      warn(itemat(i), std::string("spikes with their corners reversed (x1 above x2 or y1 "
                                  "above y2) are touched ") +
                          (touchspan(b).empty() ? "nowhere" : "only over part of them") +
                          ": write x1, x2, y1, y2 from low to high");
  }
  if (ends == 0) error(-1, "no end position");
}

// A checkpoint sets the respawn point where the hero touches it; if a hero
// standing there also touches spikes, every respawn dies at once.
void Checker::deathloops() {
  for (size_t i = 0; i < w.items.size(); i++) {
    if (w.items[i]->kind != kind_checkpoint) continue;
    const LevelCommand* made = maker(list_items, i);
    if (made && made->word == "setImageShift") continue;  // reported by imageshift()
    for (size_t j = 0; j < w.items.size(); j++) {
      if (w.items[j]->kind != kind_spikes) continue;
      const HeroSpan both = touchspan(*w.items[i]).overlap(touchspan(*w.items[j]));
      if (both.empty()) continue;
      // Try free hero positions in the overlap, evenly spread.
      const int64_t sx = std::max<int64_t>(1, (both.x1 - both.x0) / 64 + 1);
      const int64_t sy = std::max<int64_t>(1, (both.y1 - both.y0) / 64 + 1);
      bool loop = false;
      int tried = 0;
      for (int64_t y = both.y0; y <= both.y1 && !loop && tried < loopsamples; y += sy)
        for (int64_t x = both.x0; x <= both.x1 && !loop && tried < loopsamples; x += sx, tried++)
          loop = fits(w, x, y);
      if (loop)
        error(itemat(i), "checkpoint touches the spikes at " + placeof(itemat(j)) +
                             ": a hero respawning there dies again at once");
    }
  }
}

// The picture offset makes a checkpoint of its own; a hero that can get to it
// respawns at the picture's corner. Free hero positions joined to the start
// (walking, falling and jumping alike, shifts aside) are a wide estimate of
// where the hero can get.
void Checker::imageshift() {
  long at = -1;
  size_t index = 0;
  for (const LevelCommand& c : w.commands)
    if (c.word == "setImageShift" && c.list == list_items) {
      at = c.wordat;
      index = size_t(c.index);
    }
  if (at < 0 || w.boxes.empty()) return;
  const HeroSpan goal = touchspan(*w.items[index]);

  const LevelBounds solid = levelbounds(w, false);
  int64_t x0 = solid.minx, x1 = solid.maxx, y0 = solid.miny, y1 = solid.maxy;
  x0 -= floodmargin + herowidth;
  y0 -= floodmargin + heroheight;
  x1 += floodmargin;
  y1 += floodmargin;
  int64_t grid = 8;
  while (((x1 - x0) / grid + 1) * ((y1 - y0) / grid + 1) > floodcells) grid *= 2;
  const int64_t nx = (x1 - x0) / grid + 1, ny = (y1 - y0) / grid + 1;

  // Cells are hero positions on the grid through the start.
  const int64_t ox = w.x - ((w.x - x0) / grid) * grid, oy = w.y - ((w.y - y0) / grid) * grid;
  std::vector<char> seen(size_t(nx * ny), 0);
  std::deque<int64_t> open;
  const int64_t first = ((w.y - oy) / grid) * nx + (w.x - ox) / grid;
  if (!fits(w, w.x, w.y)) return;  // reported by start()
  seen[size_t(first)] = 1;
  open.push_back(first);
  while (!open.empty()) {
    const int64_t cell = open.front();
    open.pop_front();
    const int64_t cx = cell % nx, cy = cell / nx;
    const int64_t hx = ox + cx * grid, hy = oy + cy * grid;
    if (hx + grid > goal.x0 && hx - grid <= goal.x1 && hy + grid > goal.y0 &&
        hy - grid <= goal.y1) {
      warn(at, "the hero may reach the checkpoint the picture offset makes (near " +
                   std::to_string(hx) + "," + std::to_string(hy) +
                   "): put the offset where no hero goes");
      return;
    }
    const int64_t steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const auto& s : steps) {
      const int64_t mx = cx + s[0], my = cy + s[1];
      if (mx < 0 || my < 0 || mx >= nx || my >= ny) continue;
      const int64_t next = my * nx + mx;
      if (seen[size_t(next)]) continue;
      seen[size_t(next)] = 1;
      if (fits(w, ox + mx * grid, oy + my * grid)) open.push_back(next);
    }
  }
}

}  // namespace

LevelCheck checklevel(const std::string& path) {
  LevelCheck r;
  r.path = path;
  std::string err;
  const std::unique_ptr<World> loaded = loadquiet(path, err);
  if (!loaded) {
    r.summary = err;
    r.problems.push_back(path + ": level file cannot be opened");
    return r;
  }
  World& w = *loaded;

  int kinds[6] = {0, 0, 0, 0, 0, 0};
  for (const Box* b : w.items)
    if (b->kind >= 0 && b->kind < 6) kinds[b->kind]++;
  r.summary = path + ": " + std::to_string(w.boxes.size() + w.items.size()) + " elements (" +
              std::to_string(w.boxes.size()) + " solid, " + std::to_string(w.items.size()) +
              " items: " + std::to_string(kinds[kind_checkpoint]) + " checkpoint, " +
              std::to_string(kinds[kind_end]) + " end, " + std::to_string(kinds[kind_shift]) +
              " shift, " + std::to_string(kinds[kind_spikes]) + " spikes, " +
              std::to_string(kinds[kind_viewmaster]) + " viewmaster); start " +
              std::to_string(w.x) + "," + std::to_string(w.y) + "; shift count " +
              std::to_string(w.shiftcount) + "; next " +
              (w.nextlevel[0] ? std::string(w.nextlevel) : std::string("none"));

  Checker check(r, w);
  check.commands();
  check.pictures();
  check.start();
  check.items();
  check.deathloops();
  check.imageshift();

  long nextat = -1;
  for (const LevelCommand& c : w.commands)
    if (c.word == "setNextLevel") nextat = c.wordat;
  if (nextat >= 0 && !w.nextlevel[0])
    check.warn(nextat, "next level name is empty: the game ends after this level");
  if (w.nextlevel[0]) {
    r.next = beside(path, w.nextlevel);
    if (!isfile(r.next)) check.error(nextat, "next level not found: " + r.next);
  }
  return r;
}

std::vector<LevelCheck> checkchain(const std::string& first) {
  std::vector<LevelCheck> chain;
  std::set<std::string> seen;
  std::string path = first;
  for (;;) {
    std::error_code ignored;
    seen.insert(fs::weakly_canonical(path, ignored).string());
    chain.push_back(checklevel(path));
    LevelCheck& last = chain.back();
    if (last.next.empty() || !isfile(last.next)) break;
    if (seen.count(fs::weakly_canonical(last.next, ignored).string())) {
      last.problems.push_back(path + ": next level loops back to " + last.next);
      break;
    }
    path = last.next;
  }
  return chain;
}
