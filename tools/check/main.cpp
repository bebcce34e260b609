// twinfold-check: loads levels without pictures and reports what would spoil
// them in play. Usage: twinfold-check LEVEL...  or  twinfold-check --chain FIRST
// Prints one summary line per level on standard output and one line per
// error or warning on standard error, with file:line:column where there is one.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kit/levelcheck.h"

namespace {

const char* usage =
    "usage: twinfold-check LEVEL... | twinfold-check --chain FIRST\n"
    "Loads each level without pictures and reports what would spoil it in play;\n"
    "--chain follows the next levels from FIRST. One summary line per level on\n"
    "standard output, errors and warnings on standard error.\n"
    "Exit status: 0 no errors (warnings allowed), 1 an error, 2 usage.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && !std::strcmp(argv[1], "--help")) {
    std::fputs(usage, stdout);
    return 0;
  }
  // --chain comes first; any other word starting with '-' is an unknown option.
  const bool chain = argc >= 2 && !std::strcmp(argv[1], "--chain");
  bool wrong = argc < 2 || (chain && argc != 3);
  for (int i = chain ? 2 : 1; i < argc; i++) wrong = wrong || argv[i][0] == '-';
  if (wrong) {
    std::fputs(usage, stderr);
    return 2;
  }

  std::vector<LevelCheck> checks;
  if (!std::strcmp(argv[1], "--chain")) {
    checks = checkchain(argv[2]);
  } else {
    for (int i = 1; i < argc; i++) checks.push_back(checklevel(argv[i]));
  }

  bool sound = true;
  for (const LevelCheck& c : checks) {
    // Each summary is out before its level's problems, when both streams
    // go to one place.
    std::fprintf(stdout, "%s\n", c.summary.c_str());
    std::fflush(stdout);
    for (const std::string& p : c.problems) std::fprintf(stderr, "%s\n", p.c_str());
    for (const std::string& p : c.warnings) std::fprintf(stderr, "%s\n", p.c_str());
    if (!c.problems.empty()) sound = false;
  }
  return sound ? 0 : 1;
}
