// Difficulty on small levels of the test's own: a run-up and a jump over a
// bed of spikes, with variants that give the hero more or less room. The
// windows are checked against plain replays on the game's player, and more
// room never rates harder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tempdir.h"
#include "kit/difficulty.h"
#include "kit/replay.h"
#include "world/world.h"

namespace {

// A room with the start at the left, spikes from x 500 that are `spikes`
// wide, the end at x 1000; extra adds a ceiling or a checkpoint.
std::string room(int spikes, const std::string& extra) {
  return "setStartPosition(128, 96);\n"
         "buildGround(0, 1400, 0, 96);\n"
         "buildGround(0, 64, 96, 1000);\n"
         "buildGround(1336, 1400, 96, 1000);\n"
         "buildSpikes(500, " + std::to_string(500 + spikes) + ", 96, 110);\n" + extra +
         "setEndPosition(1000, 96);\n";
}

// Right pressed after `press` steps, jump after `jump` steps, right held on.
std::vector<ReplayLine> route(int press, int jump) {
  std::vector<ReplayLine> lines;
  if (press > 0) lines.push_back({press, false, false, false, false, 0, 0, 0});
  lines.push_back({jump - press, false, true, false, false, 0, 0, 0});
  lines.push_back({400, false, true, true, false, 0, 0, 0});
  return lines;
}

// Plays the lines on a fresh world: whether they finish the level, and the
// steps at which the hero dies.
bool play(const std::string& level, const std::vector<ReplayLine>& lines,
          std::vector<int>* deaths) {
  World w(nopictures);
  EXPECT_FALSE(w.loadfile(level.c_str(), nullptr));
  deaths->clear();
  const ReplayResult r = playreplay(w, lines, [&](const World& now, const ReplayEvent& e) {
    if (e.kind != ReplayEvent::stepped) return;
    if (now.happened.died) deaths->push_back(e.steps);
  });
  return r.finished;
}

// Whether the lines finish the level without a death.
bool clears(const std::string& level, const std::vector<ReplayLine>& lines) {
  std::vector<int> deaths;
  return play(level, lines, &deaths) && deaths.empty();
}

// The jumps from a standing start that clear the level: their steps.
std::vector<int> jumpsthatclear(const std::string& level) {
  std::vector<int> out;
  for (int j = 1; j < 60; j++)
    if (clears(level, route(0, j))) out.push_back(j);
  return out;
}

// The widest bed of spikes (in steps of 4 pixels) that some jump clears,
// and the jumps that clear it.
int widestspikes(const TempDir& dir, std::vector<int>* jumps) {
  int widest = 0;
  for (int w = 60; w < 300; w += 4) {
    std::vector<int> j = jumpsthatclear(dir.write("probe.lvl", room(w, "")));
    if (j.empty()) break;
    widest = w, *jumps = j;
  }
  return widest;
}

DifficultyReport measure(const std::string& level, int jump, int runs = 100, uint64_t seed = 7) {
  DifficultyOptions options;
  options.runs = runs;
  options.seed = seed;
  DifficultyReport r = measuredifficulty(level, route(0, jump), options);
  EXPECT_TRUE(r.ok) << level << ": " << r.err;
  return r;
}

int tightest(const DifficultyReport& r) {
  return r.tightest >= 0 ? r.changes[r.tightest].window.steps() : 0;
}

}  // namespace

