// The solver's proofs against a search that trusts nothing of it: on small
// levels made here, every state a player can reach, each keyed by the whole
// world's bytes, decides whether the level can be finished; the solver must
// find a route exactly then, and never call such a level unfinishable.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "kit/reach.h"
#include "kit/replay.h"
#include "kit/snapshot.h"
#include "kit/solver.h"
#include "tempdir.h"
#include "world/world.h"

namespace {

// The world as bytes, s set to the state they describe. Two counts that grow
// without end would make every search endless, and are read by no rule
// beyond what is kept: soundsasked (the sounds asked for) goes to 0, and
// rundelay, only ever compared with 0 once below it, stops at -1.
std::string worldbytes(const World& w, WorldSnapshot& s) {
  snapshot(w, s);
  s.world.soundsasked = 0;
  s.world.stepmemory.rundelay = std::max(s.world.stepmemory.rundelay, -1);
  std::string b(reinterpret_cast<const char*>(&s.world), sizeof s.world);
  auto add = [&b](const void* p, size_t n) { b.append(static_cast<const char*>(p), n); };
  add(&s.lastbox, sizeof s.lastbox);
  const size_t late = s.latepickups.size();
  add(&late, sizeof late);
  add(s.kinds.data(), s.kinds.size() * sizeof(int32_t));
  add(s.latepickups.data(), late * sizeof(int32_t));
  const int32_t report[] = {s.happened.died, s.happened.checkpoint, s.happened.state};
  add(report, sizeof report);
  return b;
}

// Every state reachable from w as it stands, one step or one shift at a
// time, as a player's moves go: each step with the arrows held as wanted and
// the jump pressed or not, getState polled after it as the shell does (the
// page's Resume lets go of the arrows), and every shift vector wherever a
// shift can start. True as soon as the level reports finished; false when
// every state was visited without it. states counts them; past most it
// gives up (and the test fails on the count). places gets where the hero
// stood in each.
bool finishable(World& w, size_t most, size_t* states,
                std::vector<std::pair<int32_t, int32_t>>* places) {
  std::unordered_set<std::string> seen;
  std::vector<WorldSnapshot> todo(1);
  seen.insert(worldbytes(w, todo[0]));
  places->emplace_back(w.x, w.y);
  WorldSnapshot from, next;
  auto visit = [&] {
    if (!seen.insert(worldbytes(w, next)).second) return;
    todo.push_back(next);
    places->emplace_back(w.x, w.y);
  };
  while (!todo.empty() && seen.size() <= most) {
    from = std::move(todo.back());
    todo.pop_back();
    for (int keys = 0; keys < 3; keys++) {
      for (int jump = 0; jump < 2; jump++) {
        restore(w, from);
        w.setkeys(keys == 1, keys == 2);
        w.setjump(jump);
        w.step();
        const int state = w.getState();
        if (state == state_finished) {
          *states = seen.size();
          return true;
        }
        if (state == state_viewmaster) w.setkeys(0, 0);
        visit();
      }
    }
    restore(w, from);
    if (!shiftcanstart(w)) continue;
    for (int dx = -shiftlimit; dx <= shiftlimit; dx += 2) {
      for (int dy = -shiftlimit; dy <= shiftlimit; dy += 2) {
        restore(w, from);
        if (playershift(w, dx, dy)) visit();
      }
    }
  }
  *states = seen.size();
  return false;
}

const char shaft[] =
    "buildGround(0, 224, 0, 96);\nbuildNonWallJumpGround(0, 64, 96, 400);\n"
    "buildNonWallJumpGround(112, 224, 158, 400);\nbuildNonWallJumpGround(160, 224, 96, 158);\n"
    "buildGround(0, 224, 400, 464);\nsetStartPosition(64, 96);\naddCheckPoint(40, 200);\n"
    "buildLedge(64, 112, 195, 200);\nsetEndPosition(64, 240);\n";

struct Level {
  const char* name;
  std::string text;
  bool finishable;  // by the rules, worked out by hand
};

const Level levels[] = {
    // A room 62 pixels high, so no jump rises, with a metal wall. A shift of
    // 2 x 32 carries the hero from flush against its right face, where the
    // hero starts, to the end on its left; the count of 1 needs the
    // viewmaster card at the far right first, so the hero comes back to the
    // wall with it taken.
    {"card",
     "buildGround(0, 272, 0, 96);\nbuildNonWallJumpGround(0, 64, 96, 158);\n"
     "buildNonWallJumpGround(208, 272, 96, 158);\nbuildGround(0, 272, 158, 222);\n"
     "setStartPosition(136, 96);\nbuildNonWallJumpGround(120, 136, 96, 158);\n"
     "setShiftCount(1);\naddViewMasterPickup(214, 120);\nsetEndPosition(70, 96);\n",
     true},
    // A shaft the hero just fits, a low passage to its right with spikes,
    // and the end above a one-way ledge higher than a jump from the floor
    // reaches. A checkpoint in the air keeps where the hero last touched it
    // in a jump; dying on the spikes while standing puts the hero back there
    // at rest, so it may jump again from the air, through the ledge and onto
    // it. Without the spikes it cannot be finished.
    {"respawn", std::string(shaft) + "buildSpikes(140, 160, 96, 100);\n", true},
    {"nospikes", shaft, false},
    // A corridor shut all round, its ceiling just too low for the hero to
    // walk up a step under it: the step up puts the head inside the
    // ceiling, and the next fall lifts the hero onto the ceiling's top,
    // where the end is.
    {"lift",
     "buildGround(0, 500, 0, 96);\nbuildGround(0, 64, 96, 400);\nbuildGround(436, 500, 96, 400);\n"
     "buildGround(64, 436, 160, 300);\nbuildGround(250, 436, 96, 102);\n"
     "setStartPosition(100, 96);\nsetEndPosition(300, 300);\n",
     true},
    // A pocket the hero fits exactly: every shift is refused.
    {"pocket",
     "setStartPosition(100, 96);\nbuildGround(0, 300, 0, 96);\nbuildGround(0, 100, 96, 300);\n"
     "buildGround(148, 300, 96, 300);\nbuildGround(100, 148, 156, 300);\nsetShiftCount(1);\n"
     "setEndPosition(200, 40);\n",
     false},
};

}  // namespace

