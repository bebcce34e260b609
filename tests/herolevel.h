// Test levels built in code: the built-in world emptied, with short ways to add
// elements and run steps. Ground tops sit at the hero's start height, 250.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "world/world.h"

class HeroLevel : public ::testing::Test {
 protected:
  World w{false};

  void SetUp() override {
    for (Box* b : w.boxes) delete b;
    for (Box* b : w.items) delete b;
    w.boxes.clear();
    w.items.clear();
  }

  Box* solid(Box* b) {
    w.boxes.push_back(b);
    return b;
  }
  Box* item(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t kind) {
    Box* b = new Box(x1, y1, x2, y2, kind);
    w.items.push_back(b);
    return b;
  }
  // A wide floor whose top is at y = 250, under the start position.
  Box* ground() { return solid(new Box(0, 0, 4000, 250)); }

  void steps(int n) {
    for (int i = 0; i < n; i++) w.step();
  }
  // One field of the world after each of n steps, e.g. &World::y.
  std::vector<int32_t> record(int n, int32_t World::*field) {
    std::vector<int32_t> values;
    for (int i = 0; i < n; i++) {
      w.step();
      values.push_back(w.*field);
    }
    return values;
  }
};
