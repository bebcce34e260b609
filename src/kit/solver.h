// Solver: searches the game's own rules for input that finishes a level,
// and hands it back as replay lines a player could have typed.
#pragma once
#include <string>
#include <vector>

#include "kit/replay.h"

class World;

struct SolveOptions {
  double seconds = 60;   // wall-clock bound for the whole search
  double weight = 4.0;   // how much the guide's estimate outweighs steps taken
  bool shorten = true;   // after a first solution, search for shorter ones (half as long
                         // again, at least 5 s, within the bound) and trim its lines
};

struct SolveResult {
  bool solved = false;            // lines finish the level, checked by playing them
  std::vector<ReplayLine> lines;  // the input, one line per key change or shift
  int steps = 0;                  // steps up to the finishing one: the level's par
  double seconds = 0;             // search time
  long long expanded = 0;         // search states expanded
  long long worldsteps = 0;       // world steps the search took
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
