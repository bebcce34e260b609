// Reach: the places of the hero box, searched with speed left out. From any
// place the hero may
//   - rise or fall a pixel, by the game's own sweep, which also lifts a hero
//     caught inside an element onto its top (a step up under a low ceiling
//     can put it there);
//   - move sideways by up to the fastest run, by the game's own probe, with
//     the climb that distance allows;
//   - fold to any free place within the farthest shift the level's pickups
//     could give, wherever it stands.
// A real step is a chain of these (a fall of many pixels sweeps the same
// elements one pixel at a time), a death goes back to a place already
// reached, and no pickup moves an element: what this never reaches, the game
// never reaches. Flying freely, it covers far more than a player can, but a
// room that is shut by walls thicker than a fold is shut here too, and that
// is found in a few million places rather than billions of states.
#include "kit/reach.h"

#include <algorithm>
#include <cstdlib>
#include <queue>

#include "world/world.h"

namespace {

// Folds are spread a square of places this wide at a time: a little farther
// than a fold reaches, which only lets the model reach more.
constexpr int64_t foldcell = 8;
// A snapshot faster than this is not a game's: left to the search.
constexpr int64_t fastestlooked = 64;

int64_t gap(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo - v : v > hi ? v - hi : 0; }

}  // namespace

void NearestPlaces::offer(int32_t rank, int64_t distance, int32_t x, int32_t y) {
  const Near n{rank, distance, x, y};
  auto nearer = [](const Near& a, const Near& b) {
    return a.rank != b.rank ? a.rank < b.rank : a.distance < b.distance;
  };
  for (Near& m : nearest) {
    if (std::abs(m.x - n.x) < farthestcell && std::abs(m.y - n.y) < farthestcell) {
      if (nearer(n, m)) m = n;
      std::sort(nearest.begin(), nearest.end(), nearer);
      return;
    }
  }
  if (nearest.size() < static_cast<size_t>(kept)) {
    nearest.push_back(n);
  } else if (nearer(n, nearest.back())) {
    nearest.back() = n;
  }
  std::sort(nearest.begin(), nearest.end(), nearer);
}

std::vector<std::pair<int32_t, int32_t>> NearestPlaces::places() const {
  std::vector<std::pair<int32_t, int32_t>> out;
  for (const Near& n : nearest) out.emplace_back(n.x, n.y);
  return out;
}

bool Reach::reached(int64_t x, int64_t y) const {
  if (x < left || y < bottom || x >= left + width || y >= bottom + height) return true;
  const uint64_t i = static_cast<uint64_t>((y - bottom) * width + (x - left));
  return (seen[i / 64] >> (i % 64)) & 1;
}

