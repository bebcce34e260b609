// Play scripts made from the shipped replays: every level of the chain, played
// by the headless shell on the script's own events, takes exactly the steps
// its replay takes on a fresh world, and the script's text is what the input
// driver reads.
#include <gtest/gtest.h>

#include <fstream>

#include "e2e.h"
#include "kit/playscript.h"
#include "kit/replay.h"
#include "world/world.h"

namespace {

std::vector<ReplayLine> shipped(const std::string& level) {
  std::vector<ReplayLine> lines;
  std::string err;
  const std::string path =
      std::string(TWINFOLD_SOURCE_DIR) + "/data/levels/" + level.substr(0, level.size() - 4) + ".replay";
  EXPECT_TRUE(readreplayfile(path, lines, err)) << err;
  return lines;
}

TEST(PlayScript, EveryLevelTakesItsReplaysSteps) {
  if (!std::ifstream(e2e::gamedata() + "/tutorial1.lvl")) GTEST_SKIP() << "no game data: run make first";
  std::vector<std::string> chain;
  std::vector<std::vector<ReplayLine>> replays;
  std::vector<int> steps;
  for (std::string name = "tutorial1.lvl"; !name.empty() && chain.size() < 100;) {
    World w((e2e::gamedata() + "/" + name).c_str(), false);
    chain.push_back(name);
    replays.push_back(shipped(name));
    const ReplayResult r = playreplay(w, replays.back());
    EXPECT_TRUE(r.finished) << name;
    steps.push_back(r.steps);
    name = w.nextlevel;
  }
  PlayScript script;
  std::string err;
  ASSERT_TRUE(makeplayscript(e2e::gamedata(), replays, "", script, err)) << err;
  ASSERT_EQ(script.levels.size(), chain.size());
  for (size_t i = 0; i < chain.size(); i++) {
    EXPECT_EQ(script.levels[i].name, chain[i]);
    EXPECT_EQ(script.levels[i].steps, steps[i]) << chain[i];
  }
  EXPECT_TRUE(script.ending);
  EXPECT_GE(script.pages, 1);  // the viewmaster toys' mid-game pages

  // The first level's start as a player gives it: New game and the four
  // introduction pages clicked, then no step until its first keys are down.
  const std::string text = playscripttext(script);
  EXPECT_NE(text.find("\n1 click 728 136\n"), std::string::npos) << text.substr(0, 200);
  EXPECT_NE(text.find("\n5 click 512 384\n6 down right\n7 clock "), std::string::npos)
      << text.substr(0, 200);
}

// Only what the game lets a player do: a replay that does not finish its
// level, or a level the replays do not reach the end of, is refused.
TEST(PlayScript, RefusesAReplayThatDoesNotFinish) {
  if (!std::ifstream(e2e::gamedata() + "/tutorial1.lvl")) GTEST_SKIP() << "no game data: run make first";
  std::vector<ReplayLine> lines = shipped("tutorial1.lvl");
  lines.resize(lines.size() / 2);
  PlayScript script;
  std::string err;
  EXPECT_FALSE(makeplayscript(e2e::gamedata(), {lines}, "", script, err));
  EXPECT_EQ(err, "tutorial1.lvl: the replay ends before the level does");
}

}  // namespace
