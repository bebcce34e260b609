// The game's own levels: every level of the chain from the first one loads
// cleanly, and its replay plays it from the start to the finish.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kit/levelcheck.h"
#include "kit/replay.h"
#include "world/world.h"

namespace {

const std::string leveldir = std::string(TWINFOLD_SOURCE_DIR) + "/data/levels/";

// Loads a level without pictures and returns the loader's log.
std::string loadlog(const std::string& name, World** out) {
  std::ostringstream log;
  *out = new World(nopictures);
  EXPECT_FALSE((*out)->loadfile((leveldir + name).c_str(), &log)) << name;
  return log.str();
}

// The level names in play order, from the first level to the one that names
// no next level.
std::vector<std::string> chain() {
  std::vector<std::string> names;
  std::set<std::string> seen;
  std::string name = "tutorial1.lvl";
  while (!name.empty() && seen.insert(name).second) {
    names.push_back(name);
    World* w = nullptr;
    loadlog(name, &w);
    name = w->nextlevel;
    delete w;
  }
  return names;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Plays the level's replay and returns the step at which it reported finished
// (-1 if never), counting viewmaster reports on the way; the world is handed
// back in keep for the caller to inspect and delete.
int playlevel(const std::string& name, int* viewmasters, World** keep) {
  std::vector<ReplayLine> lines;
  std::string err;
  std::string replay = leveldir + name.substr(0, name.size() - 4) + ".replay";
  EXPECT_TRUE(readreplayfile(replay, lines, err)) << err;
  World* w = nullptr;
  loadlog(name, &w);
  *viewmasters = 0;
  ReplayResult run = playreplay(*w, lines);
  *viewmasters = run.pages;
  *keep = w;
  return run.finished ? run.steps : -1;
}

// A replay written in the test itself.
struct LevelReplayText {
  std::vector<ReplayLine> lines;
  std::string err;
  bool ok;
  explicit LevelReplayText(const std::string& text) {
    std::istringstream in(text);
    ok = readreplay(in, "inline", lines, err);
  }
};

}  // namespace

TEST(ContentLevels, ChainFromTheFirstLevelEndsAtALevelWithoutNext) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  std::string name = "tutorial1.lvl";
  while (!name.empty()) {
    ASSERT_TRUE(seen.insert(name).second) << "the chain comes back to " << name;
    std::FILE* f = std::fopen((leveldir + name).c_str(), "r");
    ASSERT_NE(f, nullptr) << name << " is named as a next level but does not exist";
    std::fclose(f);
    World* w = nullptr;
    std::string log = loadlog(name, &w);
    EXPECT_FALSE(contains(log, "unknown command")) << name << ":\n" << log;
    EXPECT_TRUE(contains(log, "end location: ")) << name << " has no end";
    EXPECT_GT(w->boxes.size(), 3u) << name;
    names.push_back(name);
    name = w->nextlevel;
    delete w;
  }
  EXPECT_GE(names.size(), 20u);
  EXPECT_EQ(names.back(), "finale.lvl");
}

TEST(ContentLevels, PickupsSitWithinTheFirst32ItemsAndPicturesAreNamed) {
  for (const std::string& name : chain()) {
    World* w = nullptr;
    loadlog(name, &w);
    for (size_t i = 0; i < w->items.size(); i++) {
      int kind = w->items[i]->kind;
      if (kind == kind_shift || kind == kind_viewmaster) {
        EXPECT_LT(i, 32u) << name;
      }
    }
    std::string base = name.substr(0, name.size() - 4);
    EXPECT_EQ(std::string(w->foregroundname), base) << name;
    EXPECT_EQ(std::string(w->backgroundname), base + ".bg") << name;
    // The picture offset's checkpoint must lie where the hero never goes:
    // below the level's floor, which starts at y = 0.
    EXPECT_LE(w->imageshifty + 64, 0) << name;
    delete w;
  }
}