TEST(SolverProof, FindsARouteExactlyWhereOneExistsAndProvesOnlyWhereNone) {
  TempDir dir;
  for (const Level& level : levels) {
    SCOPED_TRACE(level.name);
    const std::string path = dir.write(std::string(level.name) + ".lvl", level.text);
    World w(nopictures);
    ASSERT_FALSE(w.loadfile(path.c_str(), nullptr));
    size_t states = 0;
    std::vector<std::pair<int32_t, int32_t>> places;
    const bool reached = finishable(w, 600000, &states, &places);
    ASSERT_LE(states, 600000u) << "too big to search whole";
    EXPECT_EQ(reached, level.finishable) << states << " states";
    // The quick look at the level's places allows more than the game: it
    // reaches every place a state of the game stood in.
    World fresh(nopictures);
    ASSERT_FALSE(fresh.loadfile(path.c_str(), nullptr));
    const Reach look = reach(fresh, 1 << 24, true);
    ASSERT_TRUE(look.decided);
    EXPECT_GE(look.places, 1);
    for (const auto& [x, y] : places) ASSERT_TRUE(look.reached(x, y)) << x << ", " << y;
    SolveOptions options;
    options.shorten = false;
    const SolveResult r = solvelevel(path, options);
    EXPECT_EQ(r.solved, reached) << r.err;
    EXPECT_EQ(r.proven, !reached) << r.err;
  }
}

// A room as level makers build them: the end shut in a box whose walls are
// thicker than a fold of three times 32 carries the hero, the hero outside
// on a short floor with platforms to climb around it. Billions of states for
// a search of everything; a look at the places the hero can stand proves it
// with a small share of the budget. The same room with a door in the box is not proven
// by the look, so the look is what sees the walls.
TEST(SolverProof, ProvesARoomShutByThickWallsByItsPlaces) {
  const std::string room =
      "buildGround(0, 200, 0, 64);\nsetStartPosition(64, 64);\nsetShiftCount(3);\n"
      "buildGround(300, 500, 200, 240);\nbuildLedge(560, 760, 330, 336);\n"
      "buildGround(200, 400, 500, 540);\nbuildGround(500, 800, 800, 840);\n"
      "buildGround(900, 1500, 300, 428);\nbuildGround(900, 1500, 972, 1100);\n"
      "buildGround(1372, 1500, 428, 972);\nbuildGround(1100, 1300, 428, 460);\n"
      "setEndPosition(1180, 460);\nbuildGround(1500, 1600, 0, 1200);\n";
  TempDir dir;
  const std::string shut = dir.write("shut.lvl", room + "buildGround(900, 1028, 428, 972);\n");
  const SolveResult r = solvelevel(shut, SolveOptions{});
  EXPECT_TRUE(r.proven) << r.err;
  EXPECT_TRUE(r.outofreach);
  EXPECT_LT(r.worldsteps, SolveOptions{}.budget / 100);
  ASSERT_FALSE(r.farthest.empty());
  EXPECT_LT(r.farthest[0].first, 1028 - herowidth + 1) << "a place inside the box";

  const std::string door = dir.write("door.lvl", room + "buildGround(900, 1028, 560, 972);\n");
  World w(nopictures);
  ASSERT_FALSE(w.loadfile(door.c_str(), nullptr));
  const Reach look = reach(w, 1 << 24);
  EXPECT_TRUE(look.decided);
  EXPECT_TRUE(look.touchesend);
}
