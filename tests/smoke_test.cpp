// A world builds headless with its defaults.
#include <gtest/gtest.h>
#include "world/world.h"
TEST(WorldDefaults, BuiltInHeadless) {
  World w(false);
  EXPECT_EQ(w.x, 500);
  EXPECT_EQ(w.fade, -32);
}
