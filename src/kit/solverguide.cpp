// Solver guide: the open cells, the moves between them and the distance
// fields to the end and to each shift pickup.
#include "kit/solverguide.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <queue>
#include <utility>

#include "world/world.h"

namespace {

constexpr int32_t jumpreach = 88;     // a ground jump rises about 81 pixels
constexpr int32_t shaftwidth = 100;   // widest gap beside the hero a kick still crosses
constexpr int32_t maxcells = 250000;  // the grid's cell size grows beyond this
constexpr int32_t span = 60000;       // level pixels around the start considered
constexpr size_t fieldpickups = 8;    // pickups the guide plans for
constexpr size_t fieldcounts = 7;     // shift counts it keeps fields for
constexpr size_t maxremaining = 48;   // fields for pickups partly taken, kept at most

// Costs in tenths of a step for one cell of 16 pixels: the hero covers 6 to
// 12 pixels a step sideways, falls faster and climbs slower; a shift takes
// no step at all but needs a landing, a step at least, before the next.
constexpr int32_t sidewayscost = 16, upcost = 25, downcost = 10, shiftcost = 12,
                  airshiftcost = 50;

// Some hero position inside the cell at (ox, oy) of side c touches b.
bool celltouches(int64_t ox, int64_t oy, int64_t c, const Box& b) {
  return !touchspan(b).overlap(HeroSpan{ox, ox + c - 1, oy, oy + c - 1}).empty();
}

bool ispickup(int32_t kind) { return kind == kind_shift || kind == kind_viewmaster; }

}  // namespace

SolverGuide::SolverGuide(World& w, bool groundshifts) : groundshifts(groundshifts) {
  // 1. The grid: every element and item, within span of the start.
  const LevelBounds level = levelbounds(w, true);
  int64_t minx = level.minx, maxx = level.maxx, miny = level.miny, maxy = level.maxy;
  minx = std::max<int64_t>(minx, int64_t{w.x} - span);
  maxx = std::min<int64_t>(maxx, int64_t{w.x} + span);
  miny = std::max<int64_t>(miny, int64_t{w.y} - span);
  maxy = std::min<int64_t>(maxy, int64_t{w.y} + span);
  maxy += heroheight;
  cell = 16;
  while (((maxx - minx) / cell + 1) * ((maxy - miny) / cell + 1) > maxcells) cell *= 2;
  originx = static_cast<int32_t>(minx);
  originy = static_cast<int32_t>(miny);
  cols = static_cast<int32_t>((maxx - minx) / cell + 1);
  rows = static_cast<int32_t>((maxy - miny) / cell + 1);
  basecount = w.shiftcount;

  // 2. Open cells, each with the first sample position that fits; ledges
  // pass from below as in play, so the probes go one way.
  const size_t n = static_cast<size_t>(cols) * rows;
  open.assign(n, 0);
  climb.assign(n, 0);
  grounded.assign(n, 0);
  std::vector<int32_t> repx(n), repy(n);
  // Samples reach the cell's far edge: a gap or a shift that fits only one
  // column of pixels still opens the cell.
  const int32_t samplesx[] = {0, cell / 3, 2 * cell / 3, cell - 1};
  const int32_t samplesy[] = {0, cell / 2, cell - 1};
  for (int32_t cy = 0; cy < rows; cy++) {
    for (int32_t cx = 0; cx < cols; cx++) {
      const int32_t ox = originx + cx * cell, oy = originy + cy * cell;
      for (int s = 0; s < 12 && !open[index(cx, cy)]; s++) {
        const int32_t sx = ox + samplesx[s % 4], sy = oy + samplesy[s / 4];
        if (w.collidey(sx, sy, sy - 1, true) > sy) continue;
        bool spiky = false;
        for (const Box* b : w.items)
          if (b && b->kind == kind_spikes && touches(sx, sy, *b)) spiky = true;
        if (spiky) continue;
        open[index(cx, cy)] = 1;
        repx[index(cx, cy)] = sx;
        repy[index(cx, cy)] = sy;
      }
    }
  }

  // 3. Where the hero can go up from: a floor within a jump below, or a
  // wall that allows kicking off beside it.
  // One wall is no ladder: a kick carries the hero away from it, so only a
  // shaft, walls on both sides within a kick's reach, is climbed.
  auto wallwithin = [&](int32_t px, int32_t py, int32_t dir) {
    for (int32_t d = cell; d <= shaftwidth + cell; d += cell)
      if (wallat(w, int64_t{px} + dir * d, py)) return true;
    return false;
  };
  // A jump starts from a floor or a shaft wall and rises a jump's height
  // above it, through open cells.
  for (int32_t cx = 0; cx < cols; cx++) {
    int64_t from = INT64_MIN / 2;  // height of the last place to jump from below
    for (int32_t cy = 0; cy < rows; cy++) {
      const size_t i = index(cx, cy);
      if (!open[i]) {
        from = INT64_MIN / 2;
        continue;
      }
      const int32_t px = repx[i], py = repy[i];
      const bool floor = w.collidey(px, py, py - cell, true) > py - cell;
      grounded[i] = floor;
      if (floor || (wallat(w, int64_t{px} - cell, py) && wallwithin(px, py, 1)) ||
          (wallat(w, int64_t{px} + cell, py) && wallwithin(px, py, -1)))
        from = py;
      climb[i] = py - from <= jumpreach;
    }
  }
  w.lastbox = nullptr;

  // 4. Goal cells: the end, and each pickup.
  auto goalsof = [&](const Box& b) {
    std::vector<int32_t> goals;
    for (int32_t cy = 0; cy < rows; cy++)
      for (int32_t cx = 0; cx < cols; cx++)
        if (open[index(cx, cy)] &&
            celltouches(originx + int64_t{cx} * cell, originy + int64_t{cy} * cell, cell, b))
          goals.push_back(index(cx, cy));
    return goals;
  };
  for (size_t i = 0; i < w.items.size(); i++) {
    const Box* b = w.items[i];
    if (!b) continue;
    if (b->kind == kind_end) {
      std::vector<int32_t> g = goalsof(*b);
      endgoals.insert(endgoals.end(), g.begin(), g.end());
    } else if (ispickup(b->kind) && pickups.size() < fieldpickups) {
      pickups.push_back(static_cast<int32_t>(i));
      pickupgoals.push_back(goalsof(*b));
    }
  }

  // 5. The chain: from the highest shift count the pickups can make down,
  // each pickup's cells starting at the cost on from them with one more.
  const size_t counts = std::min(pickups.size(), fieldcounts - 1) + 1;
  chain.resize(counts);
  for (size_t k = counts; k-- > 0;)
    chain[k] = distances(seeds(k, (1u << pickups.size()) - 1), basecount + static_cast<int32_t>(k));
}

