// Wide route: a best-first search over the places where the hero stands
// still, each move from one to the next played on the game's own replay
// player from snapshots; the solver finishes from the last of them when
// moves from rest do not reach the end.
#include "kit/wideroute.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>
#include <queue>
#include <unordered_map>

#include "kit/hashmix.h"
#include "kit/snapshot.h"
#include "kit/solver.h"
#include "kit/solverguide.h"
#include "world/world.h"

namespace {

// A walk from rest to full speed (6 steps), on until the run starts (55) and
// up to running speed (6 more), with a few to spare: the longest run-up.
constexpr int longestrunup = 72;
// Steps the keys are held from a jump on: released in the air, soon after
// landing, or walked on. Between these a release changes little, as the air
// rations speed changes; the search checks the steps around the one it keeps.
constexpr int holds[] = {1, 3, 6, 10, 15, 21, 28, 36, 45};
constexpr int nholds = sizeof holds / sizeof holds[0];
constexpr int longestcoast = 150;  // steps to stand still after letting go
// A climb: a jump at a wall, then a kick off each wall the hero slides down,
// `kickdelay` steps after the kick could first come, holding the arrow it
// flies towards, until it lands. Walls are near where a climb starts.
constexpr int climbrunup = 24;
constexpr int kickdelays = 6;      // delays tried: 0 to 5 steps
constexpr int longestclimb = 400;  // steps in the air at most
constexpr int shiftgrid = 8;       // shift vectors tried: multiples of this
constexpr int guideweight = 2;     // how much the guide's estimate outweighs steps taken
// A move slipped by a step or two must leave the hero standing on the same
// floor within this many pixels of where the move itself does: from there
// a player aims the next run-up anew.
constexpr int alikereach = 48;

ReplayLine keysline(int steps, int dir, bool jump) {
  return {steps, dir < 0, dir > 0, jump, false, 0, 0, 0};
}

// Plays lines on the world a piece at a time and notes what happened.
struct Player {
  World& w;  // borrowed
  long long steps = 0;
  bool died = false, finished = false;

  void play(const ReplayLine& l) {
    const ReplayResult r = playreplay(w, {l}, [&](const World& now, const ReplayEvent& e) {
      if (e.kind != ReplayEvent::stepped) return;
      steps++;
      if (now.happened.died) died = true;
    });
    if (r.finished) finished = true;
  }
  void hold(int n, int dir, bool jump) { play(keysline(n, dir, jump)); }
  // Lets go of the keys until the hero stands still (or the level is
  // finished): the steps that took, -1 after a death or when it never stood.
  int coast() {
    for (int c = 1; c <= longestcoast; c++) {
      hold(1, 0, false);
      if (died) return -1;
      if (finished) return c;
      if (w.vx == 0 && w.vy == 0 && w.fade <= 0) return c;
    }
    return -1;
  }
};

// What the hero has done: the respawn point, the pickups and the fold.
uint64_t restwhat(const World& w) {
  uint64_t h = 1;
  const int64_t v[] = {w.checkx, w.checky, w.itemmask, static_cast<int64_t>(w.latepickups.size()),
                       w.shiftcount, w.canshift};
  for (int64_t x : v) h = hashmix(h, static_cast<uint64_t>(x));
  for (const Box* b : w.items) h = hashmix(h, b ? static_cast<uint64_t>(b->kind) : 0);
  return h;
}

// Where the hero stands, exactly or to 8 pixels (coarse), and what it has
// done. Rests that share the coarse key are much alike: a search goes on
// from the one reached in the fewest steps, and each is played exactly.
uint64_t restkey(const World& w, bool coarse) {
  const int shift = coarse ? 3 : 0;
  return hashmix(hashmix(restwhat(w), static_cast<uint64_t>(w.x >> shift)),
             static_cast<uint64_t>(w.y >> shift));
}

// One move from rest: stand `rest` steps, then the keys, then let go until
// the hero stands again.
struct Move {
  enum Kind { walk, jump, shift, climb } kind;
  int dir;      // -1 left, 0 none, 1 right
  int runup;    // walk: steps the arrow is held; jump, climb: steps before the jump
  int hold;     // jump: steps its keys are held from the jump on; climb: the kick delay
  int dx, dy;   // shift vector
  int coast;    // steps from letting go to standing, or to the finish
  std::vector<ReplayLine> air;  // climb: its lines from the jump to the landing
  int steps() const {
    int n = runup + (kind == jump ? hold : 0) + coast;
    for (const ReplayLine& l : air) n += l.steps;
    return n;
  }
};

struct Edge {
  Move move;
  int slack;        // steps each timed change may slip both ways, as the search found
  bool finished;    // the move finishes the level
  int child;        // index of the rest it ends at; -1 when finished
};

struct Rest {
  WorldSnapshot snap;   // the hero standing
  int32_t estimate;     // the guide's, tenths of a step
  uint64_t key, coarse;  // restkey, exact and coarse
  bool expanded = false;
  std::vector<Edge> edges;
};

class Search {
 public:
  Search(World& world, const WideOptions& o, const SolverGuide& g)
      : w(world), options(o), guide(g), player{world} {}

