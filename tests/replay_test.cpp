// Replays played as a player would, and world snapshots put back whole.
#include <gtest/gtest.h>

#include <sstream>

#include "herolevel.h"
#include "tempdir.h"
#include "world/replay.h"
#include "world/snapshot.h"

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
