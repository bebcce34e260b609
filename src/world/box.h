// Box: one level element, a rectangle or a right triangle given by two corners.
#pragma once
#include <cstdint>

// Item kinds: what touching an element of World::items does.
enum ItemKind : int32_t {
  kind_taken = 0,       // a pickup already taken
  kind_checkpoint = 1,  // becomes the respawn point
  kind_end = 2,         // starts the level-end fade
  kind_shift = 3,       // shift pickup: shiftcount + 1
  kind_spikes = 4,      // the hero dies and respawns
  kind_viewmaster = 5,  // shift pickup that also asks for the mid-game page
};

// Corners are stored x1, x2, y1, y2 but every constructor takes them as
// (x1, y1, x2, y2). A triangle has its right angle at (x1, y1) and its slope
// from (x1, y2) to (x2, y1), so the corner order picks the way it faces.
struct Box {
  int32_t x1;       // first corner, x (level pixels)
  int32_t x2;       // second corner, x
  int32_t y1;       // first corner, y (up is positive)
  int32_t y2;       // second corner, y
  bool triangle;    // a slope, not a rectangle
  bool ledge;       // one-way ledge: only stops a hero coming down onto it
  bool slippery;    // throws a landing hero off
  bool nowalljump;  // no wall slide or wall jump against it
  int32_t kind;     // ItemKind; read only for elements in World::items

  Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool triangle);
  Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool triangle, bool ledge, bool slippery);
  Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t kind);
  Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool triangle, bool ledge, bool slippery,
      bool nowalljump);
};
