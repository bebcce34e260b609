// twinfold-replay: plays a replay on a fresh world as a player at the
// keyboard would, and says whether it finishes the level; --json gives the
// outcome and the route as one JSON object for programs to read.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kit/json.h"
#include "kit/quietload.h"
#include "kit/replay.h"
#include "world/world.h"

namespace {

const char* usage =
    "usage: twinfold-replay LEVEL REPLAY [--trace | --json]\n"
    "Plays REPLAY on LEVEL from a fresh world and step memory.\n"
    "  --trace  after every step print: step x y vx vy fade shiftcount canshift itemmask state\n"
    "           (itemmask in hex, state as getState returned it); shifts and mid-game\n"
    "           pages are printed as lines starting with '#'\n"
    "  --json   one JSON object instead: \"finished\", \"steps\", \"message\" (the line\n"
    "           printed without it), \"hero\" and \"fade\" at the end, \"route\" (the hero\n"
    "           after every step), \"shifts\" (\"line\", \"how\": carried, refused or\n"
    "           \"could not start\", \"afterstep\", \"from\", \"to\") and \"pages\" (replay\n"
    "           lines); the warnings stay on standard error\n"
    "Exit status: 0 the level was finished, 1 it was not or an input was bad, 2 usage.\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  bool trace = false, json = false, unknown = false;
  for (int i = 1; i < argc; i++) {
    if (!std::strcmp(argv[i], "--help")) {
      std::fputs(usage, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--trace")) trace = true;
    else if (!std::strcmp(argv[i], "--json")) json = true;
    else if (argv[i][0] == '-' && argv[i][1] != '\0') unknown = true;
    else args.push_back(argv[i]);
  }
  if (unknown || args.size() != 2 || (trace && json)) {
    std::fputs(usage, stderr);
    return 2;
  }
  const std::string& level = args[0];
  const std::string& replay = args[1];

  std::vector<ReplayLine> lines;
  std::string err;
  if (!readreplayfile(replay, lines, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  std::unique_ptr<World> world = loadquiet(level, err);
  if (!world) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  World& w = *world;

  if (trace) std::printf("# step x y vx vy fade shiftcount canshift itemmask state\n");
  std::string route, shifts, pages;  // --json's lists
  ReplayResult r = playreplay(w, lines, [&](const World& v, const ReplayEvent& e) {
    if (e.kind == ReplayEvent::shifted && !e.started)
      std::fprintf(stderr, "%s:%d: warning: no shift can start here (canshift %d, shift count %d)\n",
                   replay.c_str(), e.lineno, v.canshift, v.shiftcount);
    if (json) {
      if (e.kind == ReplayEvent::stepped) {
        route += (route.empty() ? "" : ", ") + jsonpoint(v.x, v.y);
      } else if (e.kind == ReplayEvent::shifted) {
        shifts += std::string(shifts.empty() ? "" : ", ") + "{\"line\": " +
                  std::to_string(e.lineno) + ", \"how\": " +
                  jsonquoted(!e.started ? "could not start" : e.carried ? "carried" : "refused") +
                  ", \"afterstep\": " + std::to_string(e.steps) +
                  ", \"from\": " + jsonpoint(e.fromx, e.fromy) + ", \"to\": " + jsonpoint(v.x, v.y) +
                  "}";
      } else {
        pages += (pages.empty() ? "" : ", ") + std::to_string(e.lineno);
      }
    }
    if (!trace) return;
    switch (e.kind) {
      case ReplayEvent::stepped:
        std::printf("%d %d %d %d %d %d %d %d %x %d\n", e.steps, v.x, v.y, v.vx, v.vy, v.fade,
                    v.shiftcount, v.canshift, v.itemmask, e.state);
        break;
      case ReplayEvent::shifted:
        std::printf("# line %d: shift %s, hero %d,%d -> %d,%d\n", e.lineno,
                    !e.started ? "could not start" : e.carried ? "carried" : "refused", e.fromx,
                    e.fromy, v.x, v.y);
        break;
      case ReplayEvent::paged:
        std::printf("# line %d: mid-game page; Resume lets go of the arrow keys\n", e.lineno);
        break;
    }
  });
  char message[160];
  if (r.finished)
    std::snprintf(message, sizeof message, "finished after %d steps", r.steps);
  else
    std::snprintf(message, sizeof message,
                  "not finished after %d steps: hero at %d,%d, fade %d, when the replay ran out",
                  r.steps, w.x, w.y, w.fade);
  if (json) {
    std::printf("{\"finished\": %s, \"steps\": %d, \"message\": %s, \"hero\": %s, \"fade\": %d,\n"
                " \"route\": [%s],\n \"shifts\": [%s],\n \"pages\": [%s]}\n",
                r.finished ? "true" : "false", r.steps, jsonquoted(message).c_str(),
                jsonpoint(w.x, w.y).c_str(), w.fade, route.c_str(), shifts.c_str(), pages.c_str());
  } else {
    std::printf("%s\n", message);
  }
  return r.finished ? 0 : 1;
}
