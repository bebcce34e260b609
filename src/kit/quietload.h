// Loading a level for a tool: without pictures, without the loader's log
// lines, and with an error instead of an exit when the file cannot be read.
#pragma once
#include <memory>
#include <string>

#include "world/world.h"

// The level at path, loaded headless (nopictures) with no log, so a tool's own
// output stays clean. Null with "path: cannot be opened" in err when path is no
// readable file (a folder opens but is no level).
std::unique_ptr<World> loadquiet(const std::string& path, std::string& err);
