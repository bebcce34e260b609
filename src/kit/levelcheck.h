// Level checker: loads a level without pictures and lists what would spoil it
// in play, each with the file, line and column it comes from where there is one.
#pragma once
#include <string>
#include <vector>

struct LevelCheck {
  std::string path;                   // the level as it was named
  std::string summary;                // one line: elements, items by kind, start, shifts, next
  std::vector<std::string> problems;  // errors, one line each: "path:line:col: what"
  std::vector<std::string> warnings;  // "path:line:col: warning: what"
  std::string next;                   // path of the next level beside this one; empty = none
};

// Checks one level file. Pictures and the next level are looked up in the
// level's own folder, where the game will find them beside it.
//
// Errors (the level cannot be played as meant): a file that cannot be opened;
// unknown commands; commands swallowed by a name's run; operands that did not
// parse; a start inside a solid element; a checkpoint where a respawning hero
// touches spikes; pictures missing, unreadable, empty-named or with an alpha
// picture of another size; no level end; a next level that is missing.
// Warnings: pictures whose size loses pixels in the 256-pixel tiling; items
// written with their corners reversed; a picture-offset checkpoint the hero
// may reach; pickups beyond the 32 that respawning gives back; an empty next
// level name.
LevelCheck checklevel(const std::string& path);

// Checks first and every level its next-level chain leads to, in order; a
// chain that comes back to a level it passed is reported on the level that
// closes the loop.
std::vector<LevelCheck> checkchain(const std::string& first);
