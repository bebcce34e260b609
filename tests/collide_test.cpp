// Sweeps against rectangles, slopes and ledges; item touches, pickups,
// spikes, checkpoints and the respawn bookkeeping.
#include "herolevel.h"

class Collide : public HeroLevel {};

TEST_F(Collide, EdgesThatOnlyMeetDoNotOverlap) {
  Box* b = solid(new Box(148, 0, 248, 100));
  EXPECT_EQ(w.collidey(100, 200, 0, true), 0);
  EXPECT_EQ(w.lastbox, nullptr);
  EXPECT_EQ(w.collidey(101, 200, 0, true), 100);
  EXPECT_EQ(w.lastbox, b);
  EXPECT_EQ(w.collidey(247, 200, 0, true), 100);
  EXPECT_EQ(w.collidey(248, 200, 0, true), 0);
}

TEST_F(Collide, FloorSlopes) {
  solid(new Box(0, 0, 100, 50, true));  // high at the left
  EXPECT_EQ(w.collidey(20, 200, -100, true), 40);
  EXPECT_EQ(w.collidey(7, 200, -100, true), 47);  // 350 / 100 truncates to 3
  EXPECT_EQ(w.collidey(0, 200, -100, true), 50);
  EXPECT_EQ(w.collidey(-30, 200, -100, true), 50);
  SetUp();
  solid(new Box(100, 0, 0, 50, true));  // high at the right
  EXPECT_EQ(w.collidey(2, 200, -100, true), 25);
  EXPECT_EQ(w.collidey(52, 200, -100, true), 50);
  EXPECT_EQ(w.collidey(99, 200, -100, true), 50);
}

TEST_F(Collide, CeilingSlopes) {
  solid(new Box(0, 100, 100, 50, true));  // underside rising to the right
  EXPECT_EQ(w.collidey(20, -100, 100, true), 0);   // underside 60 at the left edge
  EXPECT_EQ(w.collidey(0, -100, 100, true), -10);  // 50
  SetUp();
  solid(new Box(100, 100, 0, 50, true));  // underside rising to the left
  EXPECT_EQ(w.collidey(2, -100, 100, true), 15);  // 75 at the right edge
  EXPECT_EQ(w.collidey(60, -100, 100, true), -10);
}

TEST_F(Collide, LedgeOneWayOrSolid) {
  Box* ledge = solid(new Box(0, 95, 200, 100, false, true, false));
  EXPECT_EQ(w.collidey(50, 120, 90, true), 100);
  EXPECT_EQ(w.lastbox, ledge);
  EXPECT_EQ(w.collidey(50, 20, 50, true), 50);
  EXPECT_EQ(w.lastbox, nullptr);
  EXPECT_EQ(w.collidey(50, 20, 50, false), 35);
  // Feet starting below the top fall through it one-way, stop on it solid.
  EXPECT_EQ(w.collidey(50, 99, 80, true), 80);
  EXPECT_EQ(w.collidey(50, 99, 80, false), 100);
}

TEST_F(Collide, SweepStartingInsideARectangleEndsOnItsTop) {
  solid(new Box(0, 0, 200, 100));
  EXPECT_EQ(w.collidey(50, 50, 40, true), 100);
  // Upward, the head under a bottom it already reaches pushes the hero down.
  solid(new Box(0, 150, 200, 300));
  EXPECT_EQ(w.collidey(50, 100, 120, true), 90);
}

TEST_F(Collide, EqualStopsGoToTheFirstElement) {
  Box* a = solid(new Box(0, 0, 100, 100));
  Box* b = solid(new Box(50, 50, 200, 100));
  EXPECT_EQ(w.collidey(60, 150, 0, true), 100);
  EXPECT_EQ(w.lastbox, a);
  Box* c = solid(new Box(80, 0, 90, 101));
  EXPECT_EQ(w.collidey(60, 150, 0, true), 101);
  EXPECT_EQ(w.lastbox, c);
  // At x = 95, c is out of reach and a and b tie: the first listed wins.
  w.boxes = {b, a, c};
  EXPECT_EQ(w.collidey(95, 150, 0, true), 100);
  EXPECT_EQ(w.lastbox, b);
  w.boxes.push_back(nullptr);  // empty entries are skipped
  EXPECT_EQ(w.collidey(500, 150, 0, true), 0);
}

