// Timing windows: routes as key changes, played from snapshots on the game's
// own replay player.
#include "kit/windows.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <numeric>

#include "world/world.h"

Route routeof(const std::vector<ReplayLine>& lines) {
  Route r;
  bool held[2] = {false, false};
  int t = 0;
  for (const ReplayLine& l : lines) {
    if (l.shift) {
      r.changes.push_back({KeyChange::shift, 0, t, l.dx, l.dy, l.lineno});
      continue;
    }
    r.linestarts.push_back(t);
    const bool now[2] = {l.left, l.right};
    for (int key = 0; key < 2; key++) {
      if (now[key] != held[key])
        r.changes.push_back(
            {now[key] ? KeyChange::press : KeyChange::release, key, t, 0, 0, l.lineno});
      held[key] = now[key];
    }
    if (l.jump) r.changes.push_back({KeyChange::jump, 0, t, 0, 0, l.lineno});
    t += l.steps;
  }
  r.steps = t;
  return r;
}

const char* changename(const KeyChange& c) {
  switch (c.kind) {
    case KeyChange::press: return c.key ? "right press" : "left press";
    case KeyChange::release: return c.key ? "right release" : "left release";
    case KeyChange::jump: return "jump";
    case KeyChange::shift: return "shift";
  }
  return "?";
}

namespace {

// The changes in time order; changes at the same step keep the route's order.
std::vector<int> timeorder(const Route& r) {
  std::vector<int> order(r.changes.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return r.changes[a].at < r.changes[b].at; });
  return order;
}

// Two changes that must keep their order: the same arrow, two jumps, two shifts.
bool samekey(const KeyChange& a, const KeyChange& b) {
  const bool arrowa = a.kind == KeyChange::press || a.kind == KeyChange::release;
  const bool arrowb = b.kind == KeyChange::press || b.kind == KeyChange::release;
  if (arrowa || arrowb) return arrowa && arrowb && a.key == b.key;
  return a.kind == b.kind;
}

}  // namespace

std::vector<ReplayLine> routelines(const Route& r, int from, int to) {
  const std::vector<int> order = timeorder(r);
  std::vector<int> cuts = {from, to};
  for (const KeyChange& c : r.changes)
    if (c.at > from && c.at < to) cuts.push_back(c.at);
  for (int s : r.linestarts)
    if (s > from && s < to) cuts.push_back(s);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

  std::vector<ReplayLine> out;
  bool held[2] = {false, false};
  size_t next = 0;  // into order
  for (size_t s = 0; s + 1 < cuts.size(); s++) {
    const int a = cuts[s], b = cuts[s + 1];
    bool jump = false;
    // 1. Everything up to and at step a: arrows set, shifts at a played.
    for (; next < order.size() && r.changes[order[next]].at <= a; next++) {
      const KeyChange& c = r.changes[order[next]];
      if (c.kind == KeyChange::press || c.kind == KeyChange::release)
        held[c.key] = c.kind == KeyChange::press;
      else if (c.at == a && c.kind == KeyChange::jump)
        jump = true;
      else if (c.at == a && c.kind == KeyChange::shift)
        out.push_back({0, false, false, false, true, c.dx, c.dy, c.lineno});
    }
    // 2. The steps up to the next cut with those keys.
    out.push_back({b - a, held[0], held[1], jump, false, 0, 0, 0});
  }
  return out;
}

