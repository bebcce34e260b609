// Level checker: summaries and problems of generated good and bad levels,
// next-level chains with and without a loop, and the program's exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tempdir.h"
#include "kit/levelcheck.h"

namespace {

// A level that only needs its end to be sound.
const char* endonly = "setEndPosition(10,10);\n";

// The first bytes of a PNG file up to its size: all the checker reads.
std::string pngheader(uint32_t w, uint32_t h) {
  std::string s("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (uint32_t v : {w, h})
    for (int shift = 24; shift >= 0; shift -= 8) s += char((v >> shift) & 0xff);
  return s + std::string("\x08\x06\0\0\0", 5);
}

// Runs the checker quietly and returns its exit status, or -1.
int runcheck(const std::string& args) {
  std::string program = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-check";
  int status = std::system((program + " " + args + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(LevelCheck, SoundLevel) {
  TempDir dir;
  std::string level = dir.write("one.lvl",
                                "buildGround(0,400,0,200);\n"
                                "setEndPosition(1000,50);\n"
                                "addShiftPickup(300,300);\n"
                                "setStartPosition(100,200);\n"
                                "setShiftCount(1);\n"
                                "setBackground(\"g.bg\");\n"
                                "setForeground(\"g\");\n"
                                "setNextLevel(\"two.lvl\");\n");
  dir.write("g.bg.png", pngheader(1024, 768));
  dir.write("g.png", pngheader(2048, 1024));
  dir.write("g.a.png", pngheader(2048, 1024));
  dir.write("two.lvl", endonly);

  LevelCheck c = checklevel(level);
  EXPECT_EQ(c.summary, level + ": 3 elements (1 solid, 2 items: 0 checkpoint, 1 end, 1 shift, "
                               "0 spikes, 0 viewmaster); start 100,200; shift count 1; next two.lvl");
  EXPECT_TRUE(c.problems.empty());
  EXPECT_TRUE(c.warnings.empty());
  EXPECT_EQ(c.next, dir.path + "/two.lvl");
}

TEST(LevelCheck, EveryProblemOnItsOwnLine) {
  TempDir dir;
  std::string level = dir.write("bad.lvl",
                                "buildGround(1,2,3,4);\n"
                                "wobble(1);\n"
                                "setForeground(\"fg\");\n"
                                "setBackground(\"bk\");\n"
                                "setNextLevel(\"gone.lvl\");\n");
  dir.write("fg.png", "not a picture");

  LevelCheck c = checklevel(level);
  std::vector<std::string> want = {
      level + ":2:1: unknown command: wobble",
      level + ":3:1: foreground picture is not a readable PNG: " + dir.path + "/fg.png",
      level + ":3:1: foreground picture missing: " + dir.path + "/fg.a.png",
      level + ":4:1: background picture missing: " + dir.path + "/bk.png",
      level + ": no end position",
      level + ":5:1: next level not found: " + dir.path + "/gone.lvl",
  };
  EXPECT_EQ(c.problems, want);

  LevelCheck missing = checklevel(dir.path + "/none.lvl");
  ASSERT_EQ(missing.problems.size(), 1u);
  EXPECT_EQ(missing.problems[0], dir.path + "/none.lvl: level file cannot be opened");
}

// Respawning gives back pickups past itemmask's bits as well (the world's
// PickupsPast32AreGivenBackExactly): nothing to warn about.
TEST(LevelCheck, PickupBeyondTheRespawnMaskIsFine) {
  TempDir dir;
  std::string text = endonly;  // item 1
  for (int i = 0; i < 31; i++) text += "addCheckPoint(0,0);\n";
  text += "addShiftPickup(5,5);\naddViewMasterPickup(5,5);\n";  // items 33 and 34
  std::string level = dir.write("many.lvl", text);

  LevelCheck c = checklevel(level);
  EXPECT_TRUE(c.problems.empty());
  EXPECT_EQ(c.warnings, std::vector<std::string>{});
}

TEST(LevelCheck, LexerTrapsArePlacedAtTheirLineAndColumn) {
  TempDir dir;
  dir.write("b.lvl", endonly);
  std::string level = dir.write("traps.lvl",
                                "setEndPosition(10,10);\n"
                                "  setNextLevel(\"b.lvl\");buildGround(0,100,0,20);\n"
                                "buildLedge(5, 6 ,7);\n"
                                "/* the flag (left) */\n"
                                "setShiftCount(x);\n");
  LevelCheck c = checklevel(level);
  std::vector<std::string> want = {
      level + ":2:3: the name of setNextLevel runs on into 'buildGround(0,100,0,20);', which "
              "is never read as commands: put a blank or line break after the ';'",
      level + ":3:1: buildLedge read 3 of its 4 numbers; the rest count as 0",
      level + ":4:4: unknown command: theflag",
      level + ":5:1: setShiftCount read 0 of its 1 numbers; the rest count as 0",
  };
  EXPECT_EQ(c.problems, want);
}

TEST(LevelCheck, PlacesThatSpoilPlay) {
  TempDir dir;
  dir.write("p.bg.png", pngheader(1000, 768));  // 1000 = 3 x 256 + 232: pixels lost
  dir.write("p.png", pngheader(1024, 768));
  dir.write("p.a.png", pngheader(1024, 512));
  std::string level = dir.write("spoilt.lvl",
                                "buildGround(0,2000,0,100);\n"      // 1
                                "setStartPosition(50,80);\n"        // 2: inside the floor
                                "addCheckPoint(400,100);\n"         // 3
                                "buildSpikes(480,520,100,110);\n"   // 4: a step from the flag
                                "buildSpikes(900,800,100,110);\n"   // 5: reversed
                                "setImageShift(1200,100);\n"        // 6: on the floor
                                "setBackground(\"p.bg\");\n"        // 7
                                "setForeground(\"p\");\n"           // 8
                                "setEndPosition(1900,100);\n");
  LevelCheck c = checklevel(level);
  std::vector<std::string> errors = {
      level + ":8:1: foreground alpha picture " + dir.path + "/p.a.png is 1024x512, its colour "
              "picture 1024x768: they must be the same size",
      level + ":2:1: the start 50,80 puts the hero inside a solid element",
      level + ":3:1: checkpoint touches the spikes at 4:1: a hero respawning there dies again "
              "at once",
  };
  EXPECT_EQ(c.problems, errors);
  ASSERT_EQ(c.warnings.size(), 2u);
  EXPECT_EQ(c.warnings[0].rfind(level + ":7:1: warning: background picture", 0), 0u)
      << c.warnings[0];
  EXPECT_EQ(c.warnings[1].rfind(level + ":5:1: warning: spikes with their corners reversed", 0),
            0u) << c.warnings[1];

  // Started on the floor, the hero can walk to the picture offset's checkpoint.
  std::string reach = dir.write("reach.lvl",
                                "buildGround(0,2000,0,100);\nsetStartPosition(50,100);\n"
                                "setImageShift(1200,100);\nsetEndPosition(1900,100);\n");
  c = checklevel(reach);
  EXPECT_TRUE(c.problems.empty());
  ASSERT_EQ(c.warnings.size(), 1u);
  EXPECT_EQ(c.warnings[0].rfind(reach + ":3:1: warning: the hero may reach the checkpoint", 0),
            0u) << c.warnings[0];
  // Shut in a room, it cannot.
  std::string walled = dir.write("walled.lvl",
                                 "buildGround(0,2000,0,100);\nbuildGround(0,2000,400,500);\n"
                                 "buildGround(-100,0,0,500);\nbuildGround(1000,1100,100,400);\n"
                                 "setStartPosition(50,100);\nsetImageShift(1200,100);\n"
                                 "setEndPosition(900,100);\n");
  EXPECT_TRUE(checklevel(walled).warnings.empty());
}

TEST(LevelCheck, ChainFollowsNextLevelsAndFindsLoops) {
  TempDir dir;
  std::string a = dir.write("a.lvl", std::string(endonly) + "setNextLevel(\"b.lvl\");");
  dir.write("b.lvl", std::string(endonly) + "setNextLevel(\"c.lvl\");");
  dir.write("c.lvl", endonly);

  std::vector<LevelCheck> chain = checkchain(a);
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_EQ(chain[2].path, dir.path + "/c.lvl");
  for (const LevelCheck& c : chain) EXPECT_TRUE(c.problems.empty()) << c.path;

  // c leads back to b: the loop is reported where it closes.
  dir.write("c.lvl", std::string(endonly) + "setNextLevel(\"b.lvl\");");
  chain = checkchain(a);
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_TRUE(chain[0].problems.empty());
  EXPECT_TRUE(chain[1].problems.empty());
  ASSERT_EQ(chain[2].problems.size(), 1u);
  EXPECT_EQ(chain[2].problems[0],
            dir.path + "/c.lvl: next level loops back to " + dir.path + "/b.lvl");
}

TEST(LevelCheck, ProgramExitStatus) {
  if (!std::filesystem::exists(std::string(TWINFOLD_BINARY_DIR) + "/twinfold-check"))
    GTEST_SKIP() << "twinfold-check is not built";
  TempDir dir;
  std::string good = dir.write("good.lvl", endonly);
  std::string bad = dir.write("bad.lvl", "buildGround(1,2,3,4);");
  std::string warned = dir.write("warned.lvl", "buildSpikes(9,1,1,9);setEndPosition(10,10);");
  EXPECT_EQ(runcheck(warned), 0);
  EXPECT_EQ(runcheck("--bogus"), 2);
  EXPECT_EQ(runcheck(good), 0);
  EXPECT_EQ(runcheck(bad), 1);
  EXPECT_EQ(runcheck(good + " " + bad), 1);
  EXPECT_EQ(runcheck("--chain " + good), 0);
  EXPECT_EQ(runcheck(""), 2);
}
