// The whole game played by the real binary: New game, the introduction, all
// twenty levels in chain order by their shipped replays, the mid-game pages
// and the ending, fed by the input driver from one play script; and nothing
// (textures, memory) grows from one level load to the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "e2e.h"
#include "graphics/bitmap.h"
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

// What a level's own two pictures take: textures (a tile each) and bytes.
struct PictureCost {
  long textures = 0;
  long long texelbytes = 0;   // the tiles' texels, four bytes each
  long long decodebytes = 0;  // the largest picture decoded with its alpha picture
};

PictureCost picturecost(const World& w) {
  PictureCost c;
  for (const char* name : {w.backgroundname, w.foregroundname}) {
    int pw = 0, ph = 0;
    EXPECT_TRUE(pngsize(e2e::gamedata() + "/" + name + ".png", &pw, &ph)) << name;
    for (const LayerTile& t : layertiles(pw, ph)) {
      c.textures++;
      c.texelbytes += 4LL * t.w * t.h;
    }
    c.decodebytes = std::max(c.decodebytes, 2 * 4LL * pw * ph);
  }
  return c;
}

// The game under test is built as this test is.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

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
  std::vector<PictureCost> own;
  std::vector<std::vector<ReplayLine>> replays;
  for (std::string name = "tutorial1.lvl"; !name.empty() && chain.size() < 100;) {
    World w((e2e::gamedata() + "/" + name).c_str(), false);
    chain.push_back(name);
    own.push_back(picturecost(w));
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
  game.start(std::string(TWINFOLD_BINARY_DIR) + "/libtwinfold_driver.so",
             {{"TWINFOLD_SCRIPT", scriptpath}, {"TWINFOLD_REPORT", report}});
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

  // 5. Nothing grows. Live textures after each load stay within that level's
  // own pictures of the first level's count.
  for (size_t i = 0; i < loads.size(); i++)
    EXPECT_LE(std::labs(loads[i].textures - loads[0].textures), own[i].textures + own[0].textures)
        << chain[i];
  // Resident memory: the heap keeps what it grew to, so after the last load
  // it may hold as much as the costliest load ever needed: that level's
  // textures with its larger picture still decoded, less what the first
  // level's textures already took, and 32 MB for the allocator's and the
  // driver's own rounding. A leak of a level's pictures on every load passes
  // that by far. And the last load, smaller than the largest, must not raise
  // the highest mark the earlier loads left, beyond that rounding.
  long long peak = 0;
  for (const PictureCost& c : own) peak = std::max(peak, c.texelbytes + c.decodebytes);
  long long boundkb = (peak - own[0].texelbytes) / 1024 + 32 * 1024;
  // AddressSanitizer holds freed blocks back in a quarantine of up to 256 MB
  // before it reuses them, and shadows the heap with an eighth of its size.
  if (sanitized) boundkb += 256 * 1024 + peak / 8 / 1024;
  const long growthkb = loads.back().rsskb - loads[0].rsskb;
  EXPECT_LE(growthkb, boundkb) << "resident memory grew by " << growthkb << " kB";
  long highest = 0;
  for (size_t i = 0; i + 1 < loads.size(); i++) highest = std::max(highest, loads[i].rsskb);
  EXPECT_LE(loads.back().rsskb, highest + 32 * 1024) << e2e::slurp(report);

  // 6. The ending page as the player saw it.
  const e2e::Shot shown = ppm(snap);
  const e2e::Shot page = e2e::picture(e2e::gamedata() + "/orvik_end01.png");
  ASSERT_FALSE(shown.empty());
  EXPECT_LT(e2e::mismatches(shown, page, 8), 1024L * 768 / 100);
}

}  // namespace
