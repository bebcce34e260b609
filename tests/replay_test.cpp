// Replays played as a player would, and world snapshots put back whole.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "herolevel.h"
#include "tempdir.h"
#include "kit/replay.h"
#include "kit/snapshot.h"

namespace {

std::vector<ReplayLine> lines(const std::string& text) {
  std::vector<ReplayLine> out;
  std::string err;
  std::istringstream in(text);
  EXPECT_TRUE(readreplay(in, "test", out, err)) << err;
  return out;
}

class ReplayPlay : public HeroLevel {};

}  // namespace

TEST_F(ReplayPlay, MidGamePageLetsGoOfTheArrowKeys) {
  // Walking right from rest into a viewmaster toy at x 530..562: the step
  // that touches it brings up the page, and the hero stands from then on.
  ground();
  item(530, 250, 562, 282, kind_viewmaster);
  w.fade = 0;
  ReplayResult r = playreplay(w, lines("40 R\n"));
  EXPECT_EQ(r.pages, 1);
  EXPECT_EQ(w.keyright, 0);
  EXPECT_EQ(w.vx, 0) << "the hero kept walking through the page";
  const int32_t stood = w.x;
  EXPECT_LT(stood, 600);
  // A later line presses the key again.
  playreplay(w, lines("10 R\n"));
  EXPECT_GT(w.x, stood);
}

TEST_F(ReplayPlay, ShiftStartsOnlyWhereTheShellWouldAndNeverSteps) {
  ground();
  w.shiftcount = 2;
  steps(2);  // landed: canshift set
  ASSERT_EQ(w.canshift, 1);
  // Carried by 2 x (-10, 0) the other way: +20; no step runs meanwhile.
  ReplayResult r = playreplay(w, lines("SHIFT -10 0\n"));
  EXPECT_EQ(r.steps, 0);
  EXPECT_EQ(r.shifts, 1);
  EXPECT_EQ(w.x, 520);
  EXPECT_EQ(w.canshift, 0);
  EXPECT_EQ(w.shiftx, 0);
  // At once again: canshift is clear, nothing happens.
  r = playreplay(w, lines("SHIFT -10 0\n"));
  EXPECT_EQ(r.idleshifts, 1);
  EXPECT_EQ(w.x, 520);
  // Without a shift count no shift starts, whatever canshift says.
  w.shiftcount = 0;
  w.canshift = 1;
  EXPECT_FALSE(playershift(w, -10, 0));
  EXPECT_EQ(w.x, 520);
}

TEST(ReplayText, WritesWhatItReadsAndNeverHalfAFile) {
  const std::string text = "3 LRJ\nSHIFT -32 6\n2 -\n";
  std::vector<ReplayLine> read = lines(text);
  EXPECT_EQ(replaytext(read, {"made by hand"}), "# made by hand\n" + text);
  TempDir dir;
  std::string err;
  EXPECT_TRUE(writereplayfile(dir / "a.replay", read, {}, err)) << err;
  std::vector<ReplayLine> again;
  ASSERT_TRUE(readreplayfile(dir / "a.replay", again, err)) << err;
  EXPECT_EQ(replaytext(again, {}), text);
  EXPECT_FALSE(writereplayfile(dir / "missing/a.replay", read, {}, err));
  EXPECT_NE(err.find("cannot be written"), std::string::npos);
  // Line numbers count blank and comment lines.
  std::istringstream bad("# c\n\n4 R\nSHIFT 1 2\n");
  std::vector<ReplayLine> out;
  EXPECT_FALSE(readreplay(bad, "x.replay", out, err));
  EXPECT_EQ(err.rfind("x.replay:4: ", 0), 0u) << err;
}

TEST_F(ReplayPlay, SnapshotPutsTheWorldAndStepMemoryBack) {
  ground();
  item(700, 250, 732, 282, kind_shift);
  item(900, 250, 964, 314, kind_checkpoint);
  w.setkeys(0, 1);
  steps(5);
  WorldSnapshot s;
  snapshot(w, s);
  // Far enough to run, take the card and touch the flag.
  steps(120);
  ASSERT_EQ(w.items[0]->kind, kind_taken);
  ASSERT_NE(w.itemmask, 0u);
  const int32_t farx = w.x;
  restore(w, s);
  EXPECT_EQ(w.items[0]->kind, kind_shift);
  EXPECT_EQ(w.itemmask, 0u);
  EXPECT_EQ(w.shiftcount, 0);
  EXPECT_EQ(w.checkx, 500);
  // Played again from the snapshot, the same 120 steps land on the same spot.
  steps(120);
  EXPECT_EQ(w.x, farx);
}

namespace {

// Runs a program, returns its exit status and what it printed (both streams).
int runtool(const std::string& args, std::string* out) {
  TempDir dir;
  const std::string command = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-replay " + args +
                              " >" + (dir / "out") + " 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream in(dir / "out");
  std::stringstream s;
  s << in.rdbuf();
  *out = s.str();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(ReplayTool, FinishesTracesAndRefusesBadLines) {
  TempDir dir;
  const std::string level = dir.write("walk.lvl",
                                      "buildGround(0,3000,0,100);setStartPosition(100,100);\n"
                                      "setEndPosition(300,100);setShiftCount(1);\n");
  // 32 steps of fade-in before the end counts, then the 33-step end fade.
  const std::string replay = dir.write("walk.replay", "# walk\n1 R\nSHIFT -2 0\n70 R\n");
  std::string out;
  EXPECT_EQ(runtool(level + " " + replay, &out), 0) << out;
  EXPECT_NE(out.find("finished after "), std::string::npos) << out;
  // The trace: a header, then one row of ten columns a step; the first step
  // from rest moves the hero 1 right and the probe 1 down lands it again.
  EXPECT_EQ(runtool(level + " " + replay + " --trace", &out), 0) << out;
  std::istringstream rows(out);
  std::string header, first;
  std::getline(rows, header);
  std::getline(rows, first);
  EXPECT_EQ(header, "# step x y vx vy fade shiftcount canshift itemmask state");
  EXPECT_EQ(first, "1 101 100 1 0 -31 1 1 0 0");
  std::string shift;
  std::getline(rows, shift);
  EXPECT_EQ(shift, "# line 3: shift carried, hero 101,100 -> 103,100");

  const std::string shortone = dir.write("short.replay", "10 R\n");
  EXPECT_EQ(runtool(level + " " + shortone, &out), 1);
  EXPECT_NE(out.find("not finished after 10 steps: hero at "), std::string::npos) << out;
  const std::string bad = dir.write("bad.replay", "# fine\n10 R\nSHIFT 3 0\n");
  EXPECT_EQ(runtool(level + " " + bad, &out), 1);
  EXPECT_EQ(out.rfind(bad + ":3: shift vector 3 0 cannot be dragged", 0), 0u) << out;
  EXPECT_EQ(runtool(dir / "none.lvl " + replay, &out), 1);
  EXPECT_EQ(out, dir / "none.lvl: cannot be opened\n");
  EXPECT_EQ(runtool(level, &out), 2);
}
