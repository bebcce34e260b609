// The hero's movement step: jumps, speeds, running, air control, walls,
// slopes and steps, animations with footsteps, the fade and the level state.
#include <cstdlib>

#include "herolevel.h"

class Step : public HeroLevel {
 protected:
  // Already walking right at full walking speed from x, on the ground.
  void walking(int32_t x) {
    w.x = x;
    w.vx = 6;
    w.stepmemory.rundelay = 54;
    w.setkeys(0, 1);
  }
  // Holds right from a standstill on the ground until vx has reached 12.
  void runup() {
    ground();
    w.setkeys(0, 1);
    steps(66);
    ASSERT_EQ(w.vx, 12);
    ASSERT_TRUE(w.stepmemory.running);
  }
};

TEST_F(Step, JumpFromStandstillRises81In17Steps) {
  ground();
  w.step();  // settles: grounded, idle
  ASSERT_EQ(w.vy, 0);
  ASSERT_EQ(w.y, 250);
  w.setjump(1);
  // Rises 9, 8, 8, 7, 7, ..., 1, 1 then falls 1, 1, 2, 2, ..., 8, 8, 9 and lands.
  const std::vector<int32_t> expect = {259, 267, 275, 282, 289, 295, 301, 306, 311, 315, 319, 322,
                                       325, 327, 329, 330, 331, 330, 329, 327, 325, 322, 319, 315,
                                       311, 306, 301, 295, 289, 282, 275, 267, 259, 250, 250};
  EXPECT_EQ(record(35, &World::y), expect);
  EXPECT_EQ(w.vy, 0);
  EXPECT_EQ(w.jump, 0);
  // The key is still held but the request was used: no second jump.
  w.step();
  EXPECT_EQ(w.vy, 0);
  EXPECT_EQ(w.y, 250);
}

TEST_F(Step, JumpWithMovesRises65) {
  ground();
  w.setkeys(0, 1);
  steps(6);
  ASSERT_EQ(w.vx, 6);
  w.setjump(1);
  // Every airborne step with a move lowers the hero one pixel; the take-off
  // step's move still starts from the ground.
  const std::vector<int32_t> expect = {259, 266, 273, 279, 285, 290, 295, 299, 303,
                                       306, 309, 311, 313, 314, 315, 315, 315, 313};
  EXPECT_EQ(record(18, &World::y), expect);
  EXPECT_EQ(w.vx, 6);
}

TEST_F(Step, SpeedsUpThenRunsAfter55StepsAtWalkingSpeed) {
  ground();
  w.setkeys(0, 1);
  for (int k = 1; k <= 6; k++) {
    w.step();
    EXPECT_EQ(w.vx, k) << "step " << k;
  }
  // Step 6 reached 6 and counts as the first of the 55.
  for (int k = 7; k <= 59; k++) {
    w.step();
    EXPECT_EQ(w.vx, 6) << "step " << k;
    EXPECT_FALSE(w.stepmemory.running) << "step " << k;
  }
  w.step();
  EXPECT_TRUE(w.stepmemory.running);
  EXPECT_EQ(w.vx, 6);
  for (int k = 7; k <= 12; k++) {
    w.step();
    EXPECT_EQ(w.vx, k);
  }
  w.step();
  EXPECT_EQ(w.vx, 12);
  EXPECT_EQ(w.animstart, 24);
}

TEST_F(Step, RunStepsOnFrames26_29And32) {
  ground();
  w.setkeys(0, 1);
  steps(60);  // the run animation starts on frame 24 in step 60
  ASSERT_EQ(w.animstart, 24);
  std::vector<int32_t> stepframes;
  for (int k = 61; k <= 100; k++) {
    const uint32_t before = w.soundsasked;
    w.step();
    if (w.soundsasked != before) stepframes.push_back(w.frame);
  }
  // A new frame every 2 steps, 20 steps a cycle, three footsteps in each.
  EXPECT_EQ(stepframes, (std::vector<int32_t>{26, 29, 32, 26, 29, 32}));
}

TEST_F(Step, HeadHitsACeiling) {
  ground();
  solid(new Box(0, 330, 2000, 400));
  w.step();
  w.setjump(1);
  // Stopped with the head at 330, then falling from a standstill.
  const std::vector<int32_t> expect = {259, 267, 270, 268, 266, 263, 260, 256, 252, 250};
  EXPECT_EQ(record(10, &World::y), expect);
  EXPECT_EQ(w.vy, 0);
}

