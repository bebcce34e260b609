// twinfold-level: prints a level as the game's headless loader builds it.
// Usage: twinfold-level json LEVEL, or twinfold-level format
// Prints one JSON object on standard output: the solid elements and the items
// in list order with their corners as stored (x1, x2, y1, y2) and their flags
// or kind, the start, the shift count, the picture offset, the next level, the
// picture names, whether the level asks for each picture at all (a command
// whose name reads as empty still asks, and the game stops on it) and the
// words that named no command. The level editor's extension reads levels
// through it, so there is one lexer only; and the format's sizes and name
// limits through `format`, so it restates none of them.
// Exit status: 0 printed, 1 the level cannot be read, 2 wrong command line.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "kit/json.h"
#include "kit/quietload.h"
#include "world/world.h"

namespace {

const char* const usage =
    "usage: twinfold-level json LEVEL\n"
    "       twinfold-level format\n"
    "  prints LEVEL as the game loads it, as one JSON object; or the level\n"
    "  format's item sizes and name limits, as one JSON object\n"
    "  exit status: 0 printed, 1 LEVEL cannot be read, 2 wrong command line\n";

const char* boolean(bool b) { return b ? "true" : "false"; }

// The first command of a picture's kind wins even with an empty name, so a
// level asks for the picture as soon as it has one such command.
bool asks(const World& w, const char* word) {
  for (const LevelCommand& c : w.commands) {
    if (c.word == word) return true;
  }
  return false;
}

std::string corners(const Box& b) {
  return "\"x1\": " + std::to_string(b.x1) + ", \"x2\": " + std::to_string(b.x2) +
         ", \"y1\": " + std::to_string(b.y1) + ", \"y2\": " + std::to_string(b.y2);
}

// The items' sizes in level pixels, and the longest names the loader keeps.
std::string formatjson() {
  return "{\"checkpointsize\": " + std::to_string(checkpointsize) +
         ", \"endsize\": " + std::to_string(endsize) +
         ", \"pickupsize\": " + std::to_string(pickupsize) +
         ", \"wordroom\": " + std::to_string(wordroom) +
         ", \"pictureroom\": " + std::to_string(pictureroom) +
         ", \"nextlevelroom\": " + std::to_string(nextlevelroom) + "}\n";
}

std::string leveljson(const World& w) {
  std::string out = "{\n  \"boxes\": [";
  for (size_t i = 0; i < w.boxes.size(); i++) {
    const Box& b = *w.boxes[i];
    out += i ? ",\n    {" : "\n    {";
    out += corners(b) + ", \"triangle\": " + boolean(b.triangle) + ", \"ledge\": " +
           boolean(b.ledge) + ", \"slippery\": " + boolean(b.slippery) +
           ", \"nowalljump\": " + boolean(b.nowalljump) + "}";
  }
  out += "],\n  \"items\": [";
  for (size_t i = 0; i < w.items.size(); i++) {
    const Box& b = *w.items[i];
    out += i ? ",\n    {" : "\n    {";
    out += corners(b) + ", \"kind\": " + std::to_string(b.kind) + "}";
  }
  out += "],\n  \"start\": " + jsonpoint(w.x, w.y);
  out += ",\n  \"shiftcount\": " + std::to_string(w.shiftcount);
  out += ",\n  \"imageshift\": " + jsonpoint(w.imageshiftx, w.imageshifty);
  out += ",\n  \"nextlevel\": " + jsonquoted(w.nextlevel);
  out += ",\n  \"background\": " + jsonquoted(w.backgroundname);
  out += ",\n  \"foreground\": " + jsonquoted(w.foregroundname);
  out += ",\n  \"backgroundasked\": " + std::string(boolean(asks(w, "setBackground")));
  out += ",\n  \"foregroundasked\": " + std::string(boolean(asks(w, "setForeground")));
  out += ",\n  \"unknownwords\": [";
  for (size_t i = 0; i < w.unknownwords.size(); i++) {
    out += (i ? ", " : "") + jsonquoted(w.unknownwords[i]);
  }
  return out + "]\n}\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && !std::strcmp(argv[1], "--help")) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (argc == 2 && !std::strcmp(argv[1], "format")) {
    std::fputs(formatjson().c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (argc != 3 || std::strcmp(argv[1], "json") || (argv[2][0] == '-' && argv[2][1] != '\0')) {
    std::fputs(usage, stderr);
    return 2;
  }
  const char* path = argv[2];

  // A folder or a missing file is refused rather than loaded; the loader's
  // log stays off standard output, which is kept for the JSON.
  std::string err;
  std::unique_ptr<World> world = loadquiet(path, err);
  if (!world) {
    std::fprintf(stderr, "twinfold-level: %s\n", err.c_str());
    return 1;
  }
  const std::string json = leveljson(*world);
  std::fputs(json.c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}
