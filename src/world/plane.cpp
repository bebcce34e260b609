// Plane switching: carrying the hero by the shift vector when a shift ends.
#include "world/world.h"

bool startshift(World& w) {
  w.shiftx = w.shifty = 0;
  return shiftcanstart(w);
}

void releaseshift(World& w) {
  w.switchplane(1);
  w.shiftx = w.shifty = 0;
  w.switchplane(0);
}

// The shell ends a shift with switchplane(1), a zero shift vector, then
// switchplane(0): the first call carries the hero shiftcount times the vector
// the other way if the box is free there, the second only brings plane back.
int World::switchplane(int p) {
  // 1. Already there.
  if (p == plane) return 1;
  // 2. Destination, in 64 bits: shiftcount comes from the level file.
  int32_t tx = x, ty = y;
  if (p == 1) {
    shiftdestination(&tx, &ty);
  } else if (plane == 1) {
    tx = clampcoord(int64_t{x} + int64_t{shiftcount} * shiftx);
    ty = clampcoord(int64_t{y} + int64_t{shiftcount} * shifty);
  }
  // 3. Refused where the box would overlap an element.
  if (!fitsat(tx, ty)) return 0;
  // 4. Accepted: one shift per airborne phase.
  y = ty;
  x = tx;
  canshift = 0;
  plane = p;
  return 1;
}

void World::shiftdestination(int32_t* nx, int32_t* ny) const {
  *nx = clampcoord(int64_t{x} - int64_t{shiftcount} * shiftx);
  *ny = clampcoord(int64_t{y} - int64_t{shiftcount} * shifty);
}

bool World::fitsat(int32_t bx, int32_t by) {
  return collidey(bx, by, clampcoord(int64_t{by} - 1), false) <= by;
}
