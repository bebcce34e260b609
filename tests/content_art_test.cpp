// The art generator: the pictures it writes load with the game's own picture
// reader, show the level's elements where they collide, have tile-friendly
// sizes, and come out byte for byte the same on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "graphics/bitmap.h"
#include "tempdir.h"

namespace {

const std::string arttool = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-art";

// A small level: floor, a floor slope high at the left, a plank, a metal wall
// and spikes; its pictures start at (-64, -32).
const char* smalllevel =
    "setImageShift(-64, -32);\n"
    "setForeground(\"small\"); setBackground(\"small.bg\");\n"
    "buildGround(0, 600, 0, 100);\n"
    "buildTriangle(100, 300, 100, 200);\n"
    "buildLedge(350, 450, 192, 200);\n"
    "buildNonWallJumpGround(500, 540, 100, 300);\n"
    "buildSpikes(300, 340, 100, 116);\n"
    "setEndPosition(560, 100);\n";

const char* testpalette =
    "# test colours\ndefault 000080 8080ff 808080 406040 40c040 806040 909090 ffffc0\n";

// Fills a data folder with one level and a palette file.
void makedata(const TempDir& data, const std::string& name, const std::string& level,
              const std::string& palettes) {
  std::filesystem::create_directories(data.path + "/levels");
  std::filesystem::create_directories(data.path + "/art");
  data.write("levels/" + name, level);
  data.write("art/palettes.txt", palettes);
}

// Runs the generator from data into out, its messages into data/err; returns
// its exit status.
int runtool(const TempDir& data, const std::string& out) {
  std::filesystem::create_directories(out);
  std::string cmd =
      "'" + arttool + "' '" + data.path + "' '" + out + "' 2>'" + data.path + "/err'";
  return std::system(cmd.c_str());
}

// Runs the generator on a data folder holding the small level.
int runart(const TempDir& data, const std::string& out) {
  makedata(data, "small.lvl", smalllevel, testpalette);
  return runtool(data, out);
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Opacity of the level point (x, y) in a foreground alpha picture whose lower
// left corner is at level (ox, oy); rows are top first.
int alphaat(const Bitmap& a, int ox, int oy, int x, int y) {
  int col = x - ox, row = a.height - 1 - (y - oy);
  return a.pixels[row * a.pitch + col * a.bytespp];
}

// Each test gets a fresh data folder and the generator's pictures of it in
// out; the generator must have been built (make build builds it).
class ContentArt : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(arttool)) << "build twinfold-art first";
    out = data.path + "/out";
  }
  TempDir data;
  std::string out;
};

}  // namespace

TEST_F(ContentArt, LevelPicturesShowWhatCollides) {
  ASSERT_EQ(runart(data, out), 0);

  Bitmap colour((out + "/small.png").c_str());
  Bitmap alpha((out + "/small.a.png").c_str());
  Bitmap back((out + "/small.bg.png").c_str());
  // Elements span x 0..600, y 0..300; with the same margin on the far sides
  // that is 728 by 364, rounded up to whole 256 tiles.
  EXPECT_EQ(colour.width, 768);
  EXPECT_EQ(colour.height, 512);
  EXPECT_EQ(alpha.width, colour.width);
  EXPECT_EQ(alpha.height, colour.height);
  EXPECT_EQ(back.width, colour.width);
  EXPECT_EQ(back.height, colour.height);

  // Solid where the elements are, clear where the hero walks.
  EXPECT_EQ(alphaat(alpha, -64, -32, 50, 50), 255);     // inside the floor
  // Grass tufts stand at most 6 pixels above a surface.
  EXPECT_EQ(alphaat(alpha, -64, -32, 50, 108), 0);      // above the floor
  EXPECT_EQ(alphaat(alpha, -64, -32, 520, 250), 255);   // the metal wall
  EXPECT_EQ(alphaat(alpha, -64, -32, 400, 195), 255);   // the plank
  EXPECT_EQ(alphaat(alpha, -64, -32, 400, 180), 0);     // under the plank
  // The slope falls from (100, 200) to (300, 100): at x = 200 its top is 150.
  EXPECT_EQ(alphaat(alpha, -64, -32, 200, 146), 255);
  EXPECT_EQ(alphaat(alpha, -64, -32, 200, 158), 0);
  // Spikes are drawn inside their square and nothing above it.
  EXPECT_EQ(alphaat(alpha, -64, -32, 310, 104), 255);  // a tooth, 20 wide, tip at 310
  EXPECT_EQ(alphaat(alpha, -64, -32, 320, 130), 0);
  // Below the floor and beside the elements the picture is rock.
  EXPECT_EQ(alphaat(alpha, -64, -32, -60, 150), 255);
}

