// Wide route: a way through a level that a person can time, made of moves
// that each start with the hero standing still. A change of keys made while
// the hero stands may come as late as the player likes, and a move is kept
// only when its own timed changes still work some steps either way, so the
// route trades the par route's speed for room.
#pragma once
#include <vector>

#include "kit/replay.h"

class World;

// Bounded by world steps, never by time: the same level gives the same route
// on any machine under any load.
struct WideOptions {
  long long budget = 30000000;  // world steps for the search of moves from rest
  long long finishbudget = 10000000;  // world steps for the solver's finish from the last rest
  int rest = 4;      // steps the hero stands before each move: a player's reaction, and
                     // room for a press that comes a little early
  int widest = 4;    // the largest slack asked of each timed change, steps each way
};

struct WideResult {
  bool found = false;   // lines reach the end in the search (the caller plays them to be sure)
  bool whole = false;   // every move starts from rest; false: the solver's route from the
                        // last rest finishes the level
  int moves = 0;        // moves from rest
  int slack = 0;        // steps each timed change of every move was found to slip both ways
  int solverfrom = 0;   // steps of the route where the solver's finish begins; 0 when whole
  long long worldsteps = 0;  // world steps the search took
  std::vector<ReplayLine> lines;
};

// Searches from w as loaded (a fresh world, at rest). The world is left in
// some searched state.
WideResult wideroute(World& w, const WideOptions& options);
