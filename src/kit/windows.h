// Timing windows: a route as the key changes a player makes, played on the
// game's own rules from snapshots, and for each change the steps by which it
// may come earlier or later, alone, while the route still reaches its next
// checkpoint or the end.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kit/replay.h"
#include "kit/snapshot.h"

class World;

// One change of keys. Times are steps run before it happens: 0 is before the
// first step, and a shift at t comes before the keys of step t + 1 are read.
struct KeyChange {
  enum Kind { press, release, jump, shift };
  Kind kind;
  int key;     // press and release: 0 left arrow, 1 right arrow; 0 otherwise
  int at;      // steps run before it
  int dx, dy;  // a shift's vector
  int lineno;  // replay line it comes from
};

// A route: its key changes in the order a player makes them (two changes of
// the same key never trade places), and where the replay began its lines.
struct Route {
  std::vector<KeyChange> changes;
  // Steps at which the replay starts a line. After the mid-game page the
  // arrows are let go, and a player presses them again where a line starts.
  std::vector<int> linestarts;
  int steps = 0;  // steps the lines hold
};

Route routeof(const std::vector<ReplayLine>& lines);
// Replay lines that play the route from step from up to step to, with the
// keys held at from that the changes before it leave held.
std::vector<ReplayLine> routelines(const Route& r, int from, int to);
const char* changename(const KeyChange& c);  // "left press", "jump", "shift", ...

// A stretch between checkpoints: the route from `from` steps until the step
// `to` that first touches a checkpoint it has not touched before, the one in
// which the level reports finished, or one in which the route itself dies.
// A run gets through a stretch only by reaching its end without a death; a
// stretch that ends in the route's own death (a level may be finished
// through one) is got through by a death that respawns the hero where the
// route's does, and the next stretch starts from that respawn.
struct Stretch {
  int from, to;         // steps
  int checkpoint;       // index into World::items touched at `to`; -1: the finish or a death
  bool death = false;   // ends in the route's own death
  int respawnx = 0, respawny = 0;  // death: the respawn point it leaves the hero at
};

// Moves key change i by d steps and the changes after it along with it, as a
// player does who times each change from what the hero does; no change
// passes one of its own key or step 0.
void follow(Route& r, int i, int d);

// The timing window of one key change: it alone may come `earlier` steps
// sooner and `later` steps later (the changes after it following it, so
// they stay where the hero needs them, and each later run-up from a
// standstill aimed anew as getsthrough says), and the route still gets
// through its stretch. A side is open when a bound other than a failure stopped it:
// the stretch's start, the change of the same key before it, or the
// search's reach.
struct Window {
  int earlier = 0, later = 0;   // steps, both >= 0
  bool openearly = false, openlate = false;
  int steps() const { return earlier + later + 1; }  // steps at which it works
};

constexpr int windowreach = 16;    // steps searched each way (about half a second)
constexpr int stretchslack = 60;   // steps a changed route may take beyond the route's own

// The route played once on a loaded level, with a snapshot at every step
// where the route starts a line or changes keys, so a changed route is
// played from just before its first change.
class RoutePlay {
 public:
  // Plays r on w from where w stands (a fresh world for a level).
  RoutePlay(World& w, const Route& r);

  bool finished = false;          // the route finishes the level
  int length = 0;                 // steps to the finishing one
  int deaths = 0;                 // the route's own deaths, each ending a stretch
  std::vector<Stretch> stretches;
  std::vector<int> stretchof;     // per key change: its stretch
  std::vector<int> placex, placey;  // per key change: the hero's position when it happens
  // Hero positions after every step, a new polyline after each carried shift.
  std::vector<std::vector<std::pair<int, int>>> path;
  // Per key change: for an arrow pressed while the hero stands still, the
  // change that ends its run-up (the jump or the release that comes next), else
  // -1. A player aims that one at where the hero is, not at a clock.
  std::vector<int> aimed;

  // Whether changed, a copy of the route whose changes at or after step
  // `from` may differ, gets through stretch k (from >= its start). A player
  // who stands still after `from` takes each run-up from where the hero
  // stands: it waits until the hero is still, then ends the run-up where the
  // route's own run-up ended (to the nearest step), the changes after it
  // following with their own timing.
  bool getsthrough(const Route& changed, int from, int k) const;
  // The window of key change i.
  Window window(int i) const;

  const Route& route() const { return base; }

 private:
  World& world;  // borrowed; left in some played state
  Route base;
  std::vector<int> boundaries;                 // sorted steps with a snapshot
  std::vector<std::unique_ptr<WorldSnapshot>> snaps;  // per boundary
  // Plays changed from step t to step to, a line at a time, until decided.
  void playuntil(const Route& changed, int t, int to,
                 const std::function<void(const World&, const ReplayEvent&)>& watch,
                 const bool& decided) const;
  std::unique_ptr<WorldSnapshot> start;        // the world as handed in
};
