// twinfold-pack: makes a level pack from a chain of levels, proven finishable,
// checks a pack, and writes a static site that plays one.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "kit/packmake.h"
#include "kit/packsite.h"

namespace {

const char* usage =
    "usage: twinfold-pack FIRST.lvl -o PACK [--title TEXT] [--author TEXT] [--budget STEPS] [--json]\n"
    "       twinfold-pack PACK --check [--json]\n"
    "       twinfold-pack PACK --web OUT [--from WEBBUILD]\n"
    "The first form packs FIRST.lvl and the chain of next levels from it: each\n"
    "level is checked as twinfold-check does, and proven finishable by its replay\n"
    "(NAME.replay beside it) or, without one, by the solver (at most STEPS world\n"
    "steps of search). --check reads a pack as a player's game does and plays\n"
    "every level's replay on it. --web checks the pack so, then writes into OUT a\n"
    "static site that plays it from a link: the page, engine and data of the\n"
    "browser build in WEBBUILD (make web fills it; by default build-web beside the\n"
    "folder this program is in, as in a source tree), the pack beside them, and\n"
    "the page opening the pack at start. --json prints one JSON object on standard\n"
    "output for programs; refusals go to standard error, one a line.\n"
    "Exit status: 0 done, 1 refused (each reason on standard error), 2 usage.\n";

std::string json(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 32) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

long long filesize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

void report(bool ok, bool asjson, const std::string& pack, const PackManifest& m,
            const std::vector<std::string>& refusals) {
  for (const std::string& r : refusals) std::fprintf(stderr, "%s\n", r.c_str());
  if (!asjson) {
    if (ok)
      std::printf("%s: %s by %s, %zu level(s) from %s, %lld bytes\n", pack.c_str(),
                  m.title.c_str(), m.author.c_str(), m.levels.size(), m.first.c_str(),
                  filesize(pack));
    return;
  }
  std::string out = "{\"ok\": " + std::string(ok ? "true" : "false") + ", \"pack\": " +
                    json(pack) + ", \"bytes\": " + std::to_string(ok ? filesize(pack) : 0) +
                    ", \"title\": " + json(m.title) + ", \"author\": " + json(m.author) +
                    ", \"levels\": [";
  for (size_t i = 0; i < m.levels.size(); i++)
    out += std::string(i ? ", " : "") + "{\"name\": " + json(m.levels[i].name) +
           ", \"par\": " + std::to_string(m.levels[i].par) + "}";
  out += "], \"refusals\": [";
  for (size_t i = 0; i < refusals.size(); i++) out += std::string(i ? ", " : "") + json(refusals[i]);
  std::printf("%s]}\n", out.c_str());
}

// The folder above the one this program is in, with a trailing '/': the
// source tree's top when it runs from build/.
std::string besideprogram(const char* argv0) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path = n > 0 ? std::string(self, size_t(n)) : std::string(argv0);
  for (int up = 0; up < 2; up++) {
    const size_t slash = path.find_last_of('/');
    path = slash == std::string::npos ? "." : path.substr(0, slash);
  }
  return path + "/";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && !std::strcmp(argv[1], "--help")) {
    std::fputs(usage, stdout);
    return 0;
  }
  std::string input, out, web, from;
  bool check = false, asjson = false, wrong = false;
  PackOptions options;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    const bool value = i + 1 < argc;
    if (a == "-o" && value && out.empty()) {
      out = argv[++i];
    } else if (a == "--title" && value) {
      options.title = argv[++i];
    } else if (a == "--author" && value) {
      options.author = argv[++i];
    } else if (a == "--budget" && value) {
      char* end = nullptr;
      options.solve.budget = std::strtoll(argv[++i], &end, 10);
      wrong = wrong || *end != '\0' || options.solve.budget <= 0;
    } else if (a == "--web" && value && web.empty()) {
      web = argv[++i];
    } else if (a == "--from" && value && from.empty()) {
      from = argv[++i];
    } else if (a == "--check") {
      check = true;
    } else if (a == "--json") {
      asjson = true;
    } else if (input.empty() && !a.empty() && a[0] != '-') {
      input = a;
    } else {
      wrong = true;
    }
  }
  if (wrong || input.empty() || int(!out.empty()) + int(check) + int(!web.empty()) != 1 ||
      (!from.empty() && web.empty()) || (!web.empty() && asjson)) {
    std::fputs(usage, stderr);
    return 2;
  }

  std::vector<std::string> refusals;
  if (!out.empty()) {
    PackManifest made;
    std::vector<std::string> notes;
    const bool ok = makepack(input, out, options, made, refusals, notes);
    if (!asjson)
      for (const std::string& n : notes) std::printf("%s\n", n.c_str());
    report(ok, asjson, out, made, refusals);
    return ok ? 0 : 1;
  }
  if (!web.empty()) {
    if (from.empty()) from = besideprogram(argv[0]) + "build-web";
    const bool ok = writepacksite(input, from, web, refusals);
    for (const std::string& r : refusals) std::fprintf(stderr, "%s\n", r.c_str());
    if (ok) std::printf("%s: a site playing %s, from %s\n", web.c_str(), input.c_str(), from.c_str());
    return ok ? 0 : 1;
  }
  PackContents pack;
  const bool ok = checkpack(input, pack, refusals);
  report(ok, asjson, input, pack.manifest, refusals);
  return ok ? 0 : 1;
}