  World& w;  // borrowed
  const WideOptions& options;
  const SolverGuide& guide;
  Player player;
  std::vector<std::unique_ptr<Rest>> rests;
  std::unordered_map<uint64_t, int> restof;

  // The rest the world stands in now: known or new.
  int rest() {
    const uint64_t key = restkey(w, false);
    auto it = restof.find(key);
    if (it != restof.end()) return it->second;
    std::unique_ptr<Rest> r(new Rest);
    snapshot(w, r->snap);
    r->estimate = guide.estimate(w);
    r->key = key;
    r->coarse = restkey(w, true);
    rests.push_back(std::move(r));
    return restof[key] = static_cast<int>(rests.size()) - 1;
  }

  // Plays a climb's keys from the jump to the landing and writes them into
  // m.air; false when no kick could come or the hero died.
  bool climb(Move& m);
  bool nowall = false;  // the last climb found no wall to kick off

  // Plays a move from the world standing (its rest steps already played);
  // the coast it takes, -1 when it fails.
  int play(Move& m) {
    player.died = player.finished = false;
    switch (m.kind) {
      case Move::walk:
        player.hold(m.runup, m.dir, false);
        break;
      case Move::jump:
        if (m.runup) player.hold(m.runup, m.dir, false);
        if (!player.died && !player.finished) player.hold(m.hold, m.dir, true);
        break;
      case Move::shift:
        player.play({0, false, false, false, true, m.dx, m.dy, 0});
        break;
      case Move::climb:
        if (m.runup) player.hold(m.runup, m.dir, false);
        if (!player.died && !player.finished && !climb(m)) return -1;
        break;
    }
    if (player.died) return -1;
    if (player.finished) return 0;
    return player.coast();
  }