std::vector<std::pair<int32_t, int32_t>> SolverGuide::seeds(size_t k, uint32_t left) const {
  std::vector<std::pair<int32_t, int32_t>> goals;
  for (int32_t g : endgoals) goals.emplace_back(g, 0);
  if (k + 1 >= chain.size()) return goals;
  const Field& next = chain[k + 1];
  for (size_t p = 0; p < pickups.size(); p++) {
    if (!(left & (1u << p))) continue;
    for (int32_t g : pickupgoals[p])
      if (next.cost[g] != unknown) goals.emplace_back(g, next.cost[g]);
  }
  return goals;
}

SolverGuide::Field SolverGuide::distances(
    const std::vector<std::pair<int32_t, int32_t>>& goals, int32_t count) const {
  Field f;
  f.cost.assign(open.size(), unknown);
  // Carries of one shift, in cells: the vector is even, within -32..32, and
  // multiplied by the count.
  std::vector<std::pair<int32_t, int32_t>> carries;
  const int64_t c = std::llabs(int64_t{count});
  if (c != 0) {
    for (int32_t vx = -shiftlimit; vx <= shiftlimit; vx += 2) {
      for (int32_t vy = -shiftlimit; vy <= shiftlimit; vy += 2) {
        const int64_t dx = c * vx / cell, dy = c * vy / cell;
        if ((dx == 0 && dy == 0) || std::llabs(dx) > cols || std::llabs(dy) > rows) continue;
        carries.emplace_back(static_cast<int32_t>(dx), static_cast<int32_t>(dy));
      }
    }
    std::sort(carries.begin(), carries.end());
    carries.erase(std::unique(carries.begin(), carries.end()), carries.end());
  }
  const int32_t side = sidewayscost * cell / 16, up = upcost * cell / 16,
                down = downcost * cell / 16;

  // Dijkstra from the goals backwards: each popped cell relaxes the cells
  // that could move into it.
  using Entry = std::pair<int32_t, int32_t>;  // cost, cell
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
  for (const auto& [g, start] : goals) {
    if (start >= f.cost[g]) continue;
    f.cost[g] = start;
    queue.push({start, g});
  }
  while (!queue.empty()) {
    // Plain names, not a structured binding: the lambda below captures them.
    const int32_t d = queue.top().first, v = queue.top().second;
    queue.pop();
    if (d != f.cost[v]) continue;
    const int32_t vx = v % cols, vy = v / cols;
    auto relax = [&](int32_t ux, int32_t uy, int32_t cost, bool needclimb) {
      if (ux < 0 || uy < 0 || ux >= cols || uy >= rows) return;
      const int32_t u = index(ux, uy);
      if (!open[u] || (needclimb && !climb[u])) return;
      if (d + cost < f.cost[u]) {
        f.cost[u] = d + cost;
        queue.push({d + cost, u});
      }
    };
    relax(vx - 1, vy, side, false);
    relax(vx + 1, vy, side, false);
    relax(vx, vy + 1, down, false);  // falling from above into v
    relax(vx, vy - 1, up, true);     // rising from below into v
    // A shift starts on the ground or within a jump of it; the next one
    // waits for a landing, soon on the ground, later in the air.
    for (const auto& [dx, dy] : carries) {
      const int32_t ux = vx - dx, uy = vy - dy;
      if (ux < 0 || uy < 0 || ux >= cols || uy >= rows) continue;
      relax(ux, uy, groundshifts && grounded[index(ux, uy)] ? shiftcost : airshiftcost, true);
    }
  }
  return f;
}