// Each key change of the measured route, moved alone within its window,
// still clears the level; one step beyond a side that a failure bounds, it
// does not.
TEST(Difficulty, WindowsAreExact) {
  TempDir dir;
  const std::string level = dir.write("jump.lvl", room(100, ""));
  const std::vector<int> jumps = jumpsthatclear(level);
  ASSERT_GE(jumps.size(), 3u);
  const DifficultyReport r = measure(level, jumps[jumps.size() / 2]);
  ASSERT_EQ(r.changes.size(), 2u);
  const ChangeFigures& press = r.changes[0];
  const ChangeFigures& jump = r.changes[1];
  ASSERT_EQ(press.change.kind, KeyChange::press);
  ASSERT_EQ(jump.change.kind, KeyChange::jump);
  EXPECT_TRUE(clears(level, route(press.change.at, jump.change.at)));
  // The jump has room both ways, and a failure on both sides.
  EXPECT_GT(jump.window.steps(), 2);
  EXPECT_FALSE(jump.window.openearly);
  EXPECT_FALSE(jump.window.openlate);
  for (int d = -jump.window.earlier; d <= jump.window.later; d++)
    EXPECT_TRUE(clears(level, route(press.change.at, jump.change.at + d))) << d;
  EXPECT_FALSE(clears(level, route(press.change.at, jump.change.at - jump.window.earlier - 1)));
  EXPECT_FALSE(clears(level, route(press.change.at, jump.change.at + jump.window.later + 1)));
  // The run-up's press, with the jump following it, clears at both ends of
  // its window.
  EXPECT_TRUE(clears(level, route(press.change.at + press.window.later,
                                  jump.change.at + press.window.later)));
  EXPECT_TRUE(clears(level, route(press.change.at - press.window.earlier,
                                  jump.change.at - press.window.earlier)));
  // The par route measured aims the jump at the middle of its window.
  EXPECT_LE(jump.window.earlier - jump.window.later, 1);
  EXPECT_LE(jump.window.later - jump.window.earlier, 1);
}

// Fewer spikes to clear, a higher ceiling over them, or a checkpoint before
// them: never harder. A jump with a one-step window rates harder than the
// same jump with room.
TEST(Difficulty, MoreRoomNeverRatesHarder) {
  TempDir dir;
  auto withceiling = [&](int y) {
    return "buildGround(400, 700, " + std::to_string(y) + ", 1000);\n";
  };
  // Spikes widened up to the widest that a jump still clears; the route is
  // one that clears the widest, which clears the narrower ones too.
  std::vector<int> jumps;
  const int widest = widestspikes(dir, &jumps);
  ASSERT_GT(widest, 100);
  const int jump = jumps[jumps.size() / 2];
  const int widths[] = {60, widest - 40, widest - 20, widest};
  std::vector<DifficultyReport> byspikes;
  for (int w : widths)
    byspikes.push_back(measure(dir.write("s" + std::to_string(w) + ".lvl", room(w, "")), jump));
  EXPECT_LE(tightest(byspikes.back()), 2);
  EXPECT_GT(tightest(byspikes.front()), 2);
  EXPECT_GT(byspikes.back().deathsmilli, byspikes.front().deathsmilli);
  for (size_t i = 1; i < byspikes.size(); i++) {
    EXPECT_LE(tightest(byspikes[i]), tightest(byspikes[i - 1])) << widths[i];
    EXPECT_GE(byspikes[i].deathsmilli, byspikes[i - 1].deathsmilli) << widths[i];
  }
  // A ceiling over the spikes raised from the lowest the jump gets under.
  int lowest = 0;
  for (int h = 300; h > 150; h -= 4) {
    if (!clears(dir.write("probe.lvl", room(100, withceiling(h))), route(0, jump))) break;
    lowest = h;
  }
  ASSERT_GT(lowest, 0);
  const int heights[] = {lowest, lowest + 8, lowest + 20, 400};
  std::vector<DifficultyReport> byceiling;
  for (int h : heights)
    byceiling.push_back(
        measure(dir.write("c" + std::to_string(h) + ".lvl", room(100, withceiling(h))), jump));
  for (size_t i = 1; i < byceiling.size(); i++) {
    EXPECT_GE(tightest(byceiling[i]), tightest(byceiling[i - 1])) << heights[i];
    EXPECT_LE(byceiling[i].deathsmilli, byceiling[i - 1].deathsmilli) << heights[i];
  }
  // A checkpoint on the run-up splits the level in two stretches.
  const DifficultyReport plain = measure(dir.write("plain.lvl", room(widest, "")), jump);
  const DifficultyReport saved =
      measure(dir.write("saved.lvl", room(widest, "addCheckPoint(200, 96);\n")), jump);
  EXPECT_EQ(plain.stretches.size(), 1u);
  ASSERT_EQ(saved.stretches.size(), 2u);
  EXPECT_LE(saved.deathsmilli, plain.deathsmilli);
  // A route that walks into the spikes, then runs again from the respawn
  // until it finishes: each of its deaths ends a stretch, and the last
  // stretch starts at the last.
  const std::string level = dir.write("plain.lvl", room(widest, ""));
  std::vector<int> deaths;
  play(level, {{400, false, true, false, false, 0, 0, 0}}, &deaths);
  std::vector<ReplayLine> dying = route(0, jump);
  dying.insert(dying.begin(), {deaths.empty() ? 1 : deaths[0], false, true, false, false, 0, 0, 0});
  const bool finished = play(level, dying, &deaths);
  DifficultyOptions asgiven;
  asgiven.runs = 20;
  asgiven.widen = false;
  const DifficultyReport r = measuredifficulty(level, dying, asgiven);
  EXPECT_EQ(r.ok ? r.stretches.back().stretch.from : -1,
            finished && !deaths.empty() ? deaths.back() : -2);
}