TEST_F(Collide, ItemTouchEdges) {
  item(148, 100, 248, 200, kind_taken);
  EXPECT_EQ(w.collideitems(100, 120, false), 1);  // right edge meets left edge
  EXPECT_EQ(w.collideitems(99, 120, false), 0);
  EXPECT_EQ(w.collideitems(247, 120, false), 1);
  EXPECT_EQ(w.collideitems(248, 120, false), 0);  // left edge meets right edge
  EXPECT_EQ(w.collideitems(200, 40, false), 1);   // head meets bottom
  EXPECT_EQ(w.collideitems(200, 39, false), 0);
  EXPECT_EQ(w.collideitems(200, 200, false), 0);  // feet meet top
  EXPECT_EQ(w.collideitems(200, 199, false), 1);
}

TEST_F(Collide, SpikesBeforeAPickupStillTakeIt) {
  item(400, 200, 600, 260, kind_spikes);
  Box* pickup = item(480, 260, 520, 300, kind_shift);
  w.checkx = 100;
  w.checky = 400;
  w.fade = 0;
  EXPECT_EQ(w.collideitems(w.x, w.y, true), 2);
  EXPECT_EQ(w.x, 100);
  EXPECT_EQ(w.y, 400);
  EXPECT_EQ(w.fade, -32);
  EXPECT_EQ(pickup->kind, kind_taken);
  EXPECT_EQ(w.shiftcount, 1);
  EXPECT_EQ(w.itemmask, 2u);
  EXPECT_EQ(w.checkitems, 0u);
}

TEST_F(Collide, CheckpointBeforeSpikesRespawnsOnThemEveryStep) {
  solid(new Box(0, 0, 2000, 240));
  item(450, 200, 514, 264, kind_checkpoint);
  item(400, 200, 600, 245, kind_spikes);
  w.x = 480;
  w.y = 240;
  for (int k = 0; k < 5; k++) {
    w.step();
    EXPECT_EQ(w.checkx, 480);
    EXPECT_EQ(w.checky, 240);
    EXPECT_EQ(w.x, 480);
    EXPECT_EQ(w.y, 240);
    EXPECT_EQ(w.fade, -31);
  }
}

TEST_F(Collide, DeathGivesBackPickupsSinceTheCheckpoint) {
  Box* first = item(0, 0, 32, 32, kind_shift);
  Box* checkpoint = item(100, 0, 164, 64, kind_checkpoint);
  Box* second = item(200, 0, 232, 32, kind_shift);
  Box* spikes = item(300, 0, 400, 10, kind_spikes);
  (void)checkpoint;
  (void)spikes;
  w.shiftcount = 3;
  w.x = 0;
  w.y = 0;
  w.collidecallback(0, 0, 0);
  EXPECT_EQ(w.shiftcount, 4);
  w.collidecallback(3, 0, 0);  // dies before any checkpoint
  EXPECT_EQ(first->kind, kind_shift);
  EXPECT_EQ(w.shiftcount, 3);
  EXPECT_EQ(w.itemmask, 0u);
  EXPECT_EQ(w.x, 500);
  EXPECT_EQ(w.y, 250);

  w.collidecallback(0, 0, 0);
  w.x = 120;
  w.y = 10;
  w.collidecallback(1, 0, 0);
  EXPECT_EQ(w.checkx, 120);
  EXPECT_EQ(w.checky, 10);
  EXPECT_EQ(w.checkitems, 1u);
  w.collidecallback(2, 0, 0);
  EXPECT_EQ(w.shiftcount, 5);
  EXPECT_EQ(w.itemmask, 5u);
  w.collidecallback(3, 0, 0);
  EXPECT_EQ(first->kind, kind_taken);
  EXPECT_EQ(second->kind, kind_shift);
  EXPECT_EQ(w.shiftcount, 4);
  EXPECT_EQ(w.itemmask, 1u);
  EXPECT_EQ(w.x, 120);
  EXPECT_EQ(w.y, 10);
  EXPECT_EQ(w.fade, -32);
}