TEST_F(Step, JumpsUpThroughALedgeAndLandsOnIt) {
  ground();
  solid(new Box(0, 290, 2000, 300, false, true, false));
  w.step();
  w.setjump(1);
  const std::vector<int32_t> expect = {259, 267, 275, 282, 289, 295, 301, 306, 311, 315,
                                       319, 322, 325, 327, 329, 330, 331, 330, 329, 327,
                                       325, 322, 319, 315, 311, 306, 301, 300};
  EXPECT_EQ(record(28, &World::y), expect);
  EXPECT_EQ(w.vy, 0);
}

TEST_F(Step, WalkingDownASlopeKeepsContact) {
  solid(new Box(0, 0, 600, 250));
  solid(new Box(600, 150, 1000, 250, true));  // top falls 100 over 400 to the right
  walking(560);
  for (int k = 0; k < 50; k++) {
    w.step();
    ASSERT_EQ(w.vy, 0) << w.x;
    const int32_t drop = w.x > 600 ? (w.x - 600) * 100 / 400 : 0;
    ASSERT_EQ(w.y, 250 - drop) << w.x;
  }
  EXPECT_GT(w.x, 800);
}

TEST_F(Step, JumpingEndsRunning) {
  runup();
  w.setjump(1);
  w.step();
  EXPECT_FALSE(w.stepmemory.running);
  EXPECT_EQ(w.stepmemory.rundelay, 54);
  EXPECT_EQ(w.vy, 9);
}

TEST_F(Step, SlowingToFiveEndsRunning) {
  runup();
  w.setkeys(0, 0);
  for (int v = 11; v >= 6; v--) {
    w.step();
    EXPECT_EQ(w.vx, v);
    EXPECT_TRUE(w.stepmemory.running) << "vx " << v;
  }
  w.step();
  EXPECT_EQ(w.vx, 5);
  EXPECT_FALSE(w.stepmemory.running);
}

TEST_F(Step, AirborneDriftOfTwoIsKept) {
  ground();
  w.setkeys(0, 1);
  steps(2);
  ASSERT_EQ(w.vx, 2);
  w.setkeys(0, 0);
  w.setjump(1);
  int airborne = 0;
  do {
    w.step();
    EXPECT_EQ(w.vx, 2);
  } while (w.vy != 0 && ++airborne < 100);
  // The 65-pixel jump of a moving hero: 30 steps up and down, landing in the 31st.
  EXPECT_EQ(w.vy, 0);
  EXPECT_EQ(airborne, 30);
}

TEST_F(Step, AirBrakingFromWalkingSpeedEvery64Steps) {
  // Nothing below: one take-off at 6 with no keys, then a long fall.
  w.vx = 6;
  w.jump = 1;
  for (int k = 1; k <= 300; k++) {
    w.step();
    const int32_t expect = k < 256 ? 6 - k / 64 : 2;  // 2 and below drift on
    ASSERT_EQ(w.vx, expect) << "step " << k;
  }
}

TEST_F(Step, AirBrakingFromRunningSpeedEvery8Steps) {
  w.vx = 12;
  w.jump = 1;
  w.stepmemory.running = true;
  for (int k = 1; k <= 120; k++) {
    w.step();
    // Every 8 steps down to 6, where the ration becomes 64 steps.
    const int32_t expect = k < 48 ? 12 - k / 8 : k < 112 ? 6 : 5;
    ASSERT_EQ(w.vx, expect) << "step " << k;
  }
}

TEST_F(Step, WalkingOffAnEdgeBrakesAtOnceThen64StepsLater) {
  solid(new Box(0, 0, 600, 250));
  w.setkeys(0, 1);
  int k = 0;
  while (w.vy == 0 && ++k < 50) w.step();
  // x 501, 503, 506, 510, 515, 521, then 6 a step; 605 is past the edge at
  // 600: the probe drops 1, ground following 6, gravity 1.
  ASSERT_EQ(k, 20);
  EXPECT_EQ(w.x, 605);
  EXPECT_EQ(w.y, 242);
  EXPECT_EQ(w.vx, 6);
  w.setkeys(0, 0);
  w.step();
  EXPECT_EQ(w.vx, 5);
  for (int i = 1; i <= 63; i++) {
    w.step();
    ASSERT_EQ(w.vx, 5) << i;
  }
  w.step();
  EXPECT_EQ(w.vx, 4);
}

