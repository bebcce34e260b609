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

namespace {

// Levels that cannot be finished, each small enough to search whole: the
// hero starts at the left, the end lies to the right past the obstacle, and
// a low ceiling keeps the jumps short.
struct Unfinishable {
  const char* name;
  const char* text;
  int32_t obstacle;  // no place reached lies at or past this x
};

const Unfinishable unfinishable[] = {
    {"gap",  // spikes wider than any jump under the ceiling
     "setStartPosition(100, 96);\nbuildGround(0, 200, 0, 96);\nbuildGround(0, 64, 96, 400);\n"
     "buildSpikes(200, 560, 0, 40);\nbuildGround(560, 700, 0, 96);\n"
     "buildGround(0, 700, 200, 400);\nsetEndPosition(580, 96);\n",
     560},
    {"pocket",  // a shift count, but the hero fits its pocket exactly: every shift is refused
     "setStartPosition(100, 96);\nbuildGround(0, 700, 0, 96);\nbuildGround(0, 100, 96, 400);\n"
     "buildGround(148, 400, 96, 400);\nbuildGround(100, 148, 156, 400);\nsetShiftCount(1);\n"
     "setEndPosition(560, 96);\n",
     148},
    {"nocard",  // the metal wall needs a shift, and there is no card to give one
     "setStartPosition(100, 96);\nbuildGround(0, 700, 0, 96);\nbuildGround(0, 64, 96, 400);\n"
     "buildNonWallJumpGround(200, 216, 96, 200);\nbuildGround(0, 700, 200, 400);\n"
     "setEndPosition(580, 96);\n",
     200},
};

}  // namespace

TEST(Solver, ProvesALevelUnfinishableOnlyWhenEveryStateIsSearched) {
  TempDir dir;
  for (const Unfinishable& u : unfinishable) {
    SCOPED_TRACE(u.name);
    const std::string level = dir.write(std::string(u.name) + ".lvl", u.text);
    SolveOptions options;
    options.shorten = false;
    const SolveResult r = solvelevel(level, options);
    EXPECT_FALSE(r.solved);
    EXPECT_TRUE(r.proven) << r.err;
    EXPECT_FALSE(r.stopped);
    EXPECT_GT(r.states, 0);
    ASSERT_FALSE(r.farthest.empty());
    for (const auto& [x, y] : r.farthest) EXPECT_LT(x + herowidth, u.obstacle + 1) << x << "," << y;
  }
  // Cut short by its budget, the same search proves nothing.
  const std::string gap = dir.write("short.lvl", unfinishable[0].text);
  SolveOptions little;
  little.budget = 1000000;
  const SolveResult r = solvelevel(gap, little);
  EXPECT_FALSE(r.solved);
  EXPECT_FALSE(r.proven);
  EXPECT_LT(r.worldsteps, little.budget + 100000) << "the budget was not kept";
}

// make solve writes the shipped replays: the default search gives them back
// byte for byte (two of the quicker levels).
TEST(SolverTool, WritesTheShippedReplaysAgain) {
  TempDir dir;
  const std::string tool = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-solve";
  const std::string levels = std::string(TWINFOLD_SOURCE_DIR) + "/data/levels/";
  for (const char* name : {"tutorial1", "tutorial5"}) {
    SCOPED_TRACE(name);
    const std::string out = dir / (std::string(name) + ".replay");
    const std::string command = tool + " " + levels + name + ".lvl -o " + out + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream made(out), shipped(levels + name + ".replay");
    std::stringstream a, b;
    a << made.rdbuf();
    b << shipped.rdbuf();
    EXPECT_EQ(a.str(), b.str());
  }
}

TEST(SolverTool, SaysProvenUnfinishableWithItsOwnStatus) {
  TempDir dir;
  const std::string tool = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-solve";
  const std::string level = dir.write("pocket.lvl", unfinishable[1].text);
  const std::string err = dir / "err.txt";
  const int status = std::system((tool + " " + level + " 2>" + err).c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 4);
  std::ifstream in(err);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line.rfind("pocket.lvl: proven unfinishable: every reachable state searched (", 0), 0)
      << line;
  EXPECT_NE(line.find("farthest points reached: (100, 96)"), std::string::npos) << line;
  const std::string walk = dir.write("walk.lvl", room(""));
  const int zero = std::system((tool + " " + walk + " --budget 0 2>/dev/null").c_str());
  EXPECT_EQ(WIFEXITED(zero) ? WEXITSTATUS(zero) : -1, 2);
  const int tiny = std::system((tool + " " + dir.write("closed.lvl", room(wall)) +
                                " --budget 100000 >/dev/null 2>" + err).c_str());
  EXPECT_EQ(WIFEXITED(tiny) ? WEXITSTATUS(tiny) : -1, 1);
  std::ifstream again(err);
  std::getline(again, line);
  EXPECT_EQ(line.rfind("closed.lvl: not found within the budget of 100000 world steps (", 0), 0)
      << line;
}
