// Play scripts: input for the real game, frame by frame, that the input
// driver (a preload library) feeds through SDL's event queue with a virtual
// clock. Made from replays under the shell's own rules, so the game, driven
// by the script, plays each level exactly as its replay does.
//
//   # a comment
//   FRAME clock MS        from this frame's buffer swap on, the clock moves
//                         MS milliseconds at every swap (30: one world step)
//   FRAME down KEY        a key pressed, KEY one of left right up space
//   FRAME up KEY          w a s d escape f12; or released
//   FRAME click X Y       the pointer moved to X, Y (window pixels, origin
//                         top left), the left button pressed and released
//   FRAME snap PATH       the picture drawn in this frame, saved as a PPM
//
// FRAME counts buffer swaps: the events of frame F are handed out after the
// game's F-th swap and before the next, lines in file order. The clock
// starts at 0 and stands still until a clock line says otherwise.
#pragma once
#include <string>
#include <vector>

#include "kit/replay.h"

struct ScriptEvent {
  enum Kind { clock, down, up, click, snap } kind;
  int frame;         // the buffer swap it follows, 1 first
  int value;         // clock: ms per swap; down and up: an SDL key code
  int x, y;          // click: window pixels, origin top left
  std::string path;  // snap: where the picture goes
};

// A level the script plays, as the game will meet it.
struct ScriptLevel {
  std::string name;  // the file the shell loads
  int loadframe;     // the frame in whose level change (or New game) it loads
  int endframe;      // the frame whose step finishes it; 0 when the script
                     // quits before it ends (no replay for it)
  int steps;         // world steps its replay ran
};

struct PlayScript {
  std::vector<ScriptEvent> events;  // in frame order
  std::vector<ScriptLevel> levels;  // in the order the game loads them
  int pages;                        // mid-game pages clicked through
  bool ending;                      // the ending pages were reached
  int frames;                       // the frame in which the game quits
};

// Plays the game headless in the game folder `folder`: New game and the
// introduction pages, then each level the chain brings with replays[i] for
// the i-th level loaded; the mid-game page is clicked through and Resume lets
// go of the arrow keys, as a player does. After the last replay the game is
// quit (F12), or, when the chain has ended, the ending pages are clicked
// through (the first one saved to snappath unless it is empty) and Quit is
// chosen. False with err ("LEVEL: what went wrong") when a replay does not
// finish its level or the game does something no script can follow.
bool makeplayscript(const std::string& folder, const std::vector<std::vector<ReplayLine>>& replays,
                    const std::string& snappath, PlayScript& out, std::string& err);

// The script as text, in the form above.
std::string playscripttext(const PlayScript& script);