RoutePlay::RoutePlay(World& w, const Route& r) : world(w), base(r) {
  start.reset(new WorldSnapshot);
  snapshot(w, *start);
  std::vector<int> wanted = {0};
  for (const KeyChange& c : r.changes) wanted.push_back(c.at);
  for (int s : r.linestarts) wanted.push_back(s);
  std::sort(wanted.begin(), wanted.end());
  wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());

  std::vector<int> touched(w.items.size(), 0);
  std::vector<std::pair<int, int>> pos = {{w.x, w.y}};
  std::vector<char> still = {w.vx == 0 && w.vy == 0};  // per step run: the hero stands
  Stretch current{0, 0, -1};
  auto keep = [&](const World& now, int step) {
    boundaries.push_back(step);
    snaps.emplace_back(new WorldSnapshot);
    snapshot(now, *snaps.back());
  };
  keep(w, 0);
  path.push_back({{w.x, w.y}});
  auto watch = [&](const World& now, const ReplayEvent& e) {
    if (e.kind == ReplayEvent::shifted) {
      if (e.carried) path.push_back({{now.x, now.y}});
      return;
    }
    if (e.kind != ReplayEvent::stepped) return;
    const bool death = now.happened.died;
    pos.push_back({now.x, now.y});
    still.push_back(now.vx == 0 && now.vy == 0);
    path.back().push_back({now.x, now.y});
    bool newcheckpoint = false;
    for (size_t j = 0; j < now.items.size() && !death; j++) {
      const Box* b = now.items[j];
      if (!b || b->kind != kind_checkpoint || touched[j] || !touches(now.x, now.y, *b)) continue;
      touched[j] = 1;
      if (newcheckpoint) continue;
      newcheckpoint = true;
      if (e.steps > current.from) {
        current.to = e.steps;
        current.checkpoint = static_cast<int>(j);
        stretches.push_back(current);
        current = Stretch{e.steps, 0, -1};
      }
    }
    if (death) {
      // What the route did since the stretch began is undone by the respawn
      // (pickups given back); from here on it plays the stretch again.
      deaths++;
      current.to = e.steps;
      current.death = true;
      current.respawnx = now.checkx;
      current.respawny = now.checky;
      stretches.push_back(current);
      current = Stretch{e.steps, 0, -1};
    }
    if (newcheckpoint || death || std::binary_search(wanted.begin(), wanted.end(), e.steps))
      if (boundaries.back() != e.steps) keep(now, e.steps);
  };
  const ReplayResult played = playreplay(w, routelines(r, 0, r.steps), watch);
  finished = played.finished;
  length = played.steps;
  current.to = length;
  stretches.push_back(current);

  for (const KeyChange& c : r.changes) {
    int k = 0;
    while (k + 1 < static_cast<int>(stretches.size()) && stretches[k + 1].from <= c.at) k++;
    stretchof.push_back(k);
    const std::pair<int, int>& p = pos[std::min<size_t>(c.at, pos.size() - 1)];
    placex.push_back(p.first);
    placey.push_back(p.second);
  }
  for (size_t j = 0; j < r.changes.size(); j++) {
    const KeyChange& c = r.changes[j];
    aimed.push_back(-1);
    if (c.kind != KeyChange::press || c.at >= static_cast<int>(still.size()) || !still[c.at])
      continue;
    size_t m = j + 1;
    while (m < r.changes.size() && r.changes[m].at == c.at) m++;
    if (m == r.changes.size()) continue;
    const KeyChange& end = r.changes[m];
    if (end.kind == KeyChange::jump || (end.kind == KeyChange::release && end.key == c.key))
      aimed.back() = static_cast<int>(m);
  }
}