  void expand(int index);
  long long spent() const { return player.steps; }
};

bool Search::climb(Move& m) {
  std::vector<std::pair<int, bool>> keys;  // per step: arrow, jump pressed
  int toward = m.dir, possible = 0, kicks = 0;
  keys.push_back({toward, true});
  player.hold(1, toward, true);
  WorldSnapshot probe;
  for (int t = 1; t < longestclimb && !player.died && !player.finished && w.vy != 0; t++) {
    // Whether a jump pressed now would kick: tried, and put back.
    snapshot(w, probe);
    player.hold(1, toward, true);
    const bool kick = !player.died && !player.finished && w.vy == jumpspeed;  // airborne: only a kick
    const int away = w.vx > 0 ? 1 : -1;
    restore(w, probe);
    player.died = player.finished = false;
    possible = kick ? possible + 1 : 0;
    const bool now = kick && possible > m.hold;
    keys.push_back({toward, now});
    player.hold(1, toward, now);
    if (now) {
      toward = away;
      possible = 0;
      kicks++;
    }
  }
  nowall = !kicks;
  if (player.died || !kicks) return false;
  m.air.clear();
  for (const auto& k : keys) {
    if (k.second || m.air.empty() || keysline(0, k.first, false).left != m.air.back().left ||
        keysline(0, k.first, false).right != m.air.back().right)
      m.air.push_back(keysline(0, k.first, k.second));
    m.air.back().steps++;
  }
  return true;
}

// Fills in the moves from rest index: every run-up and hold in range, each
// with the slack its timed changes have among its neighbours, and for every
// place they stand at the move with the most slack, then the fewest steps.
void Search::expand(int index) {
  rests[index]->expanded = true;
  const WorldSnapshot start = rests[index]->snap;
  restore(w, start);
  player.died = player.finished = false;
  if (options.rest) player.hold(options.rest, 0, false);
  if (player.died || player.finished) return;
  WorldSnapshot stood;
  snapshot(w, stood);

  // 1. Every move tried once: whether it stands somewhere alive (ok), where.
  struct Tried {
    Move move;
    int coast;  // -1 failed
    uint64_t key;
    bool finished;
    int x, y;        // where it stands
    uint64_t what;   // restwhat there
  };
  auto alike = [](const Tried& a, const Tried& b) {
    if (a.coast < 0 || b.coast < 0 || a.finished != b.finished) return false;
    return a.finished || (a.what == b.what && a.y == b.y && std::abs(a.x - b.x) <= alikereach);
  };
  std::vector<Tried> tried;
  // Lets go from where the world stands after m's keys.
  auto settle = [&](const Move& m) {
    const int coast = player.died ? -1 : player.finished ? 0 : player.coast();
    tried.push_back({m, coast, coast >= 0 ? restkey(w, true) : 0, player.finished, w.x, w.y,
                     restwhat(w)});
    tried.back().move.coast = std::max(coast, 0);
  };
  auto attempt = [&](Move m) {
    restore(w, stood);
    const int coast = play(m);
    tried.push_back({m, coast, coast >= 0 ? restkey(w, true) : 0, player.finished, w.x, w.y,
                     restwhat(w)});
    tried.back().move.coast = std::max(coast, 0);
  };
  // Run-ups and holds grow a step at a time from snapshots, so each try
  // costs only its own letting go.
  WorldSnapshot runup, held;
  for (int dir = -1; dir <= 1; dir += 2) {
    restore(w, stood);
    player.died = player.finished = false;
    snapshot(w, runup);
    bool runupfailed = false;
    for (int a = 0; a <= longestrunup; a++) {
      if (a) {
        restore(w, runup);
        player.died = player.finished = false;
        player.hold(1, dir, false);
        const bool ended = runupfailed || player.died || player.finished;
        snapshot(w, runup);
        if (!runupfailed) settle({Move::walk, dir, a, 0, 0, 0, 0, {}});
        else tried.push_back({{Move::walk, dir, a, 0, 0, 0, 0, {}}, -1, 0, false, 0, 0, 0});
        runupfailed = ended;
      }
      restore(w, runup);
      bool heldfailed = runupfailed;
      int at = 0;
      for (int b : holds) {
        if (!heldfailed) {
          player.died = player.finished = false;
          player.hold(b - at, dir, at == 0);
          at = b;
          heldfailed = player.died;
        }
        if (heldfailed) {
          tried.push_back({{Move::jump, dir, a, b, 0, 0, 0, {}}, -1, 0, false, 0, 0, 0});
          continue;
        }
        snapshot(w, held);
        settle({Move::jump, dir, a, b, 0, 0, 0, {}});
        heldfailed = player.finished;  // no holding on past the finish
        restore(w, held);
      }
    }
  }
  attempt({Move::jump, 0, 0, 1, 0, 0, 0, {}});
  const size_t climbs = tried.size();
  for (int dir = -1; dir <= 1; dir += 2)
    for (int a = 0; a <= climbrunup; a++) {
      const size_t first = tried.size();
      for (int q = 0; q < kickdelays; q++) {
        if (q && nowall) {
          tried.push_back(tried[first]);  // no wall to kick off: none with a later kick
          tried.back().move.hold = q;
          continue;
        }
        nowall = false;
        attempt({Move::climb, dir, a, q, 0, 0, 0, {}});
      }
    }
  restore(w, stood);
  if (w.canshift && w.shiftcount)
    for (int dy = -32; dy <= 32; dy += shiftgrid)
      for (int dx = -32; dx <= 32; dx += shiftgrid)
        if (dx || dy) attempt({Move::shift, 0, 0, 0, dx, dy, 0, {}});

  // 2. Slack: how far the run-up (with the jump and release following it)
  // may slip both ways with every neighbour still standing alive.
  const int walks = longestrunup, jumps = (longestrunup + 1) * nholds;
  // tried holds, per direction, the jumps from a standing start, then per
  // run-up the walk and its jumps.
  auto okat = [&](const Tried& like, int dir, bool jump, int a, int h) {
    if (a < (jump ? 0 : 1) || a > longestrunup) return false;
    const size_t base = dir < 0 ? 0 : walks + jumps;
    const size_t at = a == 0 ? h : nholds + (a - 1) * (1 + nholds) + (jump ? 1 + h : 0);
    return alike(tried[base + at], like);
  };
  auto climbat = [&](int dir, int a, int q) -> const Tried* {
    if (a < 0 || a > climbrunup || q < 0 || q >= kickdelays) return nullptr;
    return &tried[climbs + ((dir < 0 ? 0 : 1) * (climbrunup + 1) + a) * kickdelays + q];
  };
  auto slackof = [&](size_t i) {
    const Move& m = tried[i].move;
    if (m.kind == Move::shift || m.dir == 0) return options.widest;  // timed by nothing
    if (m.kind == Move::climb) {
      int s = 0;
      for (; s < options.widest; s++) {
        const Tried* near[] = {climbat(m.dir, m.runup - s - 1, m.hold),
                               climbat(m.dir, m.runup + s + 1, m.hold),
                               climbat(m.dir, m.runup, m.hold - s - 1),
                               climbat(m.dir, m.runup, m.hold + s + 1)};
        bool ok = true;
        for (const Tried* t : near) ok = ok && t && alike(*t, tried[i]);
        if (!ok) break;
      }
      return s;
    }
    const bool jump = m.kind == Move::jump;
    int h = 0;
    while (jump && holds[h] != m.hold) h++;
    const int low = jump ? 0 : 1;
    int s = 0;
    while (s < options.widest) {
      const int early = std::max(m.runup - s - 1, low), late = m.runup + s + 1;
      if (!okat(tried[i], m.dir, jump, early, h) || !okat(tried[i], m.dir, jump, late, h)) break;
      s++;
    }
    return s;
  };

  // 3. For each place stood at, the best move there.
  std::unordered_map<uint64_t, size_t> best;  // key -> index into edges
  std::vector<Edge>& edges = rests[index]->edges;
  for (size_t i = 0; i < tried.size(); i++) {
    if (tried[i].coast < 0) continue;
    const Edge e{tried[i].move, slackof(i), tried[i].finished, -1};
    const uint64_t key = e.finished ? 0 : tried[i].key;
    if (!e.finished && key == rests[index]->coarse) continue;  // back where it stood
    auto it = best.find(key);
    if (it == best.end()) {
      best[key] = edges.size();
      edges.push_back(e);
      continue;
    }
    Edge& old = edges[it->second];
    if (e.slack > old.slack || (e.slack == old.slack && e.move.steps() < old.move.steps())) old = e;
  }

  // 4. The places themselves, played again to keep them, and a jump's
  // release slipped both ways: it too must leave the hero standing alike.
  for (Edge& e : edges) {
    restore(w, stood);
    const int coast = play(e.move);
    const Tried self{e.move, coast, 0, player.finished, w.x, w.y, restwhat(w)};
    if (!e.finished) e.child = rest();
    if (e.move.kind != Move::jump || e.move.dir == 0) continue;
    for (int s = 1; s <= e.slack; s++) {
      bool ok = true;
      for (int d = -s; d <= s && ok; d += 2 * s) {
        Move slipped = e.move;
        slipped.hold += d;
        if (slipped.hold < 1) continue;  // no release before the jump: the jump's own
        restore(w, stood);
        const int c = play(slipped);
        ok = alike({slipped, c, 0, player.finished, w.x, w.y, restwhat(w)}, self);
      }
      if (!ok) {
        e.slack = s - 1;
        break;
      }
    }
  }
}

std::vector<ReplayLine> movelines(const Move& m, int rest) {
  if (m.kind == Move::climb) {
    std::vector<ReplayLine> out;
    if (rest) out.push_back(keysline(rest, 0, false));
    if (m.runup) out.push_back(keysline(m.runup, m.dir, false));
    out.insert(out.end(), m.air.begin(), m.air.end());
    if (m.coast) out.push_back(keysline(m.coast, 0, false));
    return out;
  }
  std::vector<ReplayLine> out;
  if (rest) out.push_back(keysline(rest, 0, false));
  switch (m.kind) {
    case Move::walk:
      out.push_back(keysline(m.runup, m.dir, false));
      break;
    case Move::jump:
      if (m.runup) out.push_back(keysline(m.runup, m.dir, false));
      out.push_back(keysline(m.hold, m.dir, true));
      break;
    case Move::shift:
      out.push_back({0, false, false, false, true, m.dx, m.dy, 0});
      break;
    case Move::climb:  // above
      break;
  }
  if (m.coast) out.push_back(keysline(m.coast, 0, false));
  return out;
}

struct Node {
  int rest;
  int parent;     // into nodes; -1 at the start
  Move move;      // the move from the parent
  int g;          // steps from the start
  bool goal;
};

struct Open {
  int64_t f;
  int g;
  int node;
  bool operator<(const Open& o) const {  // a max-heap with the smallest f, then g, on top
    if (f != o.f) return f > o.f;
    if (g != o.g) return g > o.g;
    return node > o.node;
  }
};

}  // namespace

