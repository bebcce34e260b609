// Solver: best-first searches over held keys and shifts, stepping the game's
// own World and putting its state back from compact snapshots; then a polish
// that shortens the route found. Every bound but the safety stop counts world
// steps, never time, so a level and its options give the same route on any
// machine under any load.
#include "kit/solver.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <map>
#include <queue>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

#include "kit/hashmix.h"
#include "kit/quietload.h"
#include "kit/reach.h"
#include "kit/snapshot.h"
#include "kit/solverguide.h"
#include "world/world.h"

namespace {

using Clock = std::chrono::steady_clock;

// Moves tried from every search state: hold no key, left or right, with or
// without a jump press, for each of these step counts (one run, read off at
// each count). Shifts come on top wherever one can start.
constexpr int holds[] = {1, 4, 12};
constexpr int shiftgrid = 8;        // shift vectors tried: multiples of this
constexpr int shiftstried = 4;      // of those that bring the end closer, the best few
constexpr int finishsteps = 40;     // the fade needs 32 steps after the end is touched
constexpr size_t maxnodes = 6000000;  // per search, under 1 GB of states
constexpr int32_t unknowncost = 1000000;  // estimate for a place the guide has no route from
constexpr long long firstslice = 2000000;  // world steps in each search's first turn
constexpr long long searchalone = 10000000;  // world steps before a search of everything joins in
constexpr long long leastshortening = 100000000;  // world steps for shorter routes, at least
constexpr long long mostplaces = 16000000;  // places the look at a level's reach covers, at most
constexpr long long quickproof = 2000000;   // world steps for a search of everything after the look

enum Keys : uint8_t { keyleft = 1, keyright = 2, keyjump = 4 };

// What a search state puts back: the hero's part of the world's state,
// whole, and the snapshot's lists. The rest of WorldState is at rest between
// moves (no shift held, the camera untouched, the keys and the jump set by
// each move, the report read off the step) and comes from the root: these
// are shiftx, shifty, camx, camy, plane, state, keyleft, keyright and jump. A
// field added to WorldState stops this until it is counted here as at rest
// too, or moved into HeroState, which the search keeps and compares whole.
static_assert(sizeof(WorldState) == sizeof(HeroState) + 9 * sizeof(int32_t),
              "a new WorldState field: at rest between moves, or HeroState's");
struct State : HeroState {
  int32_t kinds, late;  // interned item kinds and late pickups
};

// The hero's state as far as it decides what can still happen: all of it
// but the fields named here, each with why it cannot change a move. Compared
// and hashed as bytes, so a field added to HeroState counts at once.
// endsalike: a route search also takes two states whose end fades have gone
// differently far for one. It tries the finish from each as it reaches it,
// so all it may lose is a route that dies after touching the end; a proof
// must not lose even that, so the proof search tells them apart.
static_assert(std::has_unique_object_representations_v<HeroState>,
              "HeroState is compared as bytes: it must have no padding");
HeroState inplay(const HeroState& s, bool endsalike) {
  HeroState c = s;
  // The animation only picks the frame drawn and when a footstep sounds.
  c.animstart = c.animlength = c.frame = c.facing = c.frametimer = 0;
  // Counts the sounds asked for; no rule reads it.
  c.soundsasked = 0;
  // Every negative rundelay acts alike: the step only asks whether it is below 0.
  c.stepmemory.rundelay = std::max(c.stepmemory.rundelay, -1);
  if (endsalike && c.fade > 0) c.fade = 1;
  return c;
}

// The move that led to a state from its parent.
struct Move {
  uint8_t keys;   // Keys bits
  bool shift;     // a shift line instead of steps
  bool paged;     // the last step brought up the page: the keys were let go
  int16_t steps;  // steps held
  int8_t dx, dy;  // shift vector
};

struct Node {
  State s;
  int32_t parent;  // -1 for the root
  int32_t g;       // steps from the root
  Move move;
};

struct Open {
  int64_t f;
  int32_t h;
  int32_t node;
  bool operator<(const Open& o) const {  // for a max-heap: the smallest f on top
    if (f != o.f) return f > o.f;
    return h > o.h;
  }
};

// Where a state stands, roughly: a few pixels of place, the speed, the run
// to come and what it carries. Search states that share it are much alike.
// It only orders a route search (which states wait), never makes two states
// one, so it leaves fields out freely.
uint64_t regionkey(const State& s) {
  uint64_t h = 1;
  const int32_t v[] = {s.x >> 4, s.y >> 4, s.vx / 2, s.vy > 0 ? 1 : s.vy < 0 ? -1 : 0,
                       s.canshift, s.shiftcount, static_cast<int32_t>(s.itemmask),
                       s.stepmemory.running ? 1 : 0, std::max(s.stepmemory.rundelay, -1) >> 3,
                       s.checkx, s.checky};
  for (int32_t x : v) h = hashmix(h, static_cast<uint32_t>(x));
  return h;
}

// Two states that play alike: the same hero in play and the same lists.
bool same(const State& a, const State& b, bool endsalike) {
  const HeroState x = inplay(a, endsalike), y = inplay(b, endsalike);
  return std::memcmp(&x, &y, sizeof x) == 0 && a.kinds == b.kinds && a.late == b.late;
}

uint64_t statekey(const State& s, bool endsalike) {
  const HeroState c = inplay(s, endsalike);
  uint32_t words[sizeof c / sizeof(uint32_t)];
  static_assert(sizeof c % sizeof(uint32_t) == 0);
  std::memcpy(words, &c, sizeof c);
  uint64_t h = 0;
  for (uint32_t x : words) h = hashmix(h, x);
  h = hashmix(h, static_cast<uint32_t>(s.kinds));
  return hashmix(h, static_cast<uint32_t>(s.late));
}

// Interned int vectors (item kinds, late pickups): few distinct ones occur.
class Tables {
 public:
  int32_t intern(const std::vector<int32_t>& v, int32_t hint) {
    if (hint >= 0 && tables[hint] == v) return hint;
    auto it = ids.find(v);
    if (it != ids.end()) return it->second;
    tables.push_back(v);
    ids.emplace(v, static_cast<int32_t>(tables.size() - 1));
    return static_cast<int32_t>(tables.size() - 1);
  }
  const std::vector<int32_t>& get(int32_t id) const { return tables[id]; }

