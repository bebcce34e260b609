// World snapshots: everything a step, an item or a shift can change, saved
// and put back whole, so a search can try moves without reloading the level.
#pragma once
#include <cstdint>
#include <vector>

#include "world/world.h"

// The mutable state of one World and the step memory, as plain values. The
// elements' corners and flags, the pictures and the level settings never
// change after loading and are not kept; item kinds are.
struct WorldSnapshot {
  int32_t shiftx, shifty, camx, camy;
  int32_t x, y, vx, vy;
  int32_t plane, gravitytick, shiftcount, canshift, state;
  int32_t keyleft, keyright, jump;
  int32_t animstart, animlength, frame, facing, frametimer;
  int32_t checkx, checky;
  uint32_t checkitems, itemmask;
  int32_t fade;
  int32_t lastbox;                  // index into boxes, -1 for none
  uint32_t soundsasked;
  std::vector<int32_t> kinds;       // each item's kind, in list order
  std::vector<int32_t> latepickups;
  StepMemory memory;                // the step's state that outlives a world
};

// Saves w (and stepmemory) into s; reuses s's storage.
void snapshot(const World& w, WorldSnapshot& s);
// Puts w (and stepmemory) back as s found them. s must come from this world.
void restore(World& w, const WorldSnapshot& s);
