// Plane switching: carrying the hero by the shift vector when a shift ends.
#include "world/world.h"

// The shell ends a shift with switchplane(1), a zero shift vector, then
// switchplane(0): the first call carries the hero shiftcount times the vector
// the other way if the box is free there, the second only brings plane back.
int World::switchplane(int p) {
  // 1. Already there.
  if (p == plane) return 1;
  // 2. Destination, in 64 bits: shiftcount comes from the level file.
  int64_t nx = x, ny = y;
  const int64_t dx = int64_t{shiftcount} * shiftx, dy = int64_t{shiftcount} * shifty;
  if (p == 1) {
    nx -= dx;
    ny -= dy;
  } else if (plane == 1) {
    nx += dx;
    ny += dy;
  }
  const int32_t tx = clampcoord(nx), ty = clampcoord(ny);
  // 3. A one-pixel downward probe with ledges solid: feet resting on a top
  // are free, any part of the box inside an element is not.
  if (collidey(tx, ty, clampcoord(int64_t{ty} - 1), false) > ty) return 0;
  // 4. Accepted: one shift per airborne phase.
  y = ty;
  x = tx;
  canshift = 0;
  plane = p;
  return 1;
}