 private:
  std::vector<std::vector<int32_t>> tables;
  std::map<std::vector<int32_t>, int32_t> ids;
};

// World steps and the wall-clock safety stop: one for the whole solve, and
// a share of it for each phase, charged back with what the phase spent.
struct Budget {
  long long granted;           // world steps this budget was given
  long long left;              // of those, not yet taken
  Clock::time_point deadline;  // the safety stop
  bool stopped = false;        // the safety stop fired
  // Up to steps of what is left, for one phase.
  Budget share(long long steps) const {
    const long long n = std::min(left, steps);
    return Budget{n, n, deadline};
  }
  // More steps for a phase that goes on.
  void grant(long long steps) {
    granted += steps;
    left += steps;
  }
  void charge(const Budget& phase) {
    left -= phase.granted - phase.left;
    stopped = stopped || phase.stopped;
  }
};

// What both kinds of search share: the states reached, each kept once with
// the fewest steps to it, best first by steps and the guide's estimate; the
// world stepped from them; the route read back from a finishing state.
class Search {
 public:
  // endsalike: states whose end fades have gone differently far are one (see
  // inplay). alikes: states of one region expanded before the rest are
  // deferred; 0 defers none.
  Search(World& w, const SolverGuide& guide, bool endsalike, int32_t alikes)
      : w(w), guide(guide), alikes(alikes),
        seen(64, NodeHash{&nodes, endsalike}, NodeSame{&nodes, endsalike}) {
    snapshot(w, root);
    scratch = root;
  }
  virtual ~Search() = default;

  enum Outcome { solved, spent, stopped, full, exhausted };

