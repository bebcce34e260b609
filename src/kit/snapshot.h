// World snapshots: everything a step, an item or a shift can change, saved
// and put back whole, so a search can try moves without reloading the level.
#pragma once
#include <cstdint>
#include <type_traits>
#include <vector>

#include "world/world.h"

// A copy of the world's state is a copy of its bytes.
static_assert(std::is_trivially_copyable_v<WorldState>, "WorldState must copy whole");

// The mutable state of one World, step memory included, as plain values,
// and what cannot live in WorldState: the items' kinds (kept in the items),
// the late pickups and lastbox (as an index). The elements' corners and flags,
// the pictures and the level settings never change after loading and are not
// kept.
struct WorldSnapshot {
  WorldState world;                 // the world's own fields, copied whole
  int32_t lastbox = -1;             // index into boxes, -1 for none
  std::vector<int32_t> kinds;       // each item's kind, in list order
  std::vector<int32_t> latepickups;
  StepReport happened;              // the last step's report
};

// Saves w into s; reuses s's storage.
void snapshot(const World& w, WorldSnapshot& s);
// Puts w back as s found it. s must come from this world.
void restore(World& w, const WorldSnapshot& s);
