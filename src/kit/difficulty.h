// Difficulty: how hard a finishable level is for a person. The route's timing
// windows, the same route with each key change aimed at the middle of its
// window, a wide route of moves from rest (kit/wideroute.h), and seeded runs
// of every stretch between checkpoints with a player's timing spread, all on
// the game's own rules; the route a person fares better on is reported. Integers throughout:
// the same level, route, runs and seed give the same figures on any machine.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "kit/windows.h"

// A small seeded generator of its own (splitmix64), so no library's choice
// of algorithm changes the figures.
struct SeededRandom {
  uint64_t state;
  explicit SeededRandom(uint64_t seed) : state(seed) {}
  uint64_t next();
};

// A player's timing error, in whole steps: a normal spread of 40 ms
// (4/3 of a step) around the aimed step, rounded to the nearest step and
// cut at four steps (0.4 % of presses). Drawn from 16 random bits.
int timingoffset(SeededRandom& r);

struct DifficultyOptions {
  int runs = 200;      // seeded runs of each stretch
  uint64_t seed = 1;   // the runs' seed
  bool widen = true;   // measure the kinder of the aimed par route and the wide route;
                       // false: the route as given
};

struct ChangeFigures {
  KeyChange change;  // on the measured route
  int x, y;          // hero position when it happens
  int stretch;       // index into stretches
  Window window;
};

struct StretchFigures {
  Stretch stretch;
  int checkpointx = 0, checkpointy = 0;  // the checkpoint it ends at (lower left corner), or the respawn
  int runs = 0, passed = 0;              // runs, and runs that got through
  int64_t deathsmilli = 0;               // expected deaths, thousandths; a floor when passed is 0
};

struct DifficultyReport {
  bool ok = false;
  std::string err;                  // why there are no figures, when not ok
  int par = 0;                      // steps of the route as given
  int routesteps = 0;               // steps of the measured route (the fields below are its)
  int partightest = 0;              // tightest window of the route as given, steps
  int64_t pardeathsmilli = 0;       // expected deaths on the route as given, thousandths
  bool pardeathsfloor = false;      // ... a lower bound
  bool widefound = false;           // the wide route search found a route
  int widesteps = 0;                // its steps, when found
  int widetightest = 0;             // its tightest window
  int64_t widedeathsmilli = 0;      // its expected deaths, thousandths
  bool wide = false;                // the measured route is the wide one
  bool wholewide = false;           // ... made of moves from rest alone
  int widemoves = 0;                // ... its moves from rest
  int solverfrom = 0;               // ... steps after which the solver's route finishes; 0 whole
  int moved = 0;                    // key changes the widening moved
  std::vector<ReplayLine> route;    // the measured route as replay lines
  std::vector<ChangeFigures> changes;
  int tightest = -1;                // index into changes of the tightest window; -1 none
  std::vector<StretchFigures> stretches;
  int64_t deathsmilli = 0;          // expected deaths before finishing, thousandths
  bool deathsfloor = false;         // some stretch was never got through: a lower bound
  std::vector<std::vector<std::pair<int, int>>> path;  // hero positions, split at carried shifts
};

// Measures the level at path along lines (a route that finishes it).
DifficultyReport measuredifficulty(const std::string& path, const std::vector<ReplayLine>& lines,
                                   const DifficultyOptions& options);

// Thousandths as "12.345"; shares of runs as "0.905".
std::string thousandths(int64_t milli);
// The report for a person, and as one JSON object for programs.
std::string difficultytext(const std::string& name, const DifficultyReport& r,
                           const DifficultyOptions& options);
std::string difficultyjson(const std::string& name, const DifficultyReport& r,
                           const DifficultyOptions& options);
