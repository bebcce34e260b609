// Level checker: loads a level without pictures and lists what would spoil it
// in play (unknown commands, missing pictures, no end, a broken chain).
#pragma once
#include <string>
#include <vector>

struct LevelCheck {
  std::string path;                   // the level as it was named
  std::string summary;                // one line: elements, items by kind, start, shifts, next
  std::vector<std::string> problems;  // one line each, "path: what"; empty when sound
  std::string next;                   // path of the next level beside this one; empty = none
};

// Checks one level file. Pictures and the next level are looked up in the
// level's own folder, where the game will find them beside it.
LevelCheck checklevel(const std::string& path);

// Checks first and every level its next-level chain leads to, in order; a
// chain that comes back to a level it passed is reported on the level that
// closes the loop.
std::vector<LevelCheck> checkchain(const std::string& first);
