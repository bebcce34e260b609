// twinfold-playscript: the play script that plays a game folder's levels by
// their replays, for input drivers other than twinfold-play's own (the
// browser tests feed it as key and mouse events, frame by frame).
#include <cstdio>
#include <string>
#include <vector>

#include "kit/playscript.h"
#include "kit/replay.h"
#include "kit/scriptkeys.h"

namespace {

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: twinfold-playscript GAMEFOLDER REPLAY...\n"
               "       twinfold-playscript --keys\n"
               "Writes to standard output the play script in which New game in GAMEFOLDER\n"
               "plays its levels in turn by the replays given, one a level, then quits.\n"
               "--keys writes the script's key names as JSON instead: each name's SDL key\n"
               "symbol and the browser's keyCode, {\"left\": {\"sdl\": 276, \"browser\": 37}, ...}.\n"
               "Exit status: 0 with the script, 1 when a replay cannot be read or does not\n"
               "finish its level, 2 a wrong command line.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--help") {
    usage(stdout);
    return 0;
  }
  if (argc == 2 && std::string(argv[1]) == "--keys") {
    std::string json = "{";
    for (const ScriptKey& k : scriptkeys)
      json += std::string(json.size() > 1 ? ", " : "") + "\"" + k.name + "\": {\"sdl\": " +
              std::to_string(k.sdl) + ", \"browser\": " + std::to_string(k.browser) + "}";
    std::printf("%s}\n", json.c_str());
    return 0;
  }
  bool options = false;
  for (int i = 1; i < argc; i++) options = options || (argv[i][0] == '-' && argv[i][1] != '\0');
  if (argc < 3 || options) {
    usage(stderr);
    return 2;
  }
  std::vector<std::vector<ReplayLine>> replays;
  std::string err;
  for (int i = 2; i < argc; i++) {
    replays.emplace_back();
    if (!readreplayfile(argv[i], replays.back(), err)) {
      std::fprintf(stderr, "%s\n", err.c_str());
      return 1;
    }
  }
  PlayScript script;
  if (!makeplayscript(argv[1], replays, "", script, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  const std::string text = playscripttext(script);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