void SolverGuide::cellof(int32_t px, int32_t py, int32_t* cx, int32_t* cy) const {
  const int64_t x = (int64_t{px} - originx) / cell, y = (int64_t{py} - originy) / cell;
  *cx = static_cast<int32_t>(std::clamp<int64_t>(x, 0, cols - 1));
  *cy = static_cast<int32_t>(std::clamp<int64_t>(y, 0, rows - 1));
}

int32_t SolverGuide::lookup(const Field& f, int32_t cx, int32_t cy) const {
  int32_t best = f.cost[index(cx, cy)];
  if (best != unknown) return best;
  for (int32_t dy = -1; dy <= 1; dy++) {
    for (int32_t dx = -1; dx <= 1; dx++) {
      const int32_t x = cx + dx, y = cy + dy;
      if (x < 0 || y < 0 || x >= cols || y >= rows) continue;
      const int32_t c = f.cost[index(x, y)];
      if (c != unknown) best = std::min(best, c + sidewayscost);
    }
  }
  return best;
}

int32_t SolverGuide::estimate(const World& w) const {
  int32_t cx, cy;
  cellof(w.x, w.y, &cx, &cy);
  const int64_t k = std::clamp<int64_t>(int64_t{w.shiftcount} - basecount, 0,
                                        static_cast<int64_t>(chain.size()) - 1);
  uint32_t left = 0;
  for (size_t p = 0; p < pickups.size(); p++) {
    const Box* b = w.items[pickups[p]];
    if (b && ispickup(b->kind)) left |= 1u << p;
  }
  if (left == (1u << pickups.size()) - 1) return lookup(chain[k], cx, cy);
  for (const Remaining& r : remaining)
    if (r.k == k && r.left == left) return lookup(r.field, cx, cy);
  // Routes that take the pickups in many orders: past a few dozen fields,
  // plan as if every pickup were still there.
  if (remaining.size() >= maxremaining) return lookup(chain[k], cx, cy);
  remaining.push_back(Remaining{static_cast<int32_t>(k), left,
                                distances(seeds(static_cast<size_t>(k), left),
                                          basecount + static_cast<int32_t>(k))});
  return lookup(remaining.back().field, cx, cy);
}