  // A best-first pass: f = 10 * steps + weight * estimate; solutions of bound
  // steps or more are not wanted. begin starts it over, advance carries it
  // on until a solution (lines and steps set), until it has stepped the
  // world limit times since begin, until the deadline, or to the end.
  void begin(double weight, int bound);
  Outcome advance(long long limit, Clock::time_point deadline, std::vector<ReplayLine>* lines,
                  int* steps);
  long long expanded = 0;  // states expanded since begin
  long long stepped = 0;   // world steps taken since begin (and shifts tried, in a proof)
  Outcome last = spent;    // what advance last ended with, as the race keeps it
  size_t states() const { return seen.size(); }
  // Running out of states proves the level cannot be finished.
  virtual bool proves() const { return false; }

 protected:
  // The state set compares whole states; its elements are node indices,
  // each the node that reached its state in the fewest steps.
  struct NodeHash {
    const std::vector<Node>* nodes;
    bool endsalike;
    size_t operator()(int32_t i) const { return statekey((*nodes)[i].s, endsalike); }
  };
  struct NodeSame {
    const std::vector<Node>* nodes;
    bool endsalike;
    bool operator()(int32_t a, int32_t b) const {
      return same((*nodes)[a].s, (*nodes)[b].s, endsalike);
    }
  };
  World& w;
  const SolverGuide& guide;
  int32_t alikes;
  WorldSnapshot root, scratch, saved;
  Tables kinds, late;
  std::vector<Node> nodes;
  std::unordered_set<int32_t, NodeHash, NodeSame> seen;
  std::priority_queue<Open> open;
  // Plateaus: states much alike are expanded once each; the rest wait
  // in deferred until everything else has been tried.
  std::priority_queue<Open> deferred;
  std::unordered_map<uint64_t, int32_t> alike;  // region key -> expansions
  double weight = 2;
  int bound = 0;

  // Every part of a snapshot is named in put and take: a part added to
  // WorldSnapshot does not compile here until the search keeps it too.
  void put(const State& s) {
    auto& [world, lastbox, itemkinds, latepickups, happened] = scratch;
    world = root.world;
    static_cast<HeroState&>(world) = s;
    itemkinds = kinds.get(s.kinds);
    latepickups = late.get(s.late);
    // Not kept: every rule sets lastbox before it reads it, and every step
    // its report.
    lastbox = -1;
    happened = StepReport{};
    restore(w, scratch);
  }

  State take(const State* parent) {
    snapshot(w, scratch);
    const auto& [world, lastbox, itemkinds, latepickups, happened] = scratch;
    (void)lastbox;
    (void)happened;
    State s;
    static_cast<HeroState&>(s) = world;
    s.kinds = kinds.intern(itemkinds, parent ? parent->kinds : -1);
    s.late = late.intern(latepickups, parent ? parent->late : -1);
    return s;
  }

  // The one loop that steps the world for a search: holds keys (a jump
  // pressed before the first step) for up to steps steps, handing each
  // step's number from 1 and its report to each, until each says stop.
  template <class Each>
  void hold(uint8_t keys, int steps, Each each) {
    w.setkeys(keys & keyleft ? 1 : 0, keys & keyright ? 1 : 0);
    w.setjump(keys & keyjump ? 1 : 0);
    for (int i = 1; i <= steps; i++) {
      const StepReport r = w.step();
      stepped++;
      if (!each(i, r)) return;
    }
  }

  int32_t estimate() const {
    const int32_t h = guide.estimate(w);
    return h >= SolverGuide::unknown ? unknowncost : h;
  }

  // Told of every state as it is added, with the guide's estimate there.
  virtual void added(const State&, int32_t) {}

  // Adds the world as it stands as a child of parent; false when the state
  // was already reached in as few steps.
  bool add(int32_t parent, int32_t g, const Move& m) {
    nodes.push_back(Node{take(parent >= 0 ? &nodes[parent].s : nullptr), parent, g, m});
    const int32_t id = static_cast<int32_t>(nodes.size() - 1);
    const auto it = seen.find(id);
    if (it != seen.end()) {
      if (nodes[*it].g <= g) {
        nodes.pop_back();
        return false;
      }
      seen.erase(it);
    }
    seen.insert(id);
    const int32_t h = estimate();
    added(nodes[id].s, h);
    open.push(Open{static_cast<int64_t>(10) * g + static_cast<int64_t>(weight * h), h, id});
    return true;
  }

