// Plane switching: the shell's release sequence, accepted and refused
// destinations, and one shift per airborne phase.
#include "herolevel.h"

class Plane : public HeroLevel {
 protected:
  // What the shell does when the shift control is let go.
  int release() {
    const int r = w.switchplane(1);
    w.shiftx = w.shifty = 0;
    w.switchplane(0);
    return r;
  }
};

TEST_F(Plane, ShiftMovesTheHeroAgainstTheVectorTimesTheCount) {
  ground();
  w.shiftcount = 2;
  w.canshift = 1;
  w.shiftx = 10;
  w.shifty = -5;
  EXPECT_EQ(w.switchplane(1), 1);
  EXPECT_EQ(w.plane, 1);
  EXPECT_EQ(w.x, 480);
  EXPECT_EQ(w.y, 260);
  EXPECT_EQ(w.canshift, 0);
  w.shiftx = w.shifty = 0;
  EXPECT_EQ(w.switchplane(0), 1);
  EXPECT_EQ(w.plane, 0);
  EXPECT_EQ(w.x, 480);
  EXPECT_EQ(w.y, 260);
}

TEST_F(Plane, RefusedWhereTheBoxWouldOverlapAnElement) {
  ground();
  solid(new Box(0, 320, 2000, 400));                     // ceiling, bottom at 320
  solid(new Box(1000, 280, 1300, 290, false, true, false));  // ledge
  w.shiftcount = 1;
  w.canshift = 1;
  // Head 1 pixel into the ceiling.
  w.shifty = -11;
  EXPECT_EQ(release(), 0);
  EXPECT_EQ(w.x, 500);
  EXPECT_EQ(w.y, 250);
  EXPECT_EQ(w.canshift, 1);
  EXPECT_EQ(w.plane, 0);
  // Body in a ledge: solid for a shift whichever way the hero comes.
  w.shiftx = -520;
  w.shifty = -20;
  EXPECT_EQ(release(), 0);
  EXPECT_EQ(w.x, 500);
  EXPECT_EQ(w.canshift, 1);
  // Head just meeting the ceiling is free.
  w.shifty = -10;
  EXPECT_EQ(release(), 1);
  EXPECT_EQ(w.y, 260);
  EXPECT_EQ(w.canshift, 0);
  EXPECT_EQ(w.plane, 0);
}

TEST_F(Plane, FeetRestingOnATopAreFree) {
  ground();
  w.y = 300;
  w.shiftcount = 2;
  w.shifty = 25;
  EXPECT_EQ(release(), 1);
  EXPECT_EQ(w.y, 250);
}

TEST_F(Plane, SamePlaneReturns1AndChangesNothing) {
  ground();
  for (int32_t can : {0, 1}) {
    w.canshift = can;
    w.shiftcount = 3;
    w.shiftx = 30;
    EXPECT_EQ(w.switchplane(0), 1);
    EXPECT_EQ(w.canshift, can);
    EXPECT_EQ(w.x, 500);
  }
}

TEST_F(Plane, OneShiftPerAirbornePhase) {
  ground();
  w.shiftcount = 1;
  w.step();
  ASSERT_EQ(w.canshift, 1);  // standing re-arms it
  w.setjump(1);
  steps(3);
  w.shiftx = -10;
  ASSERT_EQ(release(), 1);
  EXPECT_EQ(w.x, 510);
  int k = 0;
  while (w.vy != 0 && ++k < 60) {
    w.step();
    if (w.vy != 0) {
      EXPECT_EQ(w.canshift, 0) << "airborne step " << k;
    }
  }
  EXPECT_EQ(w.vy, 0);
  EXPECT_EQ(w.canshift, 1);
}

TEST_F(Plane, HugeShiftCountDoesNotWrap) {
  w.shiftcount = INT32_MAX;
  w.shiftx = 32;
  w.shifty = -32;
  EXPECT_EQ(release(), 1);
  EXPECT_EQ(w.x, INT32_MIN);
  EXPECT_EQ(w.y, INT32_MAX);
}