bool RoutePlay::getsthrough(const Route& changed, int from, int k) const {
  const Stretch& s = stretches[k];
  // The last snapshot at or before from, within the stretch.
  size_t b = std::upper_bound(boundaries.begin(), boundaries.end(), from) - boundaries.begin();
  b = b ? b - 1 : 0;
  if (boundaries[b] < s.from)
    b = std::lower_bound(boundaries.begin(), boundaries.end(), s.from) - boundaries.begin();
  restore(world, *snaps[b]);
  const int begin = boundaries[b];

  bool through = false, failed = false, decided = false;
  auto watch = [&](const World& now, const ReplayEvent& e) {
    if (e.kind != ReplayEvent::stepped || through || failed) return;
    const bool death = now.happened.died;
    if (death)
      (s.death && now.checkx == s.respawnx && now.checky == s.respawny ? through : failed) = true;
    else if (e.state == state_finished) through = true;  // the end counts for any stretch
    else if (s.checkpoint >= 0) through = !death && touches(now.x, now.y, *now.items[s.checkpoint]);
    decided = through || failed;
  };
  const int end = s.to + stretchslack;
  Route c = changed;
  int t = begin;
  size_t next = 0;  // run-ups before this one are taken as given
  for (;;) {
    // 1. Up to the next run-up from a standstill after from.
    int j = -1;
    for (size_t i = next; i < c.changes.size(); i++)
      if (aimed[i] >= 0 && c.changes[i].at > from && c.changes[i].at >= t &&
          (j < 0 || c.changes[i].at < c.changes[j].at))
        j = static_cast<int>(i);
    const int stop = j < 0 ? end : std::min(c.changes[j].at, end);
    playuntil(c, t, stop, watch, decided);
    t = stop;
    if (decided || j < 0 || stop == end) break;
    next = j + 1;
    // 2. The player waits until the hero stands, the keys let go (a few
    // steps at most), and the run-up waits with it.
    int waited = 0;
    while (!(world.vx == 0 && world.vy == 0) && waited < windowreach && !decided) {
      playreplay(world, {{1, false, false, false, false, 0, 0, 0}}, watch);
      waited++;
    }
    if (decided) break;
    follow(c, j, waited);
    t = c.changes[j].at;
    if (!(world.vx == 0 && world.vy == 0)) continue;
    // 3. The run-up that ends nearest where the route's own ended; the end
    // keeps its own timing error on top.
    const int m = aimed[j];
    const int runup = base.changes[m].at - base.changes[j].at;
    const int error = c.changes[m].at - c.changes[j].at - runup;
    WorldSnapshot here;
    snapshot(world, here);
    const bool left = c.changes[j].key == 0;
    int best = runup, bestgap = INT_MAX;
    for (int n = 0; n <= runup + windowreach; n++) {
      const int gap = std::abs(world.x - placex[m]) + std::abs(world.y - placey[m]);
      if (gap < bestgap || (gap == bestgap && std::abs(n - runup) < std::abs(best - runup)))
        best = n, bestgap = gap;
      bool died = false;
      playreplay(world, {{1, left, !left, false, false, 0, 0, 0}},
                 [&](const World& now, const ReplayEvent& e) {
                   died = died || (e.kind == ReplayEvent::stepped && now.happened.died);
                 });
      if (died) break;
    }
    restore(world, here);
    follow(c, m, best + error - (c.changes[m].at - c.changes[j].at));
  }
  return through;
}

void RoutePlay::playuntil(const Route& changed, int t, int to,
                          const std::function<void(const World&, const ReplayEvent&)>& watch,
                          const bool& decided) const {
  if (to <= t) return;
  for (const ReplayLine& l : routelines(changed, t, to)) {
    // The player's own loop, a line at a time, so a run stops soon after it is decided.
    playreplay(world, {l}, watch);
    if (decided) break;
  }
}

void follow(Route& r, int i, int d) {
  int last[4] = {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN};  // per key: left, right, jump, shift
  for (size_t j = 0; j < r.changes.size(); j++) {
    KeyChange& c = r.changes[j];
    if (static_cast<int>(j) >= i) c.at = std::max(c.at + d, 0);
    const int key = c.kind == KeyChange::jump ? 2 : c.kind == KeyChange::shift ? 3 : c.key;
    c.at = std::max(c.at, last[key]);
    last[key] = c.at;
  }
}

Window RoutePlay::window(int i) const {
  Window w;
  const KeyChange& c = base.changes[i];
  const int k = stretchof[i];
  if (c.at >= length) {  // after the finish: nothing hangs on it
    w.openearly = w.openlate = true;
    return w;
  }
  int low = stretches[k].from;
  for (int j = i - 1; j >= 0; j--)
    if (samekey(base.changes[j], c)) {
      low = std::max(low, base.changes[j].at);
      break;
    }
  w.openearly = true;
  for (int d = 1; d <= windowreach && c.at - d >= low; d++) {
    Route moved = base;
    follow(moved, i, -d);
    if (!getsthrough(moved, c.at - d, k)) {
      w.openearly = false;
      break;
    }
    w.earlier = d;
  }
  w.openlate = true;
  for (int d = 1; d <= windowreach; d++) {
    Route moved = base;
    follow(moved, i, d);
    if (!getsthrough(moved, c.at, k)) {
      w.openlate = false;
      break;
    }
    w.later = d;
  }
  return w;
}