TEST_F(Step, WalkingIntoAWallStopsFlush) {
  ground();
  solid(new Box(600, 250, 700, 500));
  walking(540);
  w.step();
  EXPECT_EQ(w.x, 546);
  w.step();
  EXPECT_EQ(w.x, 552);  // right edge meets the wall
  EXPECT_EQ(w.vx, 6);
  // Tries of 6, 5, 4, 3, 2 each cost a unit, the try of 1 does not.
  w.step();
  EXPECT_EQ(w.x, 552);
  EXPECT_EQ(w.vx, 1);
  int32_t frames = 0;
  for (int i = 0; i < 12; i++) {
    w.step();
    EXPECT_EQ(w.x, 552);
    EXPECT_EQ(w.vx, 1);  // 2 after the acceleration, 1 after the move
    frames |= 1 << w.frame;
  }
  EXPECT_EQ(w.animstart, 0);
  EXPECT_EQ(frames & 0x1f, frames);  // walk frames 0..4 only
  EXPECT_NE(frames & (frames - 1), 0);  // and more than one of them
}

TEST_F(Step, ClimbsAStepOf7AtWalkingSpeed) {
  ground();
  solid(new Box(600, 250, 800, 257));
  walking(546);
  w.step();
  ASSERT_EQ(w.x, 552);
  w.step();
  EXPECT_EQ(w.x, 558);
  EXPECT_EQ(w.y, 257);
  EXPECT_EQ(w.vy, 0);
  EXPECT_EQ(w.vx, 6);
}

TEST_F(Step, DoesNotClimbAStepOf8) {
  ground();
  solid(new Box(600, 250, 800, 258));
  walking(546);
  steps(2);
  EXPECT_EQ(w.x, 552);
  EXPECT_EQ(w.y, 250);
  EXPECT_EQ(w.vx, 1);
}

TEST_F(Step, SlipperyLandingThrowsTheHeroOff) {
  struct Case {
    Box* floor;
    int32_t vx, vy, canshift;
  } cases[] = {
      {new Box(0, 0, 1000, 250, false, false, true), 4, -4, 0},
      {new Box(1000, 250, 0, 0, false, false, true), -4, -4, 0},
      {new Box(0, 0, 1000, 250), 0, 0, 1},
  };
  for (const Case& c : cases) {
    SetUp();
    solid(c.floor);
    w.y = 252;
    w.vy = -5;
    w.vx = 0;
    w.gravitytick = 0;
    w.canshift = c.canshift ? 0 : 1;
    w.step();
    EXPECT_EQ(w.y, 250);
    EXPECT_EQ(w.vx, c.vx);
    EXPECT_EQ(w.vy, c.vy);
    EXPECT_EQ(w.canshift, c.canshift);
  }
}

class Wall : public Step {
 protected:
  // Airborne beside walls, falling at 1 with gravity due on the next step.
  void fall() {
    w.x = 552;
    w.y = 500;
    w.vy = -1;
    w.gravitytick = 1;
  }
};

TEST_F(Wall, SlideCapsTheFallAndJumpsAway) {
  solid(new Box(600, 0, 700, 1000));
  fall();
  const std::vector<int32_t> vys = {-1, -2, -2, -3, -3, -3, -3, -3, -3, -3};
  EXPECT_EQ(record(10, &World::vy), vys);
  // The cap comes after the move: a 4-pixel drop, then 3, and so on.
  EXPECT_EQ(w.y, 500 - 1 - 2 - 2 - 3 - 3 - 4 - 3 - 4 - 3 - 4);
  EXPECT_EQ(w.animstart, 11);
  EXPECT_EQ(w.facing, 1);
  w.setjump(1);
  w.canshift = 0;
  w.step();
  EXPECT_EQ(w.vy, 9);
  EXPECT_EQ(w.vx, -5);
  EXPECT_EQ(w.canshift, 1);
  EXPECT_EQ(w.animstart, 16);
  EXPECT_EQ(w.frame, 16);
  EXPECT_EQ(w.jump, 0);
  // After its first frame the wall jump shows the airborne frames.
  int k = 0;
  while (w.vy != 0 && ++k < 40) {
    w.step();
    if (w.vy != 0) {
      EXPECT_EQ(w.animstart, 16);
      EXPECT_TRUE(w.frame == 16 || (w.frame >= 42 && w.frame <= 45)) << w.frame;
    }
  }
}