Reach reach(World& w, long long most, bool whole) {
  Reach out;
  std::vector<const Box*> ends;
  for (const Box* b : w.items)
    if (b && b->kind == kind_end) ends.push_back(b);
  // An end touched already finishes by itself.
  if (ends.empty() || w.fade > 0) return out;

  // The farthest fold: every pickup taken (or given back by a death and
  // taken again) moves the count by one.
  int64_t count = std::abs(int64_t{w.shiftcount});
  for (const Box* b : w.items)
    if (b && (b->kind == kind_shift || b->kind == kind_viewmaster || b->kind == kind_taken)) count++;
  const int64_t fold = count * shiftlimit;
  const int64_t speed = std::max<int64_t>(runspeed, std::abs(int64_t{w.vx}));
  if (speed > fastestlooked) return out;

  // The area: every element and item, the places the hero starts from, and
  // beyond them a margin wider than a fold or a step, where nothing overlaps
  // the hero box. All places in the margin reach one another, and whatever
  // lies past it reaches in only through it: it stands for all of the sky.
  int64_t x0 = w.x, x1 = w.x, y0 = w.y, y1 = w.y;
  auto cover = [&](int64_t ax, int64_t ay) {
    x0 = std::min(x0, ax);
    x1 = std::max(x1, ax);
    y0 = std::min(y0, ay);
    y1 = std::max(y1, ay);
  };
  cover(w.checkx, w.checky);
  for (const std::vector<Box*>* list : {&w.boxes, &w.items}) {
    for (const Box* b : *list) {
      if (!b) continue;
      cover(int64_t{std::min(b->x1, b->x2)} - herowidth, int64_t{std::min(b->y1, b->y2)} - heroheight);
      cover(std::max(b->x1, b->x2), std::max(b->y1, b->y2));
    }
  }
  const int64_t margin = fold + 2 * foldcell + 2 * speed + heroheight;
  x0 -= margin;
  y0 -= margin;
  x1 += margin;
  y1 += margin;
  if (x0 < INT32_MIN || x1 > INT32_MAX || y0 < falldepth || y1 > INT32_MAX) return out;
  const int64_t width = x1 - x0 + 1, height = y1 - y0 + 1;
  if (width > most || height > most || width * height > most) return out;
  out.decided = true;
  out.left = x0;
  out.bottom = y0;
  out.width = width;
  out.height = height;
  out.seen.assign(static_cast<size_t>((width * height + 63) / 64), 0);
  const int64_t cellsx = (width + foldcell - 1) / foldcell, cellsy = (height + foldcell - 1) / foldcell;
  std::vector<uint8_t> foldfrom(static_cast<size_t>(cellsx * cellsy), 0), foldto(foldfrom);
  const int64_t foldcells = fold / foldcell + 1;

  // Nearest the end first: a level that can be finished is told at once.
  using Entry = std::pair<int64_t, uint64_t>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> todo;
  NearestPlaces nearest;
  auto visit = [&](int64_t x, int64_t y) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return;
    const uint64_t i = static_cast<uint64_t>((y - y0) * width + (x - x0));
    uint64_t& word = out.seen[i / 64];
    if ((word >> (i % 64)) & 1) return;
    word |= uint64_t{1} << (i % 64);
    out.places++;
    int64_t distance = INT64_MAX;
    for (const Box* e : ends) {
      const HeroSpan s = touchspan(*e);
      if (s.holds(x, y)) out.touchesend = true;
      distance = std::min(distance, std::max(gap(x, s.x0, s.x1), gap(y, s.y0, s.y1)));
    }
    nearest.offer(0, distance, static_cast<int32_t>(x), static_cast<int32_t>(y));
    todo.push(Entry{distance, i});
  };
  visit(w.x, w.y);
  visit(w.checkx, w.checky);
  while (!todo.empty() && (whole || !out.touchesend)) {
    const uint64_t i = todo.top().second;
    todo.pop();
    const int32_t x = static_cast<int32_t>(x0 + static_cast<int64_t>(i % width));
    const int32_t y = static_cast<int32_t>(y0 + static_cast<int64_t>(i / width));
    visit(x, w.collidey(x, y, y + 1, true));
    visit(x, w.collidey(x, y, y - 1, true));
    for (int64_t m = -speed; m <= speed; m++) {
      if (m == 0) continue;
      const int32_t nx = static_cast<int32_t>(x + m);
      const int r = w.collidey(nx, y, y - 1, true);
      if (r <= int64_t{y} + std::abs(m) + 1) visit(nx, r);
    }
    if (fold == 0) continue;
    const int64_t cx = (x - x0) / foldcell, cy = (y - y0) / foldcell;
    uint8_t& from = foldfrom[static_cast<size_t>(cy * cellsx + cx)];
    if (from) continue;
    from = 1;
    for (int64_t ty = std::max<int64_t>(0, cy - foldcells); ty <= std::min(cellsy - 1, cy + foldcells); ty++) {
      for (int64_t tx = std::max<int64_t>(0, cx - foldcells); tx <= std::min(cellsx - 1, cx + foldcells); tx++) {
        uint8_t& to = foldto[static_cast<size_t>(ty * cellsx + tx)];
        if (to) continue;
        to = 1;
        for (int64_t py = y0 + ty * foldcell; py < std::min(y0 + (ty + 1) * foldcell, y1 + 1); py++)
          for (int64_t px = x0 + tx * foldcell; px < std::min(x0 + (tx + 1) * foldcell, x1 + 1); px++)
            if (w.fitsat(static_cast<int32_t>(px), static_cast<int32_t>(py))) visit(px, py);
      }
    }
  }
  if (!out.touchesend) out.nearest = nearest.places();
  return out;
}
