// World data model: the start values every world gets, and a borrowed mixer
// that outlives the world.
#include <gtest/gtest.h>

#include "world/world.h"

TEST(WorldModel, CommonStartValues) {
  World w(false);
  EXPECT_EQ(w.shiftx, 0);
  EXPECT_EQ(w.shifty, 0);
  EXPECT_EQ(w.camx, 0);
  EXPECT_EQ(w.camy, 0);
  EXPECT_EQ(w.x, 500);
  EXPECT_EQ(w.y, 250);
  EXPECT_EQ(w.vx, 0);
  EXPECT_EQ(w.vy, 0);
  EXPECT_EQ(w.plane, 0);
  EXPECT_EQ(w.gravitytick, 0);
  EXPECT_EQ(w.shiftcount, 0);
  EXPECT_EQ(w.canshift, 0);
  EXPECT_EQ(w.state, 0);
  EXPECT_EQ(w.keyleft, 0);
  EXPECT_EQ(w.keyright, 0);
  EXPECT_EQ(w.jump, 0);
  EXPECT_EQ(w.animstart, 0);
  EXPECT_EQ(w.animlength, 0);
  EXPECT_EQ(w.frame, 0);
  EXPECT_EQ(w.facing, 1);
  EXPECT_EQ(w.frametimer, 1);
  EXPECT_EQ(w.checkx, 500);
  EXPECT_EQ(w.checky, 250);
  EXPECT_EQ(w.checkitems, 0u);
  EXPECT_EQ(w.itemmask, 0u);
  EXPECT_EQ(w.fade, -32);
  EXPECT_EQ(w.mixer, nullptr);
  EXPECT_EQ(w.lastbox, nullptr);
  // Headless: no pictures, no sheet.
  EXPECT_EQ(w.spritesheet, nullptr);
  EXPECT_EQ(w.viewmaster, nullptr);
  EXPECT_EQ(w.viewmastercard, nullptr);
}

TEST(WorldModel, DeletingTheWorldLeavesItsMixerAlone) {
  // A stand-in the world must never delete: deleting it would be caught as
  // freeing memory that was never allocated.
  alignas(16) static unsigned char standin[64];
  Mixer* mixer = reinterpret_cast<Mixer*>(standin);
  World* first = new World(false);
  first->setMixer(mixer);
  EXPECT_EQ(first->mixer, mixer);
  delete first;
  World second(false);
  second.setMixer(mixer);
  EXPECT_EQ(second.mixer, mixer);
}
