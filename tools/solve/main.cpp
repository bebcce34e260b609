// twinfold-solve: searches a level for input that finishes it and writes the
// replay. Usage: twinfold-solve LEVEL [-o REPLAY] [--budget STEPS] [--seconds S] [--json]
// Without -o the replay goes to standard output and the report to standard
// error; with -o the report goes to standard output. With --json the outcome
// is one JSON object on standard output instead, for programs to read. Exit status 0 when
// solved, 1 when nothing was found within the budget, 2 on a wrong command
// line, 3 when the level cannot be opened or the replay cannot be written,
// 4 when the level is proven unfinishable.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/json.h"
#include "kit/quietload.h"
#include "kit/replay.h"
#include "kit/solver.h"

namespace {

const char usage[] =
    "usage: twinfold-solve LEVEL [-o REPLAY] [--budget STEPS] [--seconds S] [--json]\n"
    "  searches LEVEL for input that finishes it and writes the replay to REPLAY,\n"
    "  or to standard output without -o. The search takes at most STEPS world\n"
    "  steps (default 400000000), so the same level gives the same replay on any\n"
    "  machine; S seconds (default 600) is only a safety stop, and the report\n"
    "  says when it fired.\n"
    "  --json  the outcome as one JSON object on standard output: \"result\"\n"
    "          (\"solved\", \"notfound\" or \"proven\"), \"message\" (the report's\n"
    "          line), \"par\", \"worldsteps\", \"states\", \"seconds\", \"stopped\",\n"
    "          \"farthest\" (points) and, without -o, \"replay\" (its text)\n"
    "  exit status: 0 solved, 1 nothing found within the budget, 2 wrong command\n"
    "  line, 3 level cannot be opened or replay cannot be written, 4 proven\n"
    "  unfinishable (every state reachable from the start searched, or no place\n"
    "  the hero can reach touches the end)\n";

int badusage() {
  std::fputs(usage, stderr);
  return 2;
}

std::string basename(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The outcome for --json; message is the report's line without its newline.
void printjson(const char* result, const std::string& message, const SolveResult& r,
               const std::string* replay) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
  std::string out = "{\"result\": " + jsonquoted(result) + ", \"message\": " + jsonquoted(message);
  if (r.solved) out += ", \"par\": " + std::to_string(r.steps);
  out += ", \"worldsteps\": " + std::to_string(r.worldsteps) + ", \"states\": " +
         std::to_string(r.states) + ", \"seconds\": " + seconds +
         ", \"stopped\": " + (r.stopped ? "true" : "false") + ", \"farthest\": [";
  for (size_t i = 0; i < r.farthest.size(); i++)
    out += (i ? ", " : "") + jsonpoint(r.farthest[i].first, r.farthest[i].second);
  out += "]";
  if (replay) out += ", \"replay\": " + jsonquoted(*replay);
  out += "}\n";
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string level, output;
  SolveOptions options;
  bool json = false;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(usage, stdout);
      return 0;
    } else if (a == "--json") {
      json = true;
    } else if (a == "-o" && i + 1 < argc) {
      output = argv[++i];
    } else if (a == "--seconds" && i + 1 < argc) {
      char* end = nullptr;
      errno = 0;
      options.seconds = std::strtod(argv[++i], &end);
      if (errno != 0 || *end != '\0' || !std::isfinite(options.seconds) ||
          options.seconds <= 0 || options.seconds > 1e6)
        return badusage();
    } else if (a == "--budget" && i + 1 < argc) {
      char* end = nullptr;
      errno = 0;
      const char* text = argv[++i];
      options.budget = std::strtoll(text, &end, 10);
      if (errno != 0 || end == text || *end != '\0' || options.budget <= 0) return badusage();
    } else if (!a.empty() && a[0] != '-' && level.empty()) {
      level = a;
    } else {
      return badusage();
    }
  }
  if (level.empty()) return badusage();

  // A level that cannot be read is said first, in one line, before any search.
  std::string err;
  if (!loadquiet(level, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
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

  const SolveResult r = solvelevel(level, options);
  const std::string name = basename(level);
  char stop[160] = "";
  if (r.stopped)
    std::snprintf(stop, sizeof stop, "the %g s safety stop fired after %lld world steps",
                  options.seconds, r.worldsteps);
  if (r.proven) {
    std::string report = name + ": proven unfinishable: ";
    if (r.farthest.empty()) {
      report += r.err;
    } else {
      if (r.outofreach)
        report += r.err + " (" + std::to_string(r.states) + " places); nearest places reached:";
      else
        report += "every reachable state searched (" + std::to_string(r.states) + " states, " +
                  std::to_string(r.worldsteps) + " world steps); farthest points reached:";
      for (size_t i = 0; i < r.farthest.size(); i++)
        report += (i ? ", (" : " (") + std::to_string(r.farthest[i].first) + ", " +
                  std::to_string(r.farthest[i].second) + ")";
    }
    if (json)
      printjson("proven", report, r, nullptr);
    else
      std::fprintf(stderr, "%s\n", report.c_str());
    return 4;
  }
  if (!r.solved) {
    char report[1024];
    if (r.stopped)
      std::snprintf(report, sizeof report, "%s: not found: %s", name.c_str(), stop);
    else if (r.worldsteps >= options.budget)
      std::snprintf(report, sizeof report,
                    "%s: not found within the budget of %lld world steps (%.1f s)", name.c_str(),
                    options.budget, r.seconds);
    else
      std::snprintf(report, sizeof report, "%s: not found: %s (%lld world steps, %.1f s)",
                    name.c_str(), r.err.c_str(), r.worldsteps, r.seconds);
    if (json)
      printjson("notfound", report, r, nullptr);
    else
      std::fprintf(stderr, "%s\n", report);
    return 1;
  }
  const std::vector<std::string> comments = {
      "Route through " + name + ", made by twinfold-solve: par " + std::to_string(r.steps) +
      " steps.",
      "STEPS KEYS per line, 30 ms steps; SHIFT dx dy."};
  char report[400];
  std::snprintf(report, sizeof report,
                "%s: solved in %.1f s, par %d steps; %lld world steps searched%s%s",
                name.c_str(), r.seconds, r.steps, r.worldsteps,
                r.stopped ? "; shortening cut short: " : "", stop);
  if (output.empty() && json) {
    const std::string replay = replaytext(r.lines, comments);
    printjson("solved", report, r, &replay);
    return 0;
  }
  if (output.empty()) {
    std::fputs(replaytext(r.lines, comments).c_str(), stdout);
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", report);
    return 0;
  }
  if (!writereplayfile(output, r.lines, comments, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 3;
  }
  if (json) {
    printjson("solved", report, r, nullptr);
    return 0;
  }
  std::printf("%s\n", report);
  std::fflush(stdout);
  return 0;
}
