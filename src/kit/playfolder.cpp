// Test-play folders: links to the game's data, the level as the first one,
// the files its chain of levels names, and the checks the game would fail.
#include "kit/playfolder.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "main/shell.h"
#include "kit/quietload.h"

namespace fs = std::filesystem;

namespace {

// One file name a level gives, as the game will open it: relative to its
// working folder.
struct Named {
  std::string name;
  const char* what;  // "foreground picture", "background picture", "next level"
};

std::vector<Named> namedfiles(const World& w) {
  std::vector<Named> names;
  if (w.foregroundname[0]) {
    names.push_back({std::string(w.foregroundname) + ".png", "foreground picture"});
    names.push_back({std::string(w.foregroundname) + ".a.png", "foreground alpha picture"});
  }
  if (w.backgroundname[0])
    names.push_back({std::string(w.backgroundname) + ".png", "background picture"});
  if (w.nextlevel[0]) names.push_back({w.nextlevel, "next level"});
  return names;
}

// A name that stays inside the folder: relative, no "..", and no folder on
// the way that is a link (it would lead into the game's data).
bool staysinside(const fs::path& folder, const std::string& name) {
  const fs::path rel(name);
  if (rel.empty() || rel.is_absolute()) return false;
  fs::path at = folder;
  for (const fs::path& part : rel.parent_path()) {
    if (part == "..") return false;
    at /= part;
    std::error_code ec;
    if (fs::is_symlink(at, ec)) return false;
  }
  return rel.filename() != "..";
}

// Links folder/name to source, replacing a link of the game's data there.
bool linkinto(const fs::path& folder, const std::string& name, const fs::path& source) {
  std::error_code ec;
  const fs::path target = folder / name;
  fs::create_directories(target.parent_path(), ec);
  fs::remove(target, ec);
  const fs::path from = fs::weakly_canonical(fs::absolute(source, ec), ec);
  fs::create_symlink(from, target, ec);
  return !ec;
}

bool ispng(const fs::path& file) {
  static const unsigned char signature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
  std::ifstream in(file, std::ios::binary);
  char head[8];
  if (!in.read(head, 8)) return false;
  for (int i = 0; i < 8; i++)
    if (static_cast<unsigned char>(head[i]) != signature[i]) return false;
  return true;
}

}  // namespace

bool layplayfolder(const std::string& gamedir, const std::string& level, PlayFolder& out,
                   std::string& err) {
  out = PlayFolder{};
  std::error_code ec;
  // 1. The folder, and a link to everything of the game's data in it.
  std::string pattern = (fs::temp_directory_path(ec) / "twinfold-play-XXXXXX").string();
  if (ec || !mkdtemp(pattern.data())) {
    err = pattern + ": cannot be made";
    return false;
  }
  const fs::path folder = pattern;
  for (fs::directory_iterator it(gamedir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name == firstlevel) continue;
    if (!linkinto(folder, name, it->path())) {
      err = (folder / name).string() + ": cannot be linked";
      removeplayfolder(folder.string());
      return false;
    }
  }
  if (ec) {
    err = gamedir + ": cannot be read";
    removeplayfolder(folder.string());
    return false;
  }
  // 2. The level as the first level.
  if (!fs::copy_file(level, folder / firstlevel, ec)) {
    err = level + ": cannot be copied into " + folder.string();
    removeplayfolder(folder.string());
    return false;
  }
  out.path = folder.string();

  // 3.-4. Each level of the chain, once: what it names beside it is linked
  // in, then what it names is looked for where the game will look.
  struct Level {
    std::string name;  // in the folder
    fs::path from;     // the folder it came from, where its files lie beside it
    std::string shown; // how warnings name it
  };
  std::vector<Level> todo = {{firstlevel, fs::path(level).parent_path(), level}};
  std::set<std::string> seen = {firstlevel};
  while (!todo.empty()) {
    const Level at = todo.back();
    todo.pop_back();
    std::string loaderr;
    std::unique_ptr<World> w = loadquiet((folder / at.name).string(), loaderr);
    if (!w) continue;
    for (const Named& n : namedfiles(*w)) {
      const fs::path beside = at.from / n.name;
      const bool inside = staysinside(folder, n.name);
      if (inside && n.name != firstlevel && fs::is_regular_file(beside, ec))
        linkinto(folder, n.name, beside);
      const fs::path where = fs::path(n.name).is_absolute() ? fs::path(n.name) : folder / n.name;
      if (!fs::is_regular_file(where, ec)) {
        out.warnings.push_back(at.shown + ": " + n.what + " " + n.name +
                               " not found beside it or in the game's data; the game will stop" +
                               (std::string(n.what) == "next level" ? " at the level's end"
                                                                    : " loading the level"));
        continue;
      }
      if (std::string(n.what) != "next level") {
        if (!ispng(where))
          out.warnings.push_back(at.shown + ": " + n.what + " " + n.name +
                                 " is not a PNG; the game will stop loading the level");
        continue;
      }
      if (inside && seen.insert(n.name).second) {
        const bool local = fs::is_regular_file(beside, ec);
        todo.push_back({n.name, local ? at.from : fs::path(gamedir),
                        local ? beside.string() : n.name});
      }
    }
  }
  return true;
}

void removeplayfolder(const std::string& path) {
  std::error_code ignored;
  if (!path.empty()) fs::remove_all(path, ignored);
}
