// Making and proving level packs: a chain of levels, checked, each with a
// replay that finishes it, written as a pack that the checking reader opens.
#pragma once
#include <string>
#include <vector>

#include "kit/pack.h"
#include "kit/solver.h"

struct PackOptions {
  std::string title;   // empty: the first level's name without .lvl
  std::string author;  // empty: "unknown"
  SolveOptions solve;  // for levels without a replay beside them
};

// Packs the chain from first into out:
//   1. the checker on every level of the chain (an error, a missing picture,
//      a broken chain refuse the level);
//   2. each level's replay, NAME.replay beside it, played under the game's
//      rules: it must finish the level; without one, the solver searches for
//      a route and refuses the level when it finds none;
//   3. the files under the names the levels give them, the manifest, zip;
//   4. the pack read back through the checking reader.
// False with one refusal a line, each naming its level or file, and nothing
// written. notes say where each replay came from.
bool makepack(const std::string& first, const std::string& out, const PackOptions& options,
              PackManifest& made, std::vector<std::string>& refusals,
              std::vector<std::string>& notes);

// Reads the pack through the checking reader and plays every level's replay
// on it under the game's rules: each must finish its level in its par.
bool checkpack(const std::string& path, PackContents& pack, std::vector<std::string>& refusals);

// Unpacks a checked pack into a fresh folder under the system's temporary
// folder; false with refusals and nothing left behind when it is refused.
bool unpacktotemp(const std::string& path, PackContents& pack, std::string& folder,
                  std::vector<std::string>& refusals);