  // From a state whose end has been touched, stands until the level reports
  // finished; the steps that took, or 0 when it never does.
  int finish() {
    snapshot(w, saved);
    int done = 0;
    hold(0, finishsteps, [&](int i, const StepReport& r) {
      if (r.state == state_finished) done = i;
      return done == 0 && !r.died;
    });
    restore(w, saved);
    return done;
  }

  // Held keys, with and without a jump press, from node id: each line held
  // for up to the last of counts steps, a state added after each count (and
  // after a death when deaths). A finish found sets found and tail.
  void presses(int32_t id, std::initializer_list<int> counts, bool deaths, int32_t* found,
               int* tail);
  virtual void expand(int32_t id, int32_t* found, int* tail) = 0;

 private:
  void lines(int32_t id, int tail, std::vector<ReplayLine>* out) const;
};

// A search for a route: a player's moves held for a few step counts, and
// the few shifts that bring the end closest by the guide.
class RouteSearch final : public Search {
 public:
  // groundshifts: shifts are tried on the ground too, not only in the air.
  RouteSearch(World& w, const SolverGuide& guide, bool groundshifts, int32_t alikes)
      : Search(w, guide, true, alikes), groundshifts(groundshifts) {}

 private:
  bool groundshifts;
  void expand(int32_t id, int32_t* found, int* tail) override;
};

// A search of everything: every move a player has, one step at a time, every
// shift vector and the respawn after a death, so that running out of states
// proves the level cannot be finished.
class ProofSearch final : public Search {
 public:
  ProofSearch(World& w, const SolverGuide& guide) : Search(w, guide, false, 0) {
    for (const Box* b : w.items) {
      if (b && b->kind == kind_end) {
        endx = b->x1;
        endy = b->y1;
      }
    }
  }
  bool proves() const override { return true; }
  // Where the hero came closest to the end by the guide (then by distance),
  // best first.
  std::vector<std::pair<int32_t, int32_t>> farthest() const { return nearest.places(); }

