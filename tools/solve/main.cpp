// twinfold-solve: searches a level for input that finishes it and writes the
// replay. Usage: twinfold-solve LEVEL [-o REPLAY] [--seconds S]
// Without -o the replay goes to standard output and the report to standard
// error; with -o the report goes to standard output. Exit status 0 when
// solved, 1 when nothing was found within the bound, 2 on a wrong command
// line, 3 when the level cannot be opened or the replay cannot be written.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/replay.h"
#include "kit/solver.h"

namespace {

const char usage[] =
    "usage: twinfold-solve LEVEL [-o REPLAY] [--seconds S]\n"
    "  searches LEVEL for input that finishes it (default bound 60 s) and writes\n"
    "  the replay to REPLAY, or to standard output without -o.\n"
    "  exit status: 0 solved, 1 nothing found within the bound, 2 wrong command\n"
    "  line, 3 level cannot be opened or replay cannot be written\n";

int badusage() {
  std::fputs(usage, stderr);
  return 2;
}

std::string basename(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
  std::string level, output;
  SolveOptions options;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(usage, stdout);
      return 0;
    } else if (a == "-o" && i + 1 < argc) {
      output = argv[++i];
    } else if (a == "--seconds" && i + 1 < argc) {
      char* end = nullptr;
      errno = 0;
      options.seconds = std::strtod(argv[++i], &end);
      if (errno != 0 || *end != '\0' || !std::isfinite(options.seconds) ||
          options.seconds <= 0 || options.seconds > 1e6)
        return badusage();
    } else if (!a.empty() && a[0] != '-' && level.empty()) {
      level = a;
    } else {
      return badusage();
    }
  }
  if (level.empty()) return badusage();

  // The loader exits on a level it cannot open; say so first, in one line.
  std::FILE* f = std::fopen(level.c_str(), "r");
  const bool readable = f && (std::getc(f), !std::ferror(f));  // a folder opens, then fails
  if (f) std::fclose(f);
  if (!readable) {
    std::fprintf(stderr, "%s: cannot be opened\n", level.c_str());
    return 3;
  }

  // A replay that could not be written is known before the search, not after.
  if (!output.empty()) {
    const std::string probe = output + ".part";
    std::FILE* f = std::fopen(probe.c_str(), "w");
    if (!f) {
      std::fprintf(stderr, "%s: cannot be written\n", output.c_str());
      return 3;
    }
    std::fclose(f);
    std::remove(probe.c_str());
  }

  // The loader logs every command it reads; keep only the solver's lines.
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  if (saved >= 0 && null >= 0) dup2(null, STDOUT_FILENO);
  std::FILE* out = saved >= 0 ? fdopen(saved, "w") : stdout;

  const SolveResult r = solvelevel(level, options);
  std::fflush(stdout);
  const std::string name = basename(level);
  if (!r.solved) {
    std::fprintf(stderr, "%s: not solved in %.1f s: %s\n", name.c_str(), r.seconds,
                 r.err.c_str());
    return 1;
  }
  const std::vector<std::string> comments = {
      "Route through " + name + ", made by twinfold-solve: par " + std::to_string(r.steps) +
      " steps.",
      "STEPS KEYS per line, 30 ms steps; SHIFT dx dy."};
  char report[256];
  std::snprintf(report, sizeof report, "%s: solved in %.1f s, par %d steps; %lld world steps searched\n",
                name.c_str(), r.seconds, r.steps, r.worldsteps);
  if (output.empty()) {
    std::fputs(replaytext(r.lines, comments).c_str(), out);
    std::fflush(out);
    std::fputs(report, stderr);
    return 0;
  }
  std::string err;
  if (!writereplayfile(output, r.lines, comments, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 3;
  }
  std::fputs(report, out);
  std::fflush(out);
  return 0;
}
