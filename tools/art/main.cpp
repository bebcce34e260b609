// twinfold-art: draws every picture of the game into a folder. Usage:
//   twinfold-art DATADIR OUTDIR
// writes the hero's sprite sheet and the pickup pictures, and for every level
// file DATADIR/levels/*.lvl its foreground and background pictures under the
// names the level gives them, in the colours of DATADIR/art/palettes.txt.
// The same sources always give the same bytes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hero.h"
#include "kit/quietload.h"
#include "levelart.h"

namespace {

constexpr int maxpicture = 8192;  // pixels, either side

const char usage[] =
    "usage: twinfold-art DATADIR OUTDIR\n"
    "Draws into OUTDIR the hero's sprite sheet, the pickup pictures and, for every\n"
    "level DATADIR/levels/*.lvl, the pictures it names, in the colours of\n"
    "DATADIR/art/palettes.txt. The same sources always give the same bytes.\n"
    "Exit status: 0 every picture written, 1 a source that cannot be read or a\n"
    "picture that cannot be drawn or written, 2 a wrong command line.\n";

bool writepair(const std::string& base, const Image& img) {
  bool ok = writebmp(base + ".bmp", img, false);
  return writebmp(base + ".a.bmp", img, true) && ok;
}

// Draws and writes one level's two pictures (those it names); false if they
// would be too large or a file cannot be written.
bool drawlevel(const std::string& path, const std::string& out,
               const std::map<std::string, Palette>& palettes) {
  std::string err;
  std::unique_ptr<World> loaded = loadquiet(path, err);
  if (!loaded) return false;
  const World& w = *loaded;
  int width = 0, height = 0;
  picturesize(w, &width, &height);
  // A level's pictures live in memory whole while they are drawn and again as
  // textures in the game; refuse sizes that no screen scrolls through.
  if (width > maxpicture || height > maxpicture) {
    std::fprintf(stderr, "twinfold-art: %s: pictures would be %d by %d; keep levels within %d\n",
                 path.c_str(), width, height, maxpicture);
    return false;
  }
  std::string fg = w.foregroundname, bg = w.backgroundname;
  auto found = palettes.find(fg);
  const Palette& p = found != palettes.end() ? found->second : palettes.at("default");
  bool ok = true;
  if (!fg.empty()) {
    Image img = drawforeground(w, p, width, height, nameseed(fg));
    ok = writepng(out + fg + ".png", img, false) && ok;
    ok = writepng(out + fg + ".a.png", img, true) && ok;
  }
  if (!bg.empty()) {
    ok = writepng(out + bg + ".png", drawbackground(p, width, height, nameseed(bg)), false) && ok;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && !std::strcmp(argv[1], "--help")) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (argc != 3 || argv[1][0] == '-' || argv[2][0] == '-') {
    std::fputs(usage, stderr);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  std::string data = argv[1], out = std::string(argv[2]) + "/";
  std::map<std::string, Palette> palettes;
  std::string err;
  if (!readpalettes(data + "/art/palettes.txt", palettes, err)) {
    std::fprintf(stderr, "twinfold-art: %s\n", err.c_str());
    return 1;
  }
  std::vector<std::string> levels;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(data + "/levels", ec)) {
    if (e.path().extension() == ".lvl") levels.push_back(e.path().string());
  }
  if (ec) {
    std::fprintf(stderr, "twinfold-art: cannot read %s/levels\n", data.c_str());
    return 1;
  }
  std::sort(levels.begin(), levels.end());

  // Two levels naming the same picture would have it written twice at once:
  // the first level by file name keeps it, a later one is reported and left out.
  bool ok = true;
  std::set<std::string> claimed;
  std::vector<std::string> drawable;
  for (const std::string& path : levels) {
    std::unique_ptr<World> w = loadquiet(path, err);
    if (!w) {
      std::fprintf(stderr, "twinfold-art: %s\n", err.c_str());
      ok = false;
      continue;
    }
    std::string names[2] = {w->foregroundname, w->backgroundname};
    bool clash = false;
    for (const std::string& n : names) clash = clash || (!n.empty() && claimed.count(n));
    if (clash) {
      std::fprintf(stderr, "twinfold-art: %s: its pictures are another level's; not drawn\n",
                   path.c_str());
      ok = false;
      continue;
    }
    for (const std::string& n : names) {
      if (!n.empty()) claimed.insert(n);
    }
    drawable.push_back(path);
  }

  Image sheet = drawspritesheet();
  ok = writebmp(out + "orvik_spritesheet.bmp", sheet, false) && ok;
  ok = writebmp(out + "orvik_spritesheet_alpha.bmp", sheet, true) && ok;
  ok = writepair(out + "viewmaster", drawviewmaster()) && ok;
  ok = writepair(out + "viewmaster_card", drawcard()) && ok;

  // Two workers take the levels in turn; each level's pictures depend only on
  // its own file, so the bytes do not depend on the order.
  std::vector<char> done(drawable.size(), 0);
  auto work = [&](size_t first) {
    for (size_t i = first; i < drawable.size(); i += 2) {
      done[i] = drawlevel(drawable[i], out, palettes);
    }
  };
  std::thread other(work, 1);
  work(0);
  other.join();
  for (size_t i = 0; i < drawable.size(); i++) {
    if (!done[i]) {
      std::fprintf(stderr, "twinfold-art: pictures of %s not written\n", drawable[i].c_str());
      ok = false;
    }
  }
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "twinfold-art: %zu levels and the sprite pictures in %.1f s\n",
               levels.size(), secs);
  return ok ? 0 : 1;
}
