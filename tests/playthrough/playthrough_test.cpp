// The whole game played by the real binary: New game, the introduction, all
// twenty levels in chain order by their shipped replays, the mid-game pages
// and the ending, fed by the input driver from one play script; and nothing
// (textures, memory) grows from one level load to the next.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "e2e.h"
#include "graphics/tiles.h"
#include "kit/playscript.h"
#include "kit/replay.h"
#include "world/world.h"

namespace {

struct Load {
  int frame;
  std::string name;
  long textures, rsskb;
};

std::vector<Load> loadsof(const std::string& report) {
  std::vector<Load> loads;
  for (const std::string& l : e2e::lines(report)) {
    std::istringstream in(l);
    std::string word, t, r;
    Load load{};
    if (in >> word && word == "load" && in >> load.frame >> load.name >> t >> load.textures >> r >>
                                            load.rsskb)
      loads.push_back(load);
  }
  return loads;
}

// Width and height of a PNG file from its header, 0 by 0 when unreadable.
void pngsize(const std::string& path, int* w, int* h) {
  const std::string bytes = e2e::slurp(path);
  *w = *h = 0;
  if (bytes.size() < 24) return;
  auto be32 = [&](size_t at) {
    return (static_cast<unsigned char>(bytes[at]) << 24) |
           (static_cast<unsigned char>(bytes[at + 1]) << 16) |
           (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
  };
  *w = static_cast<int>(be32(16));
  *h = static_cast<int>(be32(20));
}

// The textures a level's own two pictures take, a tile each.
long leveltextures(const World& w) {
  long n = 0;
  for (const char* name : {w.backgroundname, w.foregroundname}) {
    int pw = 0, ph = 0;
    pngsize(e2e::gamedata() + "/" + name + ".png", &pw, &ph);
    n += static_cast<long>(layertiles(pw, ph).size());
  }
  return n;
}

// The driver's snapshot: a binary PPM of 8-bit red, green, blue.
e2e::Shot ppm(const std::string& path) {
  const std::string bytes = e2e::slurp(path);
  std::istringstream in(bytes);
  std::string magic;
  int w = 0, h = 0, most = 0;
  e2e::Shot s;
  if (!(in >> magic >> w >> h >> most) || magic != "P6" || w <= 0 || h <= 0) return s;
  const size_t start = static_cast<size_t>(in.tellg()) + 1;
  if (bytes.size() < start + static_cast<size_t>(w) * h * 3) return s;
  s.width = w;
  s.height = h;
  s.rgb.assign(bytes.begin() + start, bytes.begin() + start + static_cast<size_t>(w) * h * 3);
  return s;
}

TEST(PlayThrough, EveryLevelInChainOrderByItsReplay) {
  e2e::Game game;
  if (!game.hasdata()) GTEST_SKIP() << "no game data: run make first";
  e2e::TestDisplay display;
  ASSERT_TRUE(display.ok());

  // 1. The chain as the game meets it, with each level's shipped replay.
  std::vector<std::string> chain;
  std::vector<long> owntextures;
  std::vector<std::vector<ReplayLine>> replays;
  for (std::string name = "tutorial1.lvl"; !name.empty() && chain.size() < 100;) {
    World w((e2e::gamedata() + "/" + name).c_str(), false);
    chain.push_back(name);
    owntextures.push_back(leveltextures(w));
    std::vector<ReplayLine> lines;
    std::string err;
    const std::string stem = name.substr(0, name.size() - 4);
    ASSERT_TRUE(readreplayfile(std::string(TWINFOLD_SOURCE_DIR) + "/data/levels/" + stem + ".replay",
                               lines, err))
        << err;
    replays.push_back(lines);
    name = w.nextlevel;
  }
  ASSERT_EQ(chain.size(), 20u);

  // 2. One script for the whole game, worked out on the game's own shell.
  const std::string snap = game.dir.file("ending.ppm");
  PlayScript script;
  std::string err;
  ASSERT_TRUE(makeplayscript(e2e::gamedata(), replays, snap, script, err)) << err;
  ASSERT_EQ(script.levels.size(), 20u);
  EXPECT_TRUE(script.ending);
  for (size_t i = 0; i < chain.size(); i++) {
    EXPECT_EQ(script.levels[i].name, chain[i]);
    EXPECT_GT(script.levels[i].endframe, script.levels[i].loadframe) << chain[i];
  }
  const std::string scriptpath = game.write("play.script", playscripttext(script));

  // 3. The real game plays it.
  const std::string report = game.dir.file("report");
  const char* preload = std::getenv("LD_PRELOAD");
  const std::string saved = preload ? preload : "";
  const std::string driver = std::string(TWINFOLD_BINARY_DIR) + "/libtwinfold_driver.so";
  setenv("LD_PRELOAD", (saved.empty() ? driver : driver + ":" + saved).c_str(), 1);
  setenv("TWINFOLD_SCRIPT", scriptpath.c_str(), 1);
  setenv("TWINFOLD_REPORT", report.c_str(), 1);
  game.start();
  if (saved.empty()) {
    unsetenv("LD_PRELOAD");
  } else {
    setenv("LD_PRELOAD", saved.c_str(), 1);
  }
  unsetenv("TWINFOLD_SCRIPT");
  unsetenv("TWINFOLD_REPORT");
  int status = -1;
  // Generous: the sanitizer build draws every frame several times slower.
  ASSERT_TRUE(game.waitexit(&status, 1500000)) << game.logs();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << game.logs();

  // 4. Every level loaded in chain order, each in the frame the script
  // expects: the one whose step reached the previous level's end.
  const std::vector<Load> loads = loadsof(e2e::slurp(report));
  ASSERT_EQ(loads.size(), chain.size()) << e2e::slurp(report);
  for (size_t i = 0; i < loads.size(); i++) {
    EXPECT_EQ(loads[i].name, chain[i]);
    EXPECT_EQ(loads[i].frame, script.levels[i].loadframe) << chain[i];
    if (i > 0) {
      EXPECT_EQ(loads[i].frame, script.levels[i - 1].endframe) << chain[i];
    }
  }
  // The levels' log lines in the same order.
  const std::string out = game.out();
  size_t at = 0;
  for (size_t i = 1; i < chain.size() && at != std::string::npos; i++) {
    at = out.find("next level: " + chain[i] + "\n", at);
    EXPECT_NE(at, std::string::npos) << chain[i];
  }

  // 5. Nothing grows: live textures after each load stay within that level's
  // own pictures of the first level's count; resident memory after the last
  // load within a bound of the first (see the guide).
  for (size_t i = 0; i < loads.size(); i++)
    EXPECT_LE(std::labs(loads[i].textures - loads[0].textures), owntextures[i] + owntextures[0])
        << chain[i];
  const long growthkb = loads.back().rsskb - loads[0].rsskb;
  EXPECT_LT(growthkb, 64 * 1024) << "resident memory grew by " << growthkb << " kB";

  // 6. The ending page as the player saw it.
  const e2e::Shot shown = ppm(snap);
  const e2e::Shot page = e2e::picture(e2e::gamedata() + "/orvik_end01.png");
  ASSERT_FALSE(shown.empty());
  EXPECT_LT(e2e::mismatches(shown, page, 8), 1024L * 768 / 100);
}

}  // namespace