TEST_F(Wall, NoSlideOffANowalljumpWallOrBetweenTwoWalls) {
  Box* single[] = {new Box(600, 0, 700, 1000, false, false, false, true)};
  Box* pair[] = {new Box(400, 0, 504, 1000), new Box(552, 0, 700, 1000)};
  for (int c = 0; c < 2; c++) {
    SetUp();
    if (c == 0) {
      solid(single[0]);
      fall();
    } else {
      solid(pair[0]);
      solid(pair[1]);
      fall();
      w.x = 504;  // flush with both
    }
    const std::vector<int32_t> vys = {-1, -2, -2, -3, -3, -4, -4};
    EXPECT_EQ(record(7, &World::vy), vys) << c;
    EXPECT_EQ(w.animstart, 40);
    w.setjump(1);
    w.step();
    EXPECT_EQ(w.vy, -5) << c;
    EXPECT_EQ(w.vx, 0);
  }
}

TEST_F(Wall, MustRiseMoreThan40AboveTheFeet) {
  for (int32_t top : {540, 539}) {
    SetUp();
    solid(new Box(600, 0, 700, top));
    fall();
    w.step();  // feet at 499
    EXPECT_EQ(w.animstart, top == 540 ? 11 : 40) << top;
  }
}

TEST_F(Wall, WallAtIsTheStepsWallTest) {
  // The hero box at x = 552 touches a wall from 600 with its right probe.
  for (int32_t top : {540, 539}) {
    SetUp();
    Box* wall = solid(new Box(600, 0, 700, top));
    EXPECT_EQ(wallat(w, 553, 499), top == 540) << top;
    EXPECT_EQ(w.lastbox, wall);
    EXPECT_FALSE(wallat(w, 552, 499));  // edges that only meet
  }
  SetUp();
  solid(new Box(600, 0, 700, 1000, false, false, false, true));
  EXPECT_FALSE(wallat(w, 553, 499));
}

TEST_F(Step, IdleShowsFrame8For119StepsThen9For120ThenHolds10) {
  ground();
  for (int k = 1; k <= 400; k++) {
    w.step();
    const int32_t expect = k <= 119 ? 8 : k <= 239 ? 9 : 10;
    ASSERT_EQ(w.frame, expect) << "step " << k;
  }
  EXPECT_EQ(w.frametimer, 0);
  EXPECT_EQ(w.soundsasked, 0u);
}

TEST_F(Step, WalkStartsOnTheFirstStepsAndStepsOnFrame4) {
  ground();
  srand(7);
  rand();
  rand();
  const int third = rand();
  srand(7);
  w.setkeys(0, 1);
  w.step();
  // No animation ran yet after loading: the walk starts at once.
  EXPECT_EQ(w.animstart, 0);
  EXPECT_EQ(w.animlength, 5);
  EXPECT_EQ(w.frametimer, 3);
  for (int k = 2; k <= 30; k++) {
    w.step();
    ASSERT_EQ(w.frame, (k - 1) / 3 % 5) << "step " << k;
    ASSERT_EQ(w.soundsasked, (k >= 13 ? 1u : 0u) + (k >= 28 ? 1u : 0u)) << "step " << k;
  }
  // Silent without a mixer, yet the two footsteps drew their random numbers.
  EXPECT_EQ(rand(), third);
}

TEST_F(Step, JumpAnimationFramesAndFootsteps) {
  ground();
  w.step();
  w.setjump(1);
  std::vector<int32_t> frames;
  for (int k = 1; k <= 35; k++) {
    w.step();
    frames.push_back(w.frame);
  }
  // Take-off frame, 41 (footstep), then by speed on every second step:
  // 42 rising fast, 43 rising, 44 falling (footstep each), 45 falling fast.
  const std::vector<int32_t> expect = {40, 41, 41, 42, 42, 42, 42, 42, 42, 42, 42, 43,
                                       43, 43, 43, 43, 43, 44, 44, 44, 44, 44, 44, 45,
                                       45, 45, 45, 45, 45, 45, 45, 45, 45, 45, 8};
  EXPECT_EQ(frames, expect);
  EXPECT_EQ(w.soundsasked, 4u);
}