TEST_F(Collide, ViewmasterIsReportedOnceAndGivenBackAsAShiftPickup) {
  Box* viewmaster = item(480, 240, 512, 272, kind_viewmaster);
  w.shiftcount = 1;
  const uint32_t sounds = w.soundsasked;
  EXPECT_EQ(w.collideitems(w.x, w.y, true), 1);
  EXPECT_EQ(viewmaster->kind, kind_taken);
  EXPECT_EQ(w.shiftcount, 2);
  EXPECT_EQ(w.soundsasked, sounds + 1);
  EXPECT_EQ(w.getState(), 2);
  EXPECT_EQ(w.getState(), 0);
  // Touching a taken pickup does nothing more.
  EXPECT_EQ(w.collideitems(w.x, w.y, true), 1);
  EXPECT_EQ(w.shiftcount, 2);
  EXPECT_EQ(w.soundsasked, sounds + 1);
  w.go_checkpoint();
  EXPECT_EQ(viewmaster->kind, kind_shift);
  EXPECT_EQ(w.shiftcount, 1);
}

TEST_F(Collide, EndStartsTheFadeOnlyWhilePlaying) {
  item(0, 0, 40, 40, kind_end);
  w.fade = -5;
  w.collidecallback(0, 0, 0);
  EXPECT_EQ(w.fade, -5);
  w.fade = 7;
  w.collidecallback(0, 0, 0);
  EXPECT_EQ(w.fade, 7);
  w.fade = 0;
  w.collidecallback(0, 0, 0);
  EXPECT_EQ(w.fade, 1);
  // Unknown kinds and indices out of range do nothing.
  w.items[0]->kind = 9;
  w.collidecallback(0, 0, 0);
  w.collidecallback(1, 0, 0);
  w.collidecallback(-1, 0, 0);
  EXPECT_EQ(w.fade, 1);
}

TEST_F(Collide, PickupsPast32AreGivenBackExactly) {
  // 40 items, far from the hero: 3 is spikes, 1 and 35 pickups, the rest taken.
  for (int i = 0; i < 40; i++) item(1000 + 100 * i, 0, 1032 + 100 * i, 32, kind_taken);
  w.items[1]->kind = kind_shift;
  w.items[3]->kind = kind_spikes;
  w.items[35]->kind = kind_shift;
  w.items[36]->kind = kind_checkpoint;
  w.shiftcount = 2;
  w.collidecallback(35, 0, 0);
  w.collidecallback(1, 0, 0);
  EXPECT_EQ(w.shiftcount, 4);
  EXPECT_EQ(w.itemmask, 2u);  // bit 3 (35 mod 32) stays clear
  w.collidecallback(3, 0, 0);
  EXPECT_EQ(w.items[35]->kind, kind_shift);
  EXPECT_EQ(w.items[1]->kind, kind_shift);
  EXPECT_EQ(w.items[3]->kind, kind_spikes);
  EXPECT_EQ(w.shiftcount, 2);
  EXPECT_EQ(w.itemmask, 0u);
  // Taken before a checkpoint touch, a late pickup stays taken after a death.
  w.collidecallback(35, 0, 0);
  w.collidecallback(36, 0, 0);
  w.collidecallback(1, 0, 0);
  w.collidecallback(3, 0, 0);
  EXPECT_EQ(w.items[35]->kind, kind_taken);
  EXPECT_EQ(w.items[1]->kind, kind_shift);
  EXPECT_EQ(w.shiftcount, 3);
  // A second death gives nothing more back.
  w.collidecallback(3, 0, 0);
  EXPECT_EQ(w.shiftcount, 3);
  EXPECT_EQ(w.items[35]->kind, kind_taken);
}