TEST(ContentLevels, EveryReplayFinishesItsLevel) {
  int viewmastersall = 0, toys = 0;
  for (const std::string& name : chain()) {
    World* level = nullptr;
    loadlog(name, &level);
    for (const Box* b : level->items) toys += b && b->kind == kind_viewmaster ? 1 : 0;
    delete level;
    int viewmasters = 0;
    World* w = nullptr;
    int done = playlevel(name, &viewmasters, &w);
    EXPECT_GT(done, 0) << name << " not finished; hero at " << w->x << "," << w->y;
    // The end fade takes 33 steps after the end is touched, so no replay can
    // finish sooner; a level that does was never really played.
    EXPECT_GT(done, 33) << name;
    EXPECT_EQ(w->getState(), 1) << name << " keeps reporting finished";
    viewmastersall += viewmasters;
    delete w;
  }
  // Two levels carry the viewmaster toy: one among the lessons, which the
  // shortest routes may pass by, and one in the second world, where taking
  // it is part of the route.
  EXPECT_EQ(toys, 2);
  EXPECT_GE(viewmastersall, 1);
  EXPECT_LE(viewmastersall, toys);
}

// The levels teach what they claim: the obstacles refuse the hero who does
// not use the level's own mechanic.
namespace {

// A level with the hero put at (x, y), faded in and at rest.
World* placed(const std::string& name, int x, int y) {
  World* w = nullptr;
  loadlog(name, &w);
  w->x = x;
  w->y = y;
  w->fade = 0;
  return w;
}

void hold(World* w, int left, int right, int steps) {
  w->setkeys(left, right);
  for (int i = 0; i < steps; i++) w->step();
}

}  // namespace

TEST(ContentLevels, ReplaysTouchACheckpointAtLeastEvery1000Steps) {
  // A death sends the hero back to the last checkpoint touched; on the
  // replay's route that costs at most 1000 steps (30 s) of play anywhere.
  for (const std::string& name : chain()) {
      std::vector<ReplayLine> lines;
    std::string err;
    ASSERT_TRUE(readreplayfile(leveldir + name.substr(0, name.size() - 4) + ".replay", lines, err))
        << err;
    World* w = nullptr;
    loadlog(name, &w);
    int last = 0, longest = 0;
    playreplay(*w, lines, [&](const World& v, const ReplayEvent& e) {
      if (e.kind != ReplayEvent::stepped) return;
      for (const Box* b : v.items) {
        if (b->kind != kind_checkpoint) continue;
        if (touches(v.x, v.y, *b)) last = e.steps;
      }
      longest = std::max(longest, e.steps - last);
    });
    EXPECT_LE(longest, 1000) << name;
    delete w;
  }
}

TEST(ContentLevels, ToyBoxWallNeedsTheViewmasterFold) {
  // The metal wall after the toy is 40 thick: the fold of two that the two
  // cards give is refused, the fold of three with the toy passes.
  World* w = placed("w2-07.lvl", 0, 96);
  int wall = -1;
  for (const Box* b : w->boxes)
    if (b->nowalljump && b->y1 == 96) wall = b->x1;
  ASSERT_GT(wall, 0);
  w->x = wall - herowidth;
  w->canshift = 1;
  w->shiftcount = 2;
  playershift(*w, -32, 0);
  EXPECT_EQ(w->x, wall - herowidth) << "a fold of two passed the wall";
  w->shiftcount = 3;
  playershift(*w, -32, 0);
  EXPECT_EQ(w->x, wall - herowidth + 96) << "a fold of three did not pass the wall";
  delete w;
}

TEST(ContentLevels, WideGapsNeedARunningJump) {
  // Walking up to the first gap's edge at full walking speed and jumping at
  // the last moment falls short; the hero ends in the pit, below the runway.
  World* w = placed("tutorial2.lvl", 1540, 256);
  hold(w, 0, 1, 10);  // 1+2+3+4+5 then 6 a step: x = 1585, too soon to run
  ASSERT_EQ(w->x, 1585);
  w->setjump(1);
  hold(w, 0, 1, 60);
  EXPECT_LT(w->y, 256) << "a walking jump crossed the first wide gap";
  delete w;
}

