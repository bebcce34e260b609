// Replays: scripted inputs that play a level from its start to its end, one
// line per run of 30 ms steps. Used by the level tests to prove each level
// can be finished.
//
//   # a comment                     blank lines and comments are skipped
//   STEPS KEYS                      hold KEYS for STEPS steps; KEYS is any of
//                                   L (left), R (right), J (jump pressed at the
//                                   first of these steps), or - for none
//   SHIFT DX DY                     a plane shift as the player releases it:
//                                   shift vector (DX, DY), each -32..32
#pragma once
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "world/world.h"

struct ReplayLine {
  int steps;     // steps to run, 0 for a shift line
  bool left;     // left held
  bool right;    // right held
  bool jump;     // jump pressed before the first step
  bool shift;    // a plane shift instead of steps
  int dx, dy;    // shift vector of a shift line
  int lineno;    // line in the file, for messages
};

// Reads replay lines from in (named path in messages); on a malformed line
// returns false with a message in err.
inline bool read_replay(std::istream& in, const std::string& path, std::vector<ReplayLine>& out,
                        std::string& err) {
  std::string line;
  int lineno = 0;
  while (std::getline(in, line)) {
    lineno++;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string first;
    if (!(words >> first)) continue;
    ReplayLine r{0, false, false, false, false, 0, 0, lineno};
    std::string rest;
    if (first == "SHIFT") {
      r.shift = true;
      if (!(words >> r.dx >> r.dy) || r.dx < -32 || r.dx > 32 || r.dy < -32 || r.dy > 32) {
        err = path + ":" + std::to_string(lineno) + ": SHIFT needs two numbers within -32..32";
        return false;
      }
    } else {
      std::string keys;
      char* end = nullptr;
      long n = std::strtol(first.c_str(), &end, 10);
      if (*end != '\0' || n < 1 || n > 100000 || !(words >> keys)) {
        err = path + ":" + std::to_string(lineno) + ": expected STEPS KEYS";
        return false;
      }
      r.steps = static_cast<int>(n);
      for (char c : keys) {
        if (c == 'L') r.left = true;
        else if (c == 'R') r.right = true;
        else if (c == 'J') r.jump = true;
        else if (c != '-') {
          err = path + ":" + std::to_string(lineno) + ": unknown key '" + std::string(1, c) + "'";
          return false;
        }
      }
    }
    if (words >> rest) {
      err = path + ":" + std::to_string(lineno) + ": unexpected '" + rest + "'";
      return false;
    }
    out.push_back(r);
  }
  return true;
}

// Reads a replay file.
inline bool read_replay(const std::string& path, std::vector<ReplayLine>& out, std::string& err) {
  std::ifstream in(path);
  if (!in) {
    err = "cannot open " + path;
    return false;
  }
  return read_replay(in, path, out, err);
}

// A plane shift as the shell does it on release: only when one may start.
inline void replay_shift(World& w, int dx, int dy) {
  if (w.canshift == 0 || w.shiftcount == 0) return;
  w.shiftx = dx;
  w.shifty = dy;
  w.switchplane(1);
  w.shiftx = 0;
  w.shifty = 0;
  w.switchplane(0);
}

// Plays the lines on the world; after every step calls seen(step, state) with
// the getState result. Returns the number of steps run before the level
// reported finished, or -1 if it never did.
inline int play_replay(World& w, const std::vector<ReplayLine>& lines,
                       const std::function<void(int, int)>& seen = nullptr) {
  int steps = 0;
  for (const ReplayLine& r : lines) {
    if (r.shift) {
      replay_shift(w, r.dx, r.dy);
      continue;
    }
    w.setkeys(r.left ? 1 : 0, r.right ? 1 : 0);
    for (int i = 0; i < r.steps; i++) {
      if (i == 0 && r.jump) w.setjump(1);
      w.step();
      steps++;
      int state = w.getState();
      if (seen) seen(steps, state);
      if (state == 1) return steps;
    }
    w.setjump(0);
  }
  return -1;
}