TEST_F(ContentArt, HeroSheetAndPickupsLoadAsTheGameReadsThem) {
  ASSERT_EQ(runart(data, out), 0);

  Bitmap sheet((out + "/orvik_spritesheet.bmp").c_str());
  Bitmap sheetalpha((out + "/orvik_spritesheet_alpha.bmp").c_str());
  ASSERT_EQ(sheet.width, 512);
  ASSERT_EQ(sheet.height, 512);
  EXPECT_EQ(sheet.bytespp, 4);  // the world reads the sheet at 4 bytes a pixel
  EXPECT_EQ(sheetalpha.bytespp, 4);
  auto opacity = [&](int x, int y) { return sheetalpha.pixels[y * sheetalpha.pitch + x * 4]; };
  // Every frame of the animations has the hero in the middle of its cell:
  // walk 0-4, idle 8-10, wall slide 11, wall jump 16-20, run 24-33,
  // airborne 40-45. Frames the animations never show stay empty.
  for (int f = 0; f < 64; f++) {
    bool used = f <= 4 || (f >= 8 && f <= 11) || (f >= 16 && f <= 20) || (f >= 24 && f <= 33) ||
                (f >= 40 && f <= 45);
    int cx = (f % 8) * 60 + 30, cy = (f / 8) * 60 + 30;
    if (used) {
      EXPECT_EQ(opacity(cx, cy), 255) << "frame " << f;
    } else {
      EXPECT_EQ(opacity(cx, cy), 0) << "frame " << f;
    }
  }
  // The hero's feet touch the bottom of the cell in a standing frame (8):
  // something opaque within the cell's lowest 4 rows, rows counted from the top.
  int lowest = 0;
  for (int y = 60 + 56; y < 60 + 60; y++) {
    for (int x = 0; x < 60; x++) lowest = std::max(lowest, int(opacity(x, y)));
  }
  EXPECT_EQ(lowest, 255);

  for (const char* name : {"viewmaster", "viewmaster_card"}) {
    Bitmap c((out + "/" + name + ".bmp").c_str());
    Bitmap a((out + "/" + name + ".a.bmp").c_str());
    EXPECT_EQ(c.width, 32) << name;
    EXPECT_EQ(c.height, 32) << name;
    EXPECT_EQ(a.pixels[16 * a.pitch + 8 * a.bytespp], 255) << name << " opaque inside";
    EXPECT_EQ(a.pixels[0], 0) << name << " clear in the corner";
  }
}

TEST_F(ContentArt, SameSourcesGiveTheSameBytes) {
  ASSERT_EQ(runart(data, data.path + "/one"), 0);
  ASSERT_EQ(runart(data, data.path + "/two"), 0);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(data.path + "/one")) {
    std::string name = e.path().filename().string();
    EXPECT_EQ(slurp(e.path().string()), slurp(data.path + "/two/" + name)) << name;
    files++;
  }
  // Sheet and its alpha, two pickups with alphas, and the level's three.
  EXPECT_EQ(files, 9);
}

TEST_F(ContentArt, BadPaletteFileStopsWithAMessage) {
  makedata(data, "small.lvl", smalllevel, "default 000080 nothex\n");
  EXPECT_NE(runtool(data, out), 0);
  EXPECT_NE(slurp(data.path + "/err").find("palettes.txt:1"), std::string::npos);
}

TEST_F(ContentArt, OversizedLevelIsRefused) {
  makedata(data, "wide.lvl", "setForeground(\"wide\"); buildGround(0, 9000, 0, 100);",
           testpalette);
  EXPECT_NE(runtool(data, out), 0);
  EXPECT_NE(slurp(data.path + "/err").find("wide.lvl: pictures would be 9216 by 256"),
            std::string::npos)
      << slurp(data.path + "/err");
  EXPECT_FALSE(std::filesystem::exists(out + "/wide.png"));
}

TEST_F(ContentArt, TwoLevelsNamingOnePictureAreReported) {
  makedata(data, "a.lvl", "setForeground(\"same\"); buildGround(0, 300, 0, 100);", testpalette);
  data.write("levels/b.lvl", "setForeground(\"same\"); buildGround(0, 600, 0, 100);");
  EXPECT_NE(runtool(data, out), 0);
  EXPECT_NE(slurp(data.path + "/err").find("b.lvl: its pictures are another level's"),
            std::string::npos)
      << slurp(data.path + "/err");
  // The first level by name keeps the picture: 300 wide rounds up to 512
  // (the other level's would be 768).
  Bitmap kept((out + "/same.png").c_str());
  EXPECT_EQ(kept.width, 512);
}