WideResult wideroute(World& w, const WideOptions& options) {
  WideResult result;
  SolverGuide guide(w, true);
  Search search(w, options, guide);

  // The start: the hero let stand until still.
  const int first = search.player.coast();
  if (first < 0 || search.player.finished) return result;
  std::vector<ReplayLine> opening = {keysline(first, 0, false)};
  const int start = search.rest();

  // Searches with each slack asked in turn, the most first; each may spend
  // half of what is left, the last all of it. Moves found stay known.
  int closest = start;  // the rest nearest the end by the guide, for the solver's finish
  std::vector<Node> path;
  for (int slack = options.widest; slack >= 1 && path.empty(); slack--) {
    const long long limit =
        search.spent() + (slack > 1 ? (options.budget - search.spent()) / 2
                                    : options.budget - search.spent());
    std::vector<Node> nodes = {{start, -1, {}, 0, false}};
    std::priority_queue<Open> open;
    open.push({0, 0, 0});
    std::unordered_map<uint64_t, int> reached;  // coarse key -> fewest steps
    reached[search.rests[start]->coarse] = 0;
    while (!open.empty() && search.spent() < limit) {
      const Open o = open.top();
      open.pop();
      const Node n = nodes[o.node];
      if (n.goal) {
        for (int i = o.node; i >= 0; i = nodes[i].parent) path.push_back(nodes[i]);
        std::reverse(path.begin(), path.end());
        result.slack = slack;
        break;
      }
      if (reached[search.rests[n.rest]->coarse] < n.g) continue;
      Rest& r = *search.rests[n.rest];
      if (r.estimate < search.rests[closest]->estimate ||
          (r.estimate == search.rests[closest]->estimate && n.rest < closest))
        closest = n.rest;
      if (!r.expanded) search.expand(n.rest);
      for (const Edge& e : search.rests[n.rest]->edges) {
        if (e.slack < slack) continue;
        const int g = n.g + options.rest + e.move.steps();
        if (!e.finished) {
          const uint64_t key = search.rests[e.child]->coarse;
          auto it = reached.find(key);
          if (it != reached.end() && it->second <= g) continue;
          reached[key] = g;
        }
        const int32_t h = e.finished ? 0 : search.rests[e.child]->estimate;
        nodes.push_back({e.finished ? -1 : e.child, o.node, e.move, g, e.finished});
        const int64_t hsteps = h >= SolverGuide::unknown ? 1000000 : h / 10;
        open.push({g + guideweight * hsteps, g, static_cast<int>(nodes.size()) - 1});
      }
    }
  }

  std::vector<ReplayLine>& lines = result.lines;
  lines = opening;
  if (!path.empty()) {
    for (size_t i = 1; i < path.size(); i++) {
      const std::vector<ReplayLine> m = movelines(path[i].move, options.rest);
      lines.insert(lines.end(), m.begin(), m.end());
    }
    result.found = result.whole = true;
    result.moves = static_cast<int>(path.size()) - 1;
    result.worldsteps = search.spent();
    return result;
  }

  // No way through from rest to rest: the moves to the rest nearest the end,
  // found again breadth first over the known moves of any slack, and the
  // solver's route on from there.
  std::vector<int> parentof(search.rests.size(), -2);  // -2 not reached, -1 the start
  std::vector<Move> moveto(search.rests.size());
  std::vector<int> queue = {start};
  parentof[start] = -1;
  for (size_t q = 0; q < queue.size(); q++)
    for (const Edge& e : search.rests[queue[q]]->edges)
      if (!e.finished && parentof[e.child] == -2) {
        parentof[e.child] = queue[q];
        moveto[e.child] = e.move;
        queue.push_back(e.child);
      }
  if (parentof[closest] == -2) return result;
  std::vector<Move> moves;
  for (int i = closest; parentof[i] != -1; i = parentof[i]) moves.push_back(moveto[i]);
  std::reverse(moves.begin(), moves.end());
  for (const Move& m : moves) {
    const std::vector<ReplayLine> l = movelines(m, options.rest);
    lines.insert(lines.end(), l.begin(), l.end());
  }
  for (const ReplayLine& l : lines) result.solverfrom += l.steps;
  restore(w, search.rests[closest]->snap);
  SolveOptions solveoptions;
  solveoptions.budget = options.finishbudget;
  solveoptions.shorten = false;
  const SolveResult solved = solve(w, solveoptions);
  result.worldsteps = search.spent() + solved.worldsteps;
  if (!solved.solved) return result;
  lines.insert(lines.end(), solved.lines.begin(), solved.lines.end());
  result.found = true;
  result.moves = static_cast<int>(moves.size());
  return result;
}
