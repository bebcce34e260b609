// Test-play folders: a game folder of its own for one level, laid out in a
// fresh temporary folder so the game can start it as its first level. The
// game's data is linked in, never copied, and the folder is removed whole.
#pragma once
#include <string>
#include <vector>

struct PlayFolder {
  std::string path;                   // the folder made, no trailing slash; empty when none
  std::vector<std::string> warnings;  // one line each: what would make the game stop
};

// Lays out a folder under the system's temporary folder:
//   1. a link to every entry of gamedir (files and folders alike);
//   2. a copy of level as the first level, "tutorial1.lvl";
//   3. links to the files each level names (pictures, next level) where they
//      lie beside that level, in place of the game's own, following the chain
//      of next levels;
//   4. a warning for each picture or next level the game would not find
//      there, or a picture that is no PNG: the game would stop on it.
// False with err set, and nothing left behind, when the folder cannot be made.
bool layplayfolder(const std::string& gamedir, const std::string& level, PlayFolder& out,
                   std::string& err);

// Removes the folder and everything in it; links are removed, never followed.
void removeplayfolder(const std::string& path);
