// Reach: every place the hero box could ever stand in a level, found fast by
// a model that allows more than the game does. When no place it reaches
// touches the end, the level cannot be finished, however large the room.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

class World;

// The few places nearest the end, at least farthestcell apart, nearest
// first: by rank (the guide's estimate, or 0), then by distance.
class NearestPlaces {
 public:
  static constexpr int kept = 3;
  static constexpr int32_t farthestcell = 32;
  void offer(int32_t rank, int64_t distance, int32_t x, int32_t y);
  std::vector<std::pair<int32_t, int32_t>> places() const;
  void clear() { nearest.clear(); }

 private:
  struct Near {
    int32_t rank;
    int64_t distance;
    int32_t x, y;
  };
  std::vector<Near> nearest;
};

struct Reach {
  bool decided = false;     // the level was small enough to look at whole
  bool touchesend = false;  // some place reached touches an end
  long long places = 0;     // places reached
  std::vector<std::pair<int32_t, int32_t>> nearest;  // when no end is touched
  // The places reached, lower left corners of the hero box, over the area
  // looked at; places outside it are open sky, all alike.
  int64_t left = 0, bottom = 0, width = 0, height = 0;
  std::vector<uint64_t> seen;
  bool reached(int64_t x, int64_t y) const;
};

// Looks from w as it stands (its place and its respawn point), for at most
// most places; undecided beyond that, or when the end has been touched
// already. whole: go on after an end is touched, to fill in every place.
// The world is left moved.
Reach reach(World& w, long long most, bool whole = false);
