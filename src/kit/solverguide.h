// Solver guide: coarse distance fields from every place the hero box fits to
// the level end, the estimate that steers the solver's search.
#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

class World;

// A grid of cells over the level. A cell is open when the hero box fits in
// it somewhere and touches no spikes. Moves between open cells: sideways and
// down always, up only from a cell with a floor within jumping height below
// or a wall to kick off beside it, and, with a shift count, the carries a
// shift could make. Each field holds, for every cell, the cost of the
// cheapest such route to the end, in tenths of a step.
class SolverGuide {
 public:
  static constexpr int32_t unknown = INT32_MAX / 4;  // no route found

  // Builds the fields for w as loaded (items in their start kinds). Uses the
  // world's own collision probes, which only write lastbox. Without
  // groundshifts a shift is planned only in the air, at the price of a jump.
  SolverGuide(World& w, bool groundshifts);

  // The estimated cost to the end from where the hero stands now, in tenths
  // of a step; unknown when no route is known.
  int32_t estimate(const World& w) const;

 private:
  struct Field {
    std::vector<int32_t> cost;  // per cell; unknown where no route
  };

  int32_t cell = 16;           // cell side, level pixels
  int32_t originx = 0, originy = 0;
  int32_t cols = 0, rows = 0;
  int32_t basecount = 0;       // shift count at the start
  bool groundshifts = true;    // shifts planned on the ground too
  std::vector<uint8_t> open;   // the hero fits here
  std::vector<uint8_t> climb;  // floor or wall close enough to go up from here
  std::vector<uint8_t> grounded;  // a floor right below
  std::vector<int32_t> pickups;               // indices into World::items
  std::vector<std::vector<int32_t>> pickupgoals;  // [p]: the cells touching pickups[p]
  std::vector<int32_t> endgoals;              // the cells touching the end
  // [k]: to the end under shift count basecount + k, taking any pickups on
  // the way, each one counted as if it were still there.
  std::vector<Field> chain;
  // The same from the pickups still there, by shift count and the mask of
  // those pickups; built when first asked for.
  struct Remaining {
    int32_t k;
    uint32_t left;
    Field field;
  };
  mutable std::vector<Remaining> remaining;

  int32_t index(int32_t cx, int32_t cy) const { return cy * cols + cx; }
  // The cell holding level point (px, py), clamped to the grid.
  void cellof(int32_t px, int32_t py, int32_t* cx, int32_t* cy) const;
  // Costs from every cell to the goal cells, each starting at its own cost,
  // under shift count count.
  Field distances(const std::vector<std::pair<int32_t, int32_t>>& goals, int32_t count) const;
  // The goals from the end and from the pickups in left, under count
  // basecount + k, each pickup at the chain's cost on from it.
  std::vector<std::pair<int32_t, int32_t>> seeds(size_t k, uint32_t left) const;
  // The smallest cost in f at or next to the hero's cell.
  int32_t lookup(const Field& f, int32_t cx, int32_t cy) const;
};
