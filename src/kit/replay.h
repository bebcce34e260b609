// Replays: scripted input that plays a level as a player at the keyboard
// could, one line per run of 30 ms steps. The reader, the writer and the
// player every tool and test uses.
//
//   # a comment                blank lines and comments are skipped
//   STEPS KEYS                 hold KEYS for STEPS steps: any of L (left),
//                              R (right), J (jump pressed before the first of
//                              these steps), or - for none
//   SHIFT DX DY                hold the shift control, drag the vector to
//                              (DX, DY) and let go; both even, within -32..32
//
// What a player can do decides what a line means: a shift starts only where
// the shell would start one (canshift set, shiftcount not 0), the world does
// not step while it is held, and the mid-game page's Resume lets go of both
// arrow keys, so the hero stands until a later line presses them again.
#pragma once
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

class World;

constexpr int replaymaxsteps = 100000;  // most steps one line may hold

struct ReplayLine {
  int steps;    // steps to run; 0 on a shift line
  bool left;    // left arrow held
  bool right;   // right arrow held
  bool jump;    // up arrow pressed before the first step
  bool shift;   // a plane shift instead of steps
  int dx, dy;   // shift vector of a shift line: even, -32..32
  int lineno;   // line in the file, 1 first; 0 for lines made in code
};

// Reads replay lines; named `name` in messages. On a malformed line returns
// false with "name:line: what is wrong" in err and out as far as it got.
bool readreplay(std::istream& in, const std::string& name, std::vector<ReplayLine>& out,
                std::string& err);
bool readreplayfile(const std::string& path, std::vector<ReplayLine>& out, std::string& err);

// The replay text: the comment lines first (each given without its "# "),
// then one line per ReplayLine.
std::string replaytext(const std::vector<ReplayLine>& lines,
                       const std::vector<std::string>& comments);
// Writes the replay text to path through a temporary file beside it and a
// rename, so a failed write never leaves half a replay. False with err set.
bool writereplayfile(const std::string& path, const std::vector<ReplayLine>& lines,
                     const std::vector<std::string>& comments, std::string& err);

// One whole shift as a player works the shell's control: starts it if the
// world allows (startshift), drags the vector to (dx, dy) and lets go
// (releaseshift). Returns true when the hero was carried.
bool playershift(World& w, int dx, int dy);

// What the player saw, handed to the watcher as the replay runs.
struct ReplayEvent {
  enum Kind { stepped, shifted, paged } kind;
  int steps;      // steps run so far
  int state;      // getState after a step (step and page events)
  int lineno;     // the replay line being played
  bool started;   // shift: the shift control took (the world allowed it)
  bool carried;   // shift: the hero was carried
  int fromx, fromy;  // shift: hero position before the release
};

struct ReplayResult {
  bool finished;  // the level reported finished
  int steps;      // steps run (up to and including the finishing one)
  int lineno;     // the line being played when it finished, or the last line
  int pages;      // mid-game pages clicked through
  int shifts;     // shifts that carried the hero
  int idleshifts; // shift lines where no shift could start
};

// Plays the lines on the world from where it stands, stopping at the step in
// which the level reports finished.
ReplayResult playreplay(World& w, const std::vector<ReplayLine>& lines,
                        const std::function<void(const World&, const ReplayEvent&)>& watch =
                            nullptr);