 private:
  NearestPlaces nearest;
  int32_t endx = 0, endy = 0;
  void added(const State& s, int32_t h) override;
  void expand(int32_t id, int32_t* found, int* tail) override;
};

void ProofSearch::added(const State& s, int32_t h) {
  if (nodes.size() == 1) nearest.clear();  // the root: a pass begins
  const int64_t dx = s.x - endx, dy = s.y - endy;
  nearest.offer(h, dx * dx + dy * dy, s.x, s.y);
}

void Search::presses(int32_t id, std::initializer_list<int> counts, bool deaths, int32_t* found,
                     int* tail) {
  const Node n = nodes[id];
  for (uint8_t keys : {uint8_t{keyright}, uint8_t{keyleft}, uint8_t{0}}) {
    for (bool jump : {false, true}) {
      put(n.s);
      const int* next = counts.begin();
      const uint8_t pressed = static_cast<uint8_t>(keys | (jump ? keyjump : 0));
      hold(pressed, *(counts.end() - 1), [&](int i, const StepReport& r) {
        const int32_t g = n.g + i;
        const Move m{pressed, false, r.state == state_viewmaster, static_cast<int16_t>(i), 0, 0};
        if (r.died) {
          // The hero starts again at the respawn point: a place of its own.
          if (deaths && g < bound) add(id, g, m);
          return false;
        }
        if (g >= bound) return false;
        if (r.state == state_finished) {
          add(id, g, m);
          *found = static_cast<int32_t>(nodes.size() - 1);
          *tail = 0;
          return false;
        }
        if (w.fade >= 1) {
          const int t = finish();
          if (t > 0 && g + t < bound && add(id, g, m)) {
            *found = static_cast<int32_t>(nodes.size() - 1);
            *tail = t;
            return false;
          }
        }
        if (r.state == state_viewmaster) {
          // The page lets go of the keys: the rest of a line would stand.
          add(id, g, m);
          return false;
        }
        if (next != counts.end() && i == *next) {
          add(id, g, m);
          next++;
        }
        return true;
      });
      if (*found >= 0) return;
    }
  }
}

// Held for 1, 4 and 12 steps, a death a dead end; then the few shift
// vectors that bring the end closest by the guide, of those that bring it
// closer at all.
void RouteSearch::expand(int32_t id, int32_t* found, int* tail) {
  const Node n = nodes[id];
  const int32_t h0 = estimate();  // the world stands at n when called
  presses(id, {holds[0], holds[1], holds[2]}, false, found, tail);
  if (*found >= 0) return;
  put(n.s);
  if (!shiftcanstart(w) || (!groundshifts && n.s.vy == 0)) return;
  struct Try {
    int32_t h;
    int dx, dy;
  };
  std::vector<Try> tries;
  for (int dx = -shiftlimit; dx <= shiftlimit; dx += shiftgrid) {
    for (int dy = -shiftlimit; dy <= shiftlimit; dy += shiftgrid) {
      if (dx == 0 && dy == 0) continue;
      put(n.s);
      if (!playershift(w, dx, dy)) continue;
      const int32_t h = estimate();
      if (h < h0) tries.push_back(Try{h, dx, dy});
    }
  }
  std::sort(tries.begin(), tries.end(), [](const Try& a, const Try& b) { return a.h < b.h; });
  if (tries.size() > static_cast<size_t>(shiftstried)) tries.resize(shiftstried);
  for (const Try& t : tries) {
    put(n.s);
    playershift(w, t.dx, t.dy);
    add(id, n.g, Move{0, true, false, 0, static_cast<int8_t>(t.dx), static_cast<int8_t>(t.dy)});
  }
}

// One step at a time, deaths kept; then every vector a player can drag,
// refused ones included.
void ProofSearch::expand(int32_t id, int32_t* found, int* tail) {
  const Node n = nodes[id];
  presses(id, {1}, true, found, tail);
  if (*found >= 0) return;
  put(n.s);
  if (!shiftcanstart(w)) return;
  for (int dx = -shiftlimit; dx <= shiftlimit; dx += 2) {
    for (int dy = -shiftlimit; dy <= shiftlimit; dy += 2) {
      if (dx == 0 && dy == 0) continue;
      put(n.s);
      playershift(w, dx, dy);
      stepped++;  // a shift tried costs about a step: the budget bounds these too
      add(id, n.g, Move{0, true, false, 0, static_cast<int8_t>(dx), static_cast<int8_t>(dy)});
    }
  }
}

void Search::lines(int32_t id, int tail, std::vector<ReplayLine>* out) const {
  std::vector<Move> moves;
  for (int32_t i = id; i >= 0 && nodes[i].parent >= 0; i = nodes[i].parent)
    moves.push_back(nodes[i].move);
  std::reverse(moves.begin(), moves.end());
  out->clear();
  bool letgo = false;  // the last line ended at the page
  for (const Move& m : moves) {
    ReplayLine r{m.steps, (m.keys & keyleft) != 0, (m.keys & keyright) != 0,
                 (m.keys & keyjump) != 0, m.shift, m.dx, m.dy, 0};
    // Held keys go on from one line into the next without a press between.
    ReplayLine* last = out->empty() ? nullptr : &out->back();
    if (last && !letgo && !m.shift && !last->shift && !r.jump && last->left == r.left &&
        last->right == r.right && last->steps + r.steps <= replaymaxsteps) {
      last->steps += r.steps;
    } else {
      out->push_back(r);
    }
    letgo = m.paged;
  }
  if (tail > 0) out->push_back(ReplayLine{tail, false, false, false, false, 0, 0, 0});
}

void Search::begin(double weightused, int boundused) {
  weight = weightused;
  bound = boundused;
  nodes.clear();
  seen.clear();
  open = {};
  deferred = {};
  alike.clear();
  expanded = 0;
  stepped = 0;
  last = spent;
  restore(w, root);
  nodes.push_back(Node{take(nullptr), -1, 0, Move{0, false, false, 0, 0, 0}});
  seen.insert(0);
  const int32_t h = estimate();
  added(nodes[0].s, h);
  open.push(Open{0, h, 0});
}

Search::Outcome Search::advance(long long limit, Clock::time_point deadline,
                                std::vector<ReplayLine>* out, int* steps) {
  long long count = 0;
  while (!open.empty() || !deferred.empty()) {
    if (stepped >= limit) return spent;
    if ((count++ & 63) == 0 && Clock::now() > deadline) return stopped;
    if (nodes.size() > maxnodes) return full;
    if (open.empty()) {
      open.push(deferred.top());
      deferred.pop();
      alike.clear();
    }
    const Open top = open.top();
    open.pop();
    if (*seen.find(top.node) != top.node) continue;  // reached in fewer steps since
    const Node& n = nodes[top.node];
    if (alikes > 0 && ++alike[regionkey(n.s)] > alikes) {
      deferred.push(top);
      continue;
    }
    put(n.s);
    expanded++;
    int32_t found = -1;
    int tail = 0;
    expand(top.node, &found, &tail);
    if (found >= 0) {
      lines(found, tail, out);
      *steps = nodes[found].g + tail;
      return solved;
    }
  }
  return exhausted;
}

// Adds what the searches did since they began to the result's counts.
void tally(const std::vector<Search*>& searches, SolveResult* result) {
  for (const Search* s : searches) {
    result->expanded += s->expanded;
    result->worldsteps += s->stepped;
  }
}

// Runs the searches that are not done in turn, each for a growing number of
// world steps, until one finds a solution, a proof search runs dry (nothing
// can finish the level), all are done, the allowance is spent or the safety
// stop fires. Done searches say full when any ran out of memory.
Search::Outcome race(const std::vector<Search*>& searches, Budget* allow,
                     std::vector<ReplayLine>* lines, int* steps) {
  auto done = [](const Search* s) { return s->last == Search::full || s->last == Search::exhausted; };
  for (long long slice = firstslice; allow->left > 0; slice += slice / 2) {
    bool any = false;
    for (Search* s : searches) {
      if (done(s)) continue;
      if (allow->left <= 0) break;
      any = true;
      const long long before = s->stepped;
      const Search::Outcome o = s->last =
          s->advance(before + std::min(slice, allow->left), allow->deadline, lines, steps);
      allow->left -= s->stepped - before;
      if (o == Search::solved) return o;
      if (o == Search::stopped) {
        allow->stopped = true;
        return o;
      }
      if (o == Search::exhausted && s->proves()) return o;
    }
    if (!any) {
      for (const Search* s : searches)
        if (s->last == Search::full) return Search::full;
      return Search::exhausted;
    }
  }
  return Search::spent;
}

// Cuts lines to end at the step that finishes after total steps.
void fit(std::vector<ReplayLine>& lines, int total) {
  int before = 0;
  for (size_t i = 0; i < lines.size(); i++) {
    if (lines[i].shift) continue;
    if (before + lines[i].steps >= total) {
      lines[i].steps = total - before;
      lines.resize(i + 1);
      return;
    }
    before += lines[i].steps;
  }
}

// Holds the last line on long enough for the fade, plays the lines from the
// fresh state and cuts them at the finish; the steps to it, or -1 when the
// level is not finished or a shift line comes where no shift can start (a
// player's control would do nothing there).
int finishes(World& w, const WorldSnapshot& fresh, std::vector<ReplayLine>& lines) {
  if (lines.empty() || lines.back().shift) return -1;
  lines.back().steps += finishsteps;
  restore(w, fresh);
  const ReplayResult r = playreplay(w, lines);
  if (!r.finished || r.idleshifts > 0) return -1;
  fit(lines, r.steps);
  return r.steps;
}

// The last polish: drops lines, or halves, quarters... of their steps,
// wherever the level still finishes sooner without them, until nothing
// helps or until passes. Every change is played from the fresh state. False
// when until came first.
bool trim(World& w, const WorldSnapshot& fresh, Clock::time_point until,
          std::vector<ReplayLine>* lines, int* steps) {
  bool better = true;
  while (better) {
    better = false;
    for (size_t i = 0; i < lines->size(); i++) {
      if (Clock::now() > until) return false;
      // What is tried on the line: dropping it, holding it half, a quarter...
      // as long, pressing no jump at its start, and moving its end.
      std::vector<std::vector<ReplayLine>> tries;
      const int held = (*lines)[i].steps;
      tries.push_back(*lines);
      tries.back().erase(tries.back().begin() + static_cast<std::ptrdiff_t>(i));
      for (int cut = held / 2; cut > 0; cut = cut > 1 ? cut / 2 : 0) {
        tries.push_back(*lines);
        tries.back()[i].steps -= cut;
      }
      if ((*lines)[i].jump) {
        tries.push_back(*lines);
        tries.back()[i].jump = false;
      }
      // The change of keys into the next line a little sooner or later.
      if (i + 1 < lines->size() && !(*lines)[i].shift && !(*lines)[i + 1].shift) {
        const int after = (*lines)[i + 1].steps;
        for (int move = std::max(held, after) / 2; move > 0; move /= 2) {
          for (int sign : {-1, 1}) {
            const int a = held + sign * move, b = after - sign * move;
            if (a < 1 || b < 1 || a > replaymaxsteps || b > replaymaxsteps) continue;
            tries.push_back(*lines);
            tries.back()[i].steps = a;
            tries.back()[i + 1].steps = b;
          }
        }
      }
      for (std::vector<ReplayLine>& tried : tries) {
        const int s = finishes(w, fresh, tried);
        if (s > 0 && s < *steps) {
          *lines = tried;
          *steps = s;
          better = true;
          break;
        }
      }
    }
  }
  // Neighbours left holding the same keys become one line where that plays
  // the same.
  for (size_t i = 1; i < lines->size(); i++) {
    const ReplayLine &a = (*lines)[i - 1], &b = (*lines)[i];
    if (a.shift || b.shift || b.jump || a.left != b.left || a.right != b.right ||
        a.steps + b.steps > replaymaxsteps)
      continue;
    std::vector<ReplayLine> tried = *lines;
    tried[i - 1].steps += b.steps;
    tried.erase(tried.begin() + static_cast<std::ptrdiff_t>(i));
    if (finishes(w, fresh, tried) == *steps) {
      *lines = tried;
      i--;
    }
  }
  return true;
}

}  // namespace

