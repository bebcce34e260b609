// Level previews: colours at spots worked out from the level by hand, the
// replay's path over them, the PNG read back with the game's own reader, and
// the tool's answers to bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "graphics/bitmap.h"
#include "tempdir.h"
#include "kit/preview.h"
#include "kit/quietload.h"

namespace {

// Floor 0..400 under the start, three slopes facing three ways, spikes and a
// pickup. Elements are written x1, x2, y1, y2.
const char* const shapes =
    "setStartPosition(100, 100);\n"
    "buildGround(0, 400, 0, 100);\n"
    "buildTriangle(400, 600, 100, 300);\n"    // right angle at (400,100), high on the left
    "buildTriangle(1000, 800, 100, 300);\n"   // right angle at (1000,100), high on the right
    "buildTriangle(1100, 1300, 300, 100);\n"  // right angle at (1100,300): a ceiling
    "buildLedge(0, 200, 250, 260);\n"
    "buildSpikes(700, 800, 0, 20);\n"
    "addShiftPickup(300, 200);\n";

struct Preview {
  TempDir dir;
  std::unique_ptr<World> w;
  PreviewPicture pic;

  Preview(const std::string& level, int scale, const std::string& replay = "") {
    std::string err;
    w = loadquiet(dir.write("a.lvl", level), err);
    EXPECT_TRUE(w) << err;
    std::vector<ReplayLine> lines;
    std::istringstream in(replay);
    EXPECT_TRUE(readreplay(in, "r", lines, err)) << err;
    EXPECT_TRUE(previewlevel(*w, replay.empty() ? nullptr : &lines, scale, pic, nullptr, err))
        << err;
  }
  // The colour shown for level point (x, y).
  PreviewRgb at(int64_t x, int64_t y) const {
    int px, py;
    EXPECT_TRUE(pic.pixelof(x, y, &px, &py)) << x << "," << y;
    return pic.at(px, py);
  }
};

PreviewRgb ink(PreviewInk i) { return previewinks[i]; }

int run(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string slurp(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

const std::string tool = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-preview";

}  // namespace

TEST(Preview, ElementsByKindAndEachSlopeAsItsTriangle) {
  Preview p(shapes, 1);
  // Bounds 0..1300 by 0..300, 32 around: one pixel per level pixel.
  EXPECT_EQ(p.pic.width, 1300 + 64);
  EXPECT_EQ(p.pic.height, 300 + 64);
  EXPECT_EQ(p.at(200, 50), ink(ink_ground));
  EXPECT_EQ(p.at(399, 99), ink(ink_ground));
  EXPECT_EQ(p.at(400, 50), ink(ink_background)) << "ground ends at x 400";
  EXPECT_EQ(p.at(200, 150), ink(ink_background));
  EXPECT_EQ(p.at(100, 255), ink(ink_ledge));
  EXPECT_EQ(p.at(750, 10), ink(ink_spikes));
  EXPECT_EQ(p.at(300, 200), ink(ink_shiftpickup));  // 284..316 by 184..216
  EXPECT_EQ(p.at(283, 200), ink(ink_background));
  // High on the left: filled near the right angle and under the slope from
  // (400, 300) to (600, 100), empty above it.
  EXPECT_EQ(p.at(420, 120), ink(ink_slope));
  EXPECT_EQ(p.at(490, 190), ink(ink_slope));
  EXPECT_EQ(p.at(510, 210), ink(ink_background));
  EXPECT_EQ(p.at(580, 280), ink(ink_background));
  // High on the right: the mirror image.
  EXPECT_EQ(p.at(980, 120), ink(ink_slope));
  EXPECT_EQ(p.at(910, 190), ink(ink_slope));
  EXPECT_EQ(p.at(890, 210), ink(ink_background));
  EXPECT_EQ(p.at(820, 280), ink(ink_background));
  // A ceiling: filled along its top edge, empty in the lower right.
  EXPECT_EQ(p.at(1120, 280), ink(ink_slope));
  EXPECT_EQ(p.at(1190, 210), ink(ink_slope));
  EXPECT_EQ(p.at(1210, 190), ink(ink_background));
  EXPECT_EQ(p.at(1280, 120), ink(ink_background));
  // The start: the hero box's outline at 100..148 by 100..160, open inside.
  EXPECT_EQ(p.at(100, 100), ink(ink_start));
  EXPECT_EQ(p.at(147, 159), ink(ink_start));
  EXPECT_EQ(p.at(124, 130), ink(ink_background));
  // Picture up is level up: the top row shows the top margin.
  EXPECT_EQ(p.pic.at(50, 0), ink(ink_background));
  EXPECT_EQ(p.pic.at(50, p.pic.height - 1 - 32), ink(ink_ground)) << "y 0 is 32 rows up";
}

TEST(Preview, ScaleDividesTheSidesAndKeepsWhatLiesUnderEachPixel) {
  Preview p(shapes, 4);
  EXPECT_EQ(p.pic.width, 341);  // 1364 / 4
  EXPECT_EQ(p.pic.height, 91);  // 364 / 4
  EXPECT_EQ(p.at(200, 50), ink(ink_ground));
  EXPECT_EQ(p.at(420, 120), ink(ink_slope));
  EXPECT_EQ(p.at(580, 280), ink(ink_background));
  // The default for a small level is 2.
  Preview d(shapes, 0);
  EXPECT_EQ(d.pic.scale, 2);
}

TEST(Preview, ReplayPathThroughEveryStepAndShiftsMarked) {
  // Standing at the start, a fold of 32 carries the hero 32 to the right;
  // at once again, canshift is clear: nothing can start. Then a walk.
  const std::string level =
      "setStartPosition(100, 100); setShiftCount(1);\n"
      "buildGround(0, 2000, 0, 100);\n";
  const std::string replay = "5 -\nSHIFT -32 0\nSHIFT -32 0\n40 R\n";
  Preview p(level, 1, replay);
  EXPECT_EQ(p.w->x, 100) << "the world is drawn as loaded";
  // The carried shift: a line from centre (124, 130) to (156, 130).
  EXPECT_EQ(p.at(140, 130), ink(ink_shiftcarried));
  EXPECT_EQ(p.at(156, 131), ink(ink_shiftcarried)) << "the square at the destination";
  // The idle one: a cross on the spot, three pixels along each diagonal.
  EXPECT_EQ(p.at(159, 127), ink(ink_shiftidle));
  EXPECT_EQ(p.at(153, 133), ink(ink_shiftidle));
  // Every position the step gives the hero on a separate run lies on the path.
  std::string err;
  std::unique_ptr<World> again = loadquiet(p.dir / "a.lvl", err);
  std::vector<ReplayLine> lines;
  std::istringstream in(replay);
  ASSERT_TRUE(readreplay(in, "r", lines, err));
  int checked = 0;
  playreplay(*again, lines, [&](const World& v, const ReplayEvent& e) {
    if (e.kind != ReplayEvent::stepped || v.x < 170) return;
    EXPECT_EQ(p.at(int64_t{v.x} + 24, int64_t{v.y} + 30), ink(ink_path)) << "step " << e.steps;
    checked++;
  });
  EXPECT_GT(checked, 20);
  EXPECT_GT(again->x, 300) << "the walk went somewhere";
  EXPECT_EQ(p.at(500, 130), again->x > 500 + 24 ? ink(ink_path) : ink(ink_background));
  EXPECT_EQ(p.at(124, 180), ink(ink_background));
}

TEST(Preview, DeathBreaksThePathAtTheRespawn) {
  // Walking right off the floor into a spiked pit: the hero is put back at
  // the start, and no line runs back from the pit over the floor.
  const std::string level =
      "setStartPosition(100, 100);\n"
      "buildGround(0, 300, 0, 100);\n"
      "buildGround(300, 600, -200, -100);\n"
      "buildSpikes(300, 600, -100, -90);\n";
  Preview p(level, 1, "80 R\n");
  EXPECT_EQ(p.at(200, 130), ink(ink_path)) << "walked over";
  int pathpixels = 0;
  for (int x = 130; x < 290; x++)
    for (int y = 0; y < 126; y++) pathpixels += p.at(x, y) == ink(ink_path);
  EXPECT_EQ(pathpixels, 0) << "a line was drawn from the pit back to the start";
  bool fell = false;
  for (int x = 300; x < 600 && !fell; x++)
    for (int y = -90; y < 0 && !fell; y++) fell = p.at(x, y) == ink(ink_path);
  EXPECT_TRUE(fell) << "the path does not go down into the pit";
}

TEST(Preview, AFallOutOfTheLevelIsCutOffNotDrawnWhole) {
  // Off the end of a floor and down for some 300 steps, thousands of pixels:
  // the picture reaches 512 below the floor and the path runs off its edge.
  Preview p("setStartPosition(100, 100);\nbuildGround(0, 400, 0, 100);\n", 1,
            "120 R\n300 -\n");
  EXPECT_EQ(p.pic.height, 160 + 512 + 64);
  int bottom = 0;
  for (int x = 0; x < p.pic.width; x++) bottom += p.pic.at(x, p.pic.height - 1) == ink(ink_path);
  EXPECT_GT(bottom, 0) << "the fall does not reach the picture's lower edge";
}

TEST(PreviewTool, WritesAPngTheGameReadsAndRefusesBadInput) {
  TempDir dir;
  const std::string level = dir.write("a.lvl", shapes);
  const std::string out = dir / "a.png";
  ASSERT_EQ(run(tool + " " + level + " " + out + " --scale 1 > " + (dir / "log") + " 2>&1"), 0)
      << slurp(dir / "log");
  EXPECT_NE(slurp(dir / "log").find("1364 by 364 pixels at scale 1"), std::string::npos)
      << slurp(dir / "log");
  {
    testing::internal::CaptureStdout();  // the reader logs the PNG header
    Bitmap b(out.c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(b.width, 1364);
    ASSERT_EQ(b.height, 364);
    // Level (200, 50) is column 232, row 364 - 1 - 82; blue, green, red.
    const unsigned char* px = b.pixels + (364 - 1 - 82) * b.pitch + 232 * 4;
    EXPECT_EQ(px[2], ink(ink_ground).r);
    EXPECT_EQ(px[1], ink(ink_ground).g);
    EXPECT_EQ(px[0], ink(ink_ground).b);
  }

  // Each failure: one line on standard error, exit 1, nothing written.
  auto fails = [&](const std::string& args, const std::string& want) {
    const std::string err = dir / "err";
    EXPECT_EQ(run(tool + " " + args + " > /dev/null 2> " + err), 1) << args;
    const std::string text = slurp(err);
    EXPECT_NE(text.find(want), std::string::npos) << args << ": " << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
  };
  std::filesystem::remove(out);
  fails(dir / "none.lvl " + out, dir / "none.lvl: cannot be opened");
  dir.write("bad.replay", "# route\n10 R\n3 RX\n");
  fails(level + " " + out + " --replay " + (dir / "bad.replay"), dir / "bad.replay:3:");
  dir.write("odd.replay", "SHIFT 3 0\n");
  fails(level + " " + out + " --replay " + (dir / "odd.replay"), dir / "odd.replay:1:");
  fails(level + " " + (dir / "no/such/folder.png"), "cannot be written");
  std::filesystem::create_directory(dir / "taken.png");
  fails(level + " " + (dir / "taken.png"), "cannot be written");
  dir.write("huge.lvl", "buildGround(-2000000000, 2000000000, 0, 100);\n");
  fails(dir / "huge.lvl " + out + " --scale 1", "try --scale");
  EXPECT_FALSE(std::filesystem::exists(out));
  // Nothing else was left in the folder: no temporary files.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir.path)) {
    (void)e;
    files++;
  }
  EXPECT_EQ(files, 7) << "a.lvl, log, err, two replays, taken.png and huge.lvl";

  EXPECT_EQ(run(tool + " > /dev/null 2>&1"), 2);
  EXPECT_EQ(run(tool + " " + level + " " + out + " --scale 0 > /dev/null 2>&1"), 2);
  EXPECT_EQ(run(tool + " " + level + " " + out + " --frobnicate > /dev/null 2>&1"), 2);
  EXPECT_EQ(run(tool + " --help > /dev/null"), 0);
}
