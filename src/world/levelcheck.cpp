// Level checker: headless load of a level, its summary line and its problems.
#include "world/levelcheck.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "world/world.h"

namespace fs = std::filesystem;

namespace {

// The respawn bookkeeping covers only this many items (itemmask's bits).
constexpr size_t maskbits = 32;

// A file named by the level, looked up in the level's own folder.
std::string beside(const std::string& level, const std::string& name) {
  return (fs::path(level).parent_path() / name).string();
}

bool isfile(const std::string& path) {
  std::error_code ignored;
  return fs::is_regular_file(path, ignored);
}

void needfile(LevelCheck& r, const char* what, const std::string& name, const char* suffix) {
  std::string file = beside(r.path, name + suffix);
  if (!isfile(file)) r.problems.push_back(r.path + ": " + what + " picture missing: " + file);
}

}  // namespace

LevelCheck checklevel(const std::string& path) {
  LevelCheck r;
  r.path = path;
  // The world would end the program on a file it cannot open; say so instead.
  FILE* f = std::fopen(path.c_str(), "r");
  if (!f) {
    r.summary = path + ": cannot be opened";
    r.problems.push_back(path + ": level file cannot be opened");
    return r;
  }
  std::fclose(f);

  World w(path.c_str(), false);

  int kinds[6] = {0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < w.items.size(); i++) {
    int k = w.items[i]->kind;
    if (k >= 0 && k < 6) kinds[k]++;
    bool pickup = k == kind_shift || k == kind_viewmaster;
    if (pickup && i >= maskbits)
      r.problems.push_back(path + ": pickup is item " + std::to_string(i + 1) +
                           ", beyond the first " + std::to_string(maskbits) +
                           " that respawning restores");
  }
  r.summary = path + ": " + std::to_string(w.boxes.size() + w.items.size()) + " elements (" +
              std::to_string(w.boxes.size()) + " solid, " + std::to_string(w.items.size()) +
              " items: " + std::to_string(kinds[kind_checkpoint]) + " checkpoint, " +
              std::to_string(kinds[kind_end]) + " end, " + std::to_string(kinds[kind_shift]) +
              " shift, " + std::to_string(kinds[kind_spikes]) + " spikes, " +
              std::to_string(kinds[kind_viewmaster]) + " viewmaster); start " +
              std::to_string(w.x) + "," + std::to_string(w.y) + "; shift count " +
              std::to_string(w.shiftcount) + "; next " +
              (w.nextlevel[0] ? std::string(w.nextlevel) : std::string("none"));

  for (const std::string& word : w.unknownwords)
    r.problems.push_back(path + ": unknown command: " + word);
  if (w.foregroundname[0]) {
    needfile(r, "foreground", w.foregroundname, ".png");
    needfile(r, "foreground", w.foregroundname, ".a.png");
  }
  if (w.backgroundname[0]) needfile(r, "background", w.backgroundname, ".png");
  if (kinds[kind_end] == 0) r.problems.push_back(path + ": no end position");
  if (w.nextlevel[0]) {
    r.next = beside(path, w.nextlevel);
    if (!isfile(r.next)) r.problems.push_back(path + ": next level not found: " + r.next);
  }
  return r;
}

std::vector<LevelCheck> checkchain(const std::string& first) {
  std::vector<LevelCheck> chain;
  std::set<std::string> seen;
  std::string path = first;
  for (;;) {
    std::error_code ignored;
    seen.insert(fs::weakly_canonical(path, ignored).string());
    chain.push_back(checklevel(path));
    LevelCheck& last = chain.back();
    if (last.next.empty() || !isfile(last.next)) break;
    if (seen.count(fs::weakly_canonical(last.next, ignored).string())) {
      last.problems.push_back(path + ": next level loops back to " + last.next);
      break;
    }
    path = last.next;
  }
  return chain;
}
