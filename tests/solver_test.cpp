// The solver on small levels of its own: what it finds replays to the finish
// as a player would play it, a level that needs a shift or has a mid-game
// page is solved, and one that cannot be finished is reported as such.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tempdir.h"
#include "kit/replay.h"
#include "kit/solver.h"
#include "world/world.h"

namespace {

// A room 1400 wide with the start at its left and the end at x 1000; extra
// holds the commands that make each level its own.
std::string room(const std::string& extra) {
  return "setStartPosition(128, 96);\n"
         "buildGround(0, 1400, 0, 96);\n"
         "buildGround(0, 64, 96, 1000);\n"
         "buildGround(1336, 1400, 96, 1000);\n"
         "setEndPosition(1000, 96);\n" +
         extra;
}

// The thin metal wall no jump clears: only a shift of 2 x 32 gets through.
const char wall[] = "buildNonWallJumpGround(600, 616, 96, 1000);\n";

SolveResult solvequietly(const std::string& path, double seconds) {
  SolveOptions options;
  options.seconds = seconds;
  options.shorten = false;
  return solvelevel(path, options);
}

// Plays lines on a fresh world from rest, as the game would.
ReplayResult play(const std::string& path, const std::vector<ReplayLine>& lines) {
  World w(nopictures);
  EXPECT_FALSE(w.loadfile(path.c_str(), nullptr)) << path;
  return playreplay(w, lines);
}

int shiftlines(const std::vector<ReplayLine>& lines) {
  int n = 0;
  for (const ReplayLine& r : lines) n += r.shift ? 1 : 0;
  return n;
}

}  // namespace

TEST(Solver, WalkToTheEndIsNoLongerThanHoldingRight) {
  TempDir dir;
  const std::string level = dir.write("walk.lvl", room(""));
  const SolveResult r = solvequietly(level, 20);
  ASSERT_TRUE(r.solved) << r.err;
  const ReplayResult played = play(level, r.lines);
  EXPECT_TRUE(played.finished);
  EXPECT_EQ(played.steps, r.steps);
  EXPECT_GE(r.worldsteps, r.steps);  // the search stepped the route at least once
  // Holding right from the start is one answer; the solver's is no longer.
  ReplayLine right{1000, false, true, false, false, 0, 0, 0};
  const ReplayResult held = play(level, {right});
  ASSERT_TRUE(held.finished);
  EXPECT_LE(r.steps, held.steps);
  // The end counts once the fade-in is over, and finishing takes the fade
  // out: at least 32 + 32 steps whatever the route.
  EXPECT_GE(r.steps, 64);
}

TEST(Solver, ShiftsThroughAWallThatNoJumpClears) {
  TempDir dir;
  const std::string level = dir.write("wall.lvl", room(std::string("setShiftCount(2);\n") + wall));
  const SolveResult r = solvequietly(level, 20);
  ASSERT_TRUE(r.solved) << r.err;
  EXPECT_GE(shiftlines(r.lines), 1);
  for (const ReplayLine& l : r.lines) {
    if (!l.shift) continue;
    EXPECT_EQ(l.dx % 2, 0);
    EXPECT_EQ(l.dy % 2, 0);
    EXPECT_LE(std::abs(l.dx), 32);
    EXPECT_LE(std::abs(l.dy), 32);
  }
  const ReplayResult played = play(level, r.lines);
  EXPECT_TRUE(played.finished);
  EXPECT_GE(played.shifts, 1);
  EXPECT_EQ(played.idleshifts, 0) << "a shift line where no shift could start";
}

TEST(Solver, TakesTheCardsItNeedsBeforeShifting) {
  // No shift count of its own: the two cards behind the start make the 2.
  TempDir dir;
  const std::string level = dir.write(
      "cards.lvl", room(std::string("addShiftPickup(90, 130);\naddShiftPickup(300, 200);\n"
                                    "buildGround(250, 350, 150, 170);\n") +
                        wall));
  const SolveResult r = solvequietly(level, 30);
  ASSERT_TRUE(r.solved) << r.err;
  const ReplayResult played = play(level, r.lines);
  EXPECT_TRUE(played.finished);
  EXPECT_GE(played.shifts, 1);
}

TEST(Solver, WalksOnAfterTheMidGamePage) {
  // A low passage with the toy inside: the hero cannot get past without
  // taking it, and the page lets go of the keys on the way.
  TempDir dir;
  const std::string level = dir.write(
      "page.lvl", room("buildGround(300, 500, 160, 1000);\naddViewMasterPickup(400, 126);\n"));
  const SolveResult r = solvequietly(level, 20);
  ASSERT_TRUE(r.solved) << r.err;
  const ReplayResult played = play(level, r.lines);
  EXPECT_TRUE(played.finished);
  EXPECT_EQ(played.pages, 1);
}

TEST(Solver, SaysSoWhenALevelCannotBeFinished) {
  // The wall without any shift count.
  TempDir dir;
  const std::string level = dir.write("closed.lvl", room(wall));
  const SolveResult r = solvequietly(level, 1.0);
  EXPECT_FALSE(r.solved);
  EXPECT_FALSE(r.err.empty());
  EXPECT_TRUE(r.lines.empty());
  EXPECT_LT(r.seconds, 3.0) << "the bound was not kept";
}

TEST(SolverTool, WritesAReplayThatSaysWhoMadeItAndFailsCleanly) {
  TempDir dir;
  const std::string tool = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-solve";
  const std::string level = dir.write("walk.lvl", room(""));
  const std::string out = dir / "walk.replay";
  auto run = [](const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  ASSERT_EQ(run(tool + " " + level + " -o " + out + " --seconds 1"), 0);
  std::ifstream in(out);
  std::string first;
  std::getline(in, first);
  EXPECT_NE(first.find("made by twinfold-solve"), std::string::npos) << first;
  std::vector<ReplayLine> lines;
  std::string err;
  ASSERT_TRUE(readreplayfile(out, lines, err)) << err;
  EXPECT_TRUE(play(level, lines).finished);

  EXPECT_EQ(run(tool), 2);
  EXPECT_EQ(run(tool + " " + level + " --seconds nine"), 2);
  EXPECT_EQ(run(tool + " " + (dir / "missing.lvl")), 3);
  EXPECT_EQ(run(tool + " " + level + " -o " + (dir / "no/such/folder/x.replay")), 3);
  EXPECT_EQ(run(tool + " " + dir.write("closed.lvl", room(wall)) + " --seconds 0.5"), 1);
}