// The same seed gives the same figures, whatever else ran before; another
// seed draws other runs.
TEST(Difficulty, SameSeedSameFigures) {
  TempDir dir;
  std::vector<int> jumps;
  const std::string level = dir.write("tight.lvl", room(widestspikes(dir, &jumps), ""));
  ASSERT_FALSE(jumps.empty());
  const int jump = jumps[0];
  DifficultyOptions options;
  options.runs = 300;
  options.seed = 42;
  const std::string first = difficultyjson("tight.lvl", measuredifficulty(level, route(0, jump), options), options);
  measure(level, jump, 50, 9);  // other work in between
  const std::string again = difficultyjson("tight.lvl", measuredifficulty(level, route(0, jump), options), options);
  EXPECT_EQ(first, again);
  options.seed = 43;
  const DifficultyReport other = measuredifficulty(level, route(0, jump), options);
  options.seed = 42;
  const DifficultyReport same = measuredifficulty(level, route(0, jump), options);
  ASSERT_EQ(other.stretches.size(), same.stretches.size());
  EXPECT_NE(other.stretches[0].passed, same.stretches[0].passed);
  EXPECT_NE(first.find("\"expected_deaths\": "), std::string::npos) << first;
  EXPECT_NE(first.find("\"tightest_window\": "), std::string::npos) << first;
  EXPECT_NE(first.find("\"pass_share\": "), std::string::npos) << first;
}

// Over the widest bed of spikes that a jump clears runs a plank that a
// standing jump reaches (81 pixels) and a running one does not (65): the
// wide route stops under it, climbs it and walks off its far end, and a
// person has more room that way than on the par's jump over the spikes.
TEST(Difficulty, WideRouteTakesTheSaferWay) {
  TempDir dir;
  std::vector<int> jumps;
  const int widest = widestspikes(dir, &jumps);
  ASSERT_FALSE(jumps.empty());
  const std::string plank = "buildLedge(380, " + std::to_string(560 + widest) + ", 166, 174);\n";
  const std::string level = dir.write("bridge.lvl", room(widest, plank));
  ASSERT_TRUE(clears(level, route(0, jumps[0])));
  DifficultyOptions options;
  options.runs = 100;
  const DifficultyReport r = measuredifficulty(level, route(0, jumps[0]), options);
  ASSERT_TRUE(r.ok) << r.err;
  EXPECT_TRUE(r.wide);
  EXPECT_GT(tightest(r), r.partightest);
  EXPECT_LT(r.deathsmilli, r.pardeathsmilli);
  // It is a route a player can type, and it goes over the plank.
  EXPECT_TRUE(clears(level, r.route));
  bool onplank = false;
  for (const auto& line : r.path)
    for (const auto& p : line) onplank = onplank || (p.second == 174 && p.first > 560);
  EXPECT_TRUE(onplank);
}