TEST_F(Collide, ExtremeCoordinatesDoNotWrap) {
  // A slope across the whole int32 range: (x - xmin) * h passes 2^63.
  solid(new Box(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, true));
  // At x = 2^30 the drop from the top is 3 * 2^30 (here h = w).
  EXPECT_EQ(w.collidey(1 << 30, 0, -2000000000, true), INT32_MAX - 3 * (int64_t{1} << 30));
  SetUp();
  solid(new Box(INT32_MIN, -100, 0, 0));
  EXPECT_EQ(w.collidey(INT32_MIN + 10, 100, -50, true), 0);
  EXPECT_EQ(w.collidey(INT32_MIN, 100, -50, true), 0);
  SetUp();
  solid(new Box(0, INT32_MAX - 10, 100, INT32_MAX));
  EXPECT_EQ(w.collidey(10, INT32_MAX - 200, INT32_MAX - 100, true), INT32_MAX - 100);
  EXPECT_EQ(w.collidey(10, INT32_MAX - 200, INT32_MAX - 50, true), INT32_MAX - 70);
  // Items at the edges of the range.
  item(INT32_MAX - 10, INT32_MAX - 10, INT32_MAX, INT32_MAX, kind_taken);
  EXPECT_EQ(w.collideitems(INT32_MAX - 50, INT32_MAX - 60, false), 1);
  EXPECT_EQ(w.collideitems(INT32_MAX - 59, INT32_MAX - 60, false), 0);
}

TEST_F(Collide, TouchSpanHoldsThePositionsTheItemPassTouches) {
  // The item of ItemTouchEdges: hero x from 100 to 247, y from 40 to 199.
  const HeroSpan s = touchspan(Box(148, 100, 248, 200, int32_t{kind_taken}));
  EXPECT_EQ(s.x0, 100);
  EXPECT_EQ(s.x1, 247);
  EXPECT_EQ(s.y0, 40);
  EXPECT_EQ(s.y1, 199);
  EXPECT_TRUE(touches(100, 199, Box(148, 100, 248, 200, int32_t{kind_taken})));
  EXPECT_FALSE(touches(248, 120, Box(148, 100, 248, 200, int32_t{kind_taken})));
  // Spikes whose x1 exceeds x2 by 48 or more are touched nowhere; by 47, in
  // one column.
  EXPECT_TRUE(touchspan(Box(300, 0, 252, 50, int32_t{kind_spikes})).empty());
  const HeroSpan column = touchspan(Box(299, 0, 252, 50, int32_t{kind_spikes}));
  EXPECT_FALSE(column.empty());
  EXPECT_EQ(column.x0, 251);
  EXPECT_EQ(column.x1, 251);
  // Where two items are touched at once.
  const HeroSpan both = s.overlap(HeroSpan{200, 300, 0, 50});
  EXPECT_EQ(both.x0, 200);
  EXPECT_EQ(both.x1, 247);
  EXPECT_EQ(both.y0, 40);
  EXPECT_EQ(both.y1, 50);
  EXPECT_TRUE(s.overlap(HeroSpan{248, 300, 0, 50}).empty());
}

TEST_F(Collide, LevelBoundsHoldTheStartAndEveryCorner) {
  solid(new Box(-10, 300, 100, 200));
  item(600, -50, 640, -10, kind_spikes);
  w.x = 500;
  w.y = 250;
  const LevelBounds all = levelbounds(w, true);
  EXPECT_EQ(all.minx, -10);
  EXPECT_EQ(all.maxx, 640);
  EXPECT_EQ(all.miny, -50);
  EXPECT_EQ(all.maxy, 300);
  const LevelBounds solid = levelbounds(w, false);
  EXPECT_EQ(solid.minx, -10);
  EXPECT_EQ(solid.maxx, 500);  // the start, not the hero box's far side
  EXPECT_EQ(solid.miny, 200);
  EXPECT_EQ(solid.maxy, 300);
}
