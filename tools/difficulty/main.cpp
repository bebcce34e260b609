// twinfold-difficulty: how hard a level is for a person, along a route that
// finishes it. Usage: twinfold-difficulty LEVEL [--replay REPLAY] [--runs N]
// [--seed S] [--json]. The work is in src/kit/difficulty.cpp.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "kit/difficulty.h"
#include "kit/quietload.h"
#include "kit/replay.h"
#include "kit/solver.h"

namespace {

const char usage[] =
    "usage: twinfold-difficulty LEVEL [--replay REPLAY] [--runs N] [--seed S] [--json]\n"
    "  measures how hard LEVEL is for a person along REPLAY (default: LEVEL's own\n"
    "  .replay beside it, else a route the solver finds): each key change's timing\n"
    "  window, a wide route of moves from rest beside the par (the one a person\n"
    "  fares better on is measured), N seeded runs (default 200) of\n"
    "  each stretch between checkpoints with a player's timing spread, each\n"
    "  stretch's share of runs that get through and the expected deaths. The same\n"
    "  level, route, N and S (default 1) give the same figures on any machine.\n"
    "  --json prints one JSON object instead of the report.\n"
    "  exit status: 0 measured, 1 no route that finishes the level, 2 wrong\n"
    "  command line, 3 level or replay cannot be read\n";

int badusage() {
  std::fputs(usage, stderr);
  return 2;
}

std::string basename(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isfile(const std::string& path) {
  struct stat s;
  return stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

// A whole decimal number within [low, high].
bool number(const char* text, unsigned long long low, unsigned long long high,
            unsigned long long* out) {
  char* end = nullptr;
  errno = 0;
  if (text[0] < '0' || text[0] > '9') return false;
  *out = std::strtoull(text, &end, 10);
  return errno == 0 && *end == '\0' && *out >= low && *out <= high;
}

}  // namespace

int main(int argc, char** argv) {
  std::string level, replay;
  bool json = false;
  DifficultyOptions options;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    unsigned long long n = 0;
    if (a == "--help" || a == "-h") {
      std::fputs(usage, stdout);
      return 0;
    } else if (a == "--replay" && i + 1 < argc) {
      replay = argv[++i];
    } else if (a == "--runs" && i + 1 < argc) {
      if (!number(argv[++i], 1, 100000, &n)) return badusage();
      options.runs = static_cast<int>(n);
    } else if (a == "--seed" && i + 1 < argc) {
      if (!number(argv[++i], 0, UINT64_MAX, &n)) return badusage();
      options.seed = n;
    } else if (a == "--json") {
      json = true;
    } else if (!a.empty() && a[0] != '-' && level.empty()) {
      level = a;
    } else {
      return badusage();
    }
  }
  if (level.empty()) return badusage();

  std::string err;
  if (!loadquiet(level, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 3;
  }
  if (replay.empty()) {
    const size_t dot = level.find_last_of('.');
    const std::string beside =
        (dot == std::string::npos || dot < level.find_last_of('/') + 1 ? level
                                                                         : level.substr(0, dot)) +
        ".replay";
    if (isfile(beside)) replay = beside;
  }
  std::vector<ReplayLine> lines;
  if (!replay.empty()) {
    if (!readreplayfile(replay, lines, err)) {
      std::fprintf(stderr, "%s\n", err.c_str());
      return 3;
    }
  } else {
    SolveOptions solve;
    solve.budget = 20000000;
    const SolveResult s = solvelevel(level, solve);
    if (!s.solved) {
      std::fprintf(stderr, "%s: no route: the solver found none within %lld world steps\n",
                   level.c_str(), solve.budget);
      return 1;
    }
    lines = s.lines;
  }

  const DifficultyReport r = measuredifficulty(level, lines, options);
  if (!r.ok) {
    std::fprintf(stderr, "%s: %s\n", replay.empty() ? level.c_str() : replay.c_str(),
                 r.err.c_str());
    return 1;
  }
  const std::string name = basename(level);
  std::fputs((json ? difficultyjson(name, r, options) : difficultytext(name, r, options)).c_str(),
             stdout);
  return 0;
}
