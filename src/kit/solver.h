// Solver: searches the game's own rules for input that finishes a level,
// and hands it back as replay lines a player could have typed.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kit/replay.h"

class World;

// The search is bounded by the world steps it takes, never by time, so the
// same level and options give the same answer on any machine.
struct SolveOptions {
  long long budget = 400000000;  // world steps for the whole search
  double seconds = 600;  // a safety stop only: an answer it cuts short may differ from run to run
  double weight = 4.0;   // how much the guide's estimate outweighs steps taken
  bool shorten = true;   // after a first solution, search for shorter ones (half as many
                         // world steps again, within the budget) and trim its lines
};

struct SolveResult {
  bool solved = false;            // lines finish the level, checked by playing them
  bool proven = false;            // every state reachable from the start was searched
                                  // (or the level has no end): it cannot be finished
  bool outofreach = false;        // proven without a search: no place the hero can
                                  // reach touches the end (states counts the places)
  bool stopped = false;           // the safety stop fired before the budget was spent
  std::vector<ReplayLine> lines;  // the input, one line per key change or shift
  int steps = 0;                  // steps up to the finishing one: the level's par
  double seconds = 0;             // search time
  long long expanded = 0;         // search states expanded
  long long worldsteps = 0;       // world steps the search took
  long long states = 0;           // distinct states the proof searched
  // When proven unfinishable: the places (hero box lower left corners) that
  // came closest to the end, closest first.
  std::vector<std::pair<int32_t, int32_t>> farthest;
  std::string err;                // why nothing was found, when not solved
};

// Searches from w as it stands, its step memory included (a fresh world,
// whose memory is at rest, for a level's par). The world is left in some
// searched state.
SolveResult solve(World& w, const SolveOptions& options);

// Loads the level at path without pictures or log, solves it from rest, and
// plays the answer on a fresh world before calling it solved. Not solved,
// with "path: cannot be opened" in err, when the level cannot be read.
SolveResult solvelevel(const std::string& path, const SolveOptions& options);