TEST_F(Step, FinishedOnceTheFadePasses32AndFromThenOn) {
  ground();
  item(480, 240, 560, 300, kind_end);
  // Touching the end does nothing while the level fades in.
  steps(32);
  EXPECT_EQ(w.fade, 0);
  w.step();
  EXPECT_EQ(w.fade, 2);
  for (int k = 2; k <= 31; k++) {
    EXPECT_EQ(w.step().state, state_playing) << k;
    EXPECT_EQ(w.getState(), 0) << k;
  }
  EXPECT_EQ(w.step().state, state_finished);
  EXPECT_EQ(w.fade, 33);
  EXPECT_EQ(w.getState(), 1);
  EXPECT_EQ(w.getState(), 1);
  w.state = 2;
  EXPECT_EQ(w.getState(), 2);
  EXPECT_EQ(w.getState(), 1);
}

TEST_F(Step, SpikesDuringTheEndFadeStartItOver) {
  ground();
  item(480, 240, 560, 300, kind_spikes);
  w.fade = 20;
  w.step();
  EXPECT_EQ(w.fade, -31);
  EXPECT_EQ(w.getState(), 0);
}

TEST_F(Step, ReportsEveryDeathTheFadeInsFirstStepIncluded) {
  ground();
  item(480, 240, 560, 300, kind_spikes);  // under the respawn point too
  w.fade = 20;
  EXPECT_TRUE(w.step().died);
  const int32_t before = w.fade;
  EXPECT_TRUE(w.step().died);  // respawned on the spikes: dies again
  EXPECT_EQ(before, w.fade);
  // The fade-in's first step: the fade goes from -32 to -31 as after a death.
  SetUp();
  ground();
  item(480, 240, 560, 300, kind_spikes);
  w.fade = -32;
  EXPECT_TRUE(w.step().died);
  // A fade-in on a checkpoint: touches every step, no death.
  SetUp();
  ground();
  item(480, 240, 560, 300, kind_checkpoint);
  w.fade = -32;
  for (int i = 0; i < 33; i++) {
    const StepReport r = w.step();
    EXPECT_FALSE(r.died) << i;
    EXPECT_TRUE(r.checkpoint) << i;
  }
  EXPECT_EQ(w.fade, 0);
}

TEST_F(Step, AFallBelowTheDepthLimitIsADeath) {
  w.x = 700;
  w.y = falldepth + 10;
  w.vy = -10;
  w.gravitytick = 1;
  w.fade = 0;
  w.step();
  EXPECT_EQ(w.y, falldepth);  // at the limit, not below it
  EXPECT_EQ(w.x, 700);
  EXPECT_EQ(w.fade, 0);
  w.step();
  EXPECT_EQ(w.x, 500);
  EXPECT_EQ(w.y, 250);
  EXPECT_EQ(w.vy, 0);
  EXPECT_EQ(w.fade, -31);
}

TEST_F(Step, AnEndlessFallRespawnsAndGivesPickupsBack) {
  Box* pickup = item(500, 260, 532, 292, kind_shift);
  w.step();
  ASSERT_EQ(pickup->kind, kind_taken);
  ASSERT_EQ(w.shiftcount, 1);
  int k = 0;
  int32_t deepest = 0;
  while (w.vy != 0 && ++k < 80000) {
    w.step();
    if (w.y < deepest) deepest = w.y;
  }
  // About 2 * sqrt(2^30) steps of falling.
  EXPECT_GT(k, 60000);
  EXPECT_LT(k, 70000);
  EXPECT_GE(deepest, falldepth);
  EXPECT_EQ(w.vy, 0);
  EXPECT_EQ(pickup->kind, kind_shift);
  EXPECT_EQ(w.shiftcount, 0);
}

TEST_F(Step, EdgesOfTheInt32RangeDoNotWrap) {
  const int32_t top = INT32_MAX - 5;
  solid(new Box(0, INT32_MAX - 100, 2000, top));
  w.y = top;
  w.step();
  EXPECT_EQ(w.y, top);
  w.setjump(1);
  w.step();
  EXPECT_EQ(w.y, INT32_MAX);  // the rise stops at the end of the range
  int k = 0;
  while (w.vy != 0 && ++k < 100) w.step();
  EXPECT_EQ(w.y, top);

  SetUp();
  w.x = INT32_MAX - 100;
  w.vx = 6;
  w.setkeys(0, 1);
  steps(40);
  EXPECT_EQ(w.x, INT32_MAX);
}