SolveResult solve(World& w, const SolveOptions& options) {
  SolveResult result;
  const Clock::time_point start = Clock::now();
  auto finishresult = [&](const char* err) {
    result.err = err ? err : "";
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
  };
  bool ends = false;
  for (const Box* b : w.items) ends = ends || (b && b->kind == kind_end);
  if (!ends) {
    result.proven = true;
    return finishresult("the level has no end");
  }
  Budget allow{options.budget, options.budget,
               start + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(std::max(0.0, options.seconds)))};
  WorldSnapshot fresh;
  snapshot(w, fresh);
  const SolverGuide guide(w, true), airguide(w, false);
  restore(w, fresh);
  std::vector<ReplayLine> lines;
  int steps = 0;
  ProofSearch everything(w, guide);
  auto provenbysearch = [&](const std::vector<Search*>& ran) {
    tally(ran, &result);
    result.proven = true;
    result.states = static_cast<long long>(everything.states());
    result.farthest = everything.farthest();
    return finishresult("every state reachable from the start searched without finishing");
  };
  // 0. Look: the places the hero could ever stand, speed left out. When
  // none touches the end no search is needed, however large the room; when
  // one does, the searches go on as if it had never looked. A search of
  // everything that runs dry at once says more (the farthest points by the
  // guide), so it has a short turn first.
  const Reach look = reach(w, mostplaces);
  restore(w, fresh);
  if (look.decided && !look.touchesend) {
    everything.begin(options.weight, INT32_MAX);
    Budget quick = allow.share(quickproof);
    const Search::Outcome o = race({&everything}, &quick, &lines, &steps);
    allow.charge(quick);
    if (everything.last == Search::exhausted) return provenbysearch({&everything});
    if (o != Search::solved) {
      tally({&everything}, &result);
      result.proven = result.outofreach = true;
      result.states = look.places;
      result.farthest = look.nearest;
      return finishresult("no place the hero can reach touches the end");
    }
    restore(w, fresh);
  }
  // Two searches take turns: one shifts wherever it can, the other only in
  // the air, so it walks (and builds up a run) where the first would hop
  // along the ground.
  RouteSearch everywhere(w, guide, true, 4), airborne(w, airguide, false, 4);
  std::vector<Search*> searches = {&everywhere, &airborne};
  for (Search* s : searches) s->begin(options.weight, INT32_MAX);
  // 1. Find: they race alone at first: on a level that can be finished they
  // find a route long before a search of everything would.
  Budget alone = allow.share(searchalone);
  Search::Outcome outcome = race(searches, &alone, &lines, &steps);
  allow.charge(alone);
  // 2. Prove: they leave moves out, so only a search of everything a player
  // can do tells whether the level can be finished at all; it joins them,
  // from the start as they had it, for the rest of the budget.
  restore(w, fresh);
  if (outcome != Search::solved && outcome != Search::stopped) {
    everything.begin(options.weight, INT32_MAX);
    searches.push_back(&everything);
    outcome = race(searches, &allow, &lines, &steps);
    result.states = static_cast<long long>(everything.states());
    if (everything.last == Search::exhausted) return provenbysearch(searches);
  }
  tally(searches, &result);
  if (outcome != Search::solved) {
    result.stopped = allow.stopped;
    return finishresult(outcome == Search::full ? "no solution within the search's memory bound"
                                                : "no solution within the budget");
  }
  result.solved = true;
  result.lines = lines;
  result.steps = steps;

  // 3. Shorten: both again at lower weights under a falling bound, for half
  // as many world steps again as the first took (at least leastshortening),
  // within the whole budget.
  if (options.shorten) {
    // Two more that defer a region's states sooner: they find other routes.
    restore(w, fresh);
    RouteSearch everywhere1(w, guide, true, 1), airborne1(w, airguide, false, 1);
    searches = {&everywhere, &airborne, &everywhere1, &airborne1};
    // The first weight has half the world steps, the others a quarter
    // each, and what one leaves goes to the next.
    const long long granted = allow.share(std::max(leastshortening, result.worldsteps / 2)).left;
    const double weights[] = {options.weight * 0.75, options.weight * 0.5, options.weight * 0.35};
    Budget shorter = allow.share(0);
    for (size_t k = 0; k < std::size(weights) && !shorter.stopped; k++) {
      shorter.grant(k == 0 ? granted / 2 : granted / 4);
      for (;;) {
        for (Search* s : searches) s->begin(weights[k], result.steps);
        const Search::Outcome o = race(searches, &shorter, &lines, &steps);
        tally(searches, &result);
        if (o != Search::solved) break;
        result.lines = lines;
        result.steps = steps;
      }
    }
    allow.charge(shorter);
    result.stopped = shorter.stopped || !trim(w, fresh, allow.deadline, &result.lines, &result.steps);
  }
  return finishresult(nullptr);
}

SolveResult solvelevel(const std::string& path, const SolveOptions& options) {
  std::string err;
  const std::unique_ptr<World> w = loadquiet(path, err);
  if (!w) {
    SolveResult unread;
    unread.err = err;
    return unread;
  }
  SolveResult result = solve(*w, options);
  if (!result.solved) return result;
  // The proof: played from a fresh world, its step memory at rest, as a
  // player would.
  const std::unique_ptr<World> check = loadquiet(path, err);
  if (!check) {
    result.solved = false;
    result.err = err;
    return result;
  }
  const ReplayResult played = playreplay(*check, result.lines);
  if (!played.finished || played.steps != result.steps || played.idleshifts > 0) {
    result.solved = false;
    result.err = "the solution found did not replay to the finish (" +
                 std::to_string(played.steps) + " steps played)";
  }
  return result;
}