TEST(ContentLevels, MetalGivesNoGripStoneDoes) {
  // Falling at 5 a step against the metal face of the first shaft: no slide
  // (the fall is not slowed to 3) and a jump press gives no kick.
  World* w = placed("tutorial6.lvl", 550 - herowidth, 400);
  w->vy = -5;
  w->setjump(1);
  hold(w, 0, 1, 1);
  EXPECT_LT(w->vy, -3) << "the metal wall gave a slide";
  EXPECT_GE(w->vx, 0) << "the metal wall gave a kick";
  delete w;

  // The same against the stone face of the second shaft: a kick to the left.
  w = placed("tutorial6.lvl", 930 - herowidth, 400);
  w->vy = -5;
  w->setjump(1);
  hold(w, 0, 1, 1);
  EXPECT_EQ(w->vy, 9);
  EXPECT_EQ(w->vx, -5);
  delete w;
}

TEST(ContentLevels, ThornyCeilingPunishesAStandingJump) {
  // Two spots under the thorny ceiling, past the last flag at 1800: a
  // standing jump rises 81, which puts the head into the thorns at 230.
  World* w = placed("tutorial8.lvl", 2060, 96);
  w->checkx = 1800;
  w->checky = 96;
  hold(w, 0, 0, 5);  // standing: the next jump rises the full 81
  w->setjump(1);
  hold(w, 0, 0, 20);
  EXPECT_EQ(w->x, 1800) << "a standing jump under the thorns survived";
  delete w;
}

TEST(ContentLevels, FinaleMetalWallNeedsAFoldOfThree) {
  World* w = placed("finale.lvl", 2700 - herowidth, 600);
  w->canshift = 1;
  playershift(*w, -32, 0);
  EXPECT_EQ(w->x, 2652) << "a fold of two passed the metal wall";
  w->shiftcount = 3;
  playershift(*w, -32, 0);
  EXPECT_EQ(w->x, 2748) << "a fold of three did not pass the metal wall";
  delete w;
}

TEST(ContentLevels, ReplayReaderRejectsMalformedLines) {
  for (const char* bad : {"R\n", "0 R\n", "5 X\n", "5 R extra\n", "SHIFT 40 0\n", "SHIFT 1\n",
                          "SHIFT 3 0\n", "SHIFT 0 -5\n", "5x R\n"}) {
    LevelReplayText text(bad);
    EXPECT_FALSE(text.ok) << bad;
  }
  LevelReplayText good("# a comment\n\n3 LRJ  # held\nSHIFT -32 6\n2 -\n");
  ASSERT_TRUE(good.ok) << good.err;
  ASSERT_EQ(good.lines.size(), 3u);
  EXPECT_EQ(good.lines[0].steps, 3);
  EXPECT_TRUE(good.lines[0].left && good.lines[0].right && good.lines[0].jump);
  EXPECT_TRUE(good.lines[1].shift);
  EXPECT_EQ(good.lines[1].dx, -32);
  EXPECT_EQ(good.lines[1].dy, 6);
  EXPECT_FALSE(good.lines[2].left || good.lines[2].right || good.lines[2].jump);
}

TEST(ContentLevels, CheckerFindsNothingInTheGameFolder) {
  // The game folder holds the levels beside their made pictures, as played.
  const std::string first = std::string(TWINFOLD_BINARY_DIR) + "/game/tutorial1.lvl";
  if (!std::ifstream(first)) GTEST_SKIP() << "the game data is not made";
  std::vector<LevelCheck> chain = checkchain(first);
  EXPECT_EQ(chain.size(), ::chain().size());
  for (const LevelCheck& c : chain) {
    for (const std::string& p : c.problems) ADD_FAILURE() << p;
    for (const std::string& p : c.warnings) ADD_FAILURE() << p;
  }
}
