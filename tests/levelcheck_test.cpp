// Level checker: summaries and problems of generated good and bad levels,
// next-level chains with and without a loop, and the program's exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tempdir.h"
#include "world/levelcheck.h"

namespace {

// A level that only needs its end to be sound.
const char* endonly = "setEndPosition(10,10);\n";

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
  dir.write("g.bg.png", "");
  dir.write("g.png", "");
  dir.write("g.a.png", "");
  dir.write("two.lvl", endonly);

  testing::internal::CaptureStdout();
  LevelCheck c = checklevel(level);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(c.summary, level + ": 3 elements (1 solid, 2 items: 0 checkpoint, 1 end, 1 shift, "
                               "0 spikes, 0 viewmaster); start 100,200; shift count 1; next two.lvl");
  EXPECT_TRUE(c.problems.empty());
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
  dir.write("fg.png", "");

  testing::internal::CaptureStdout();
  LevelCheck c = checklevel(level);
  testing::internal::GetCapturedStdout();
  std::vector<std::string> want = {
      level + ": unknown command: wobble",
      level + ": foreground picture missing: " + dir.path + "/fg.a.png",
      level + ": background picture missing: " + dir.path + "/bk.png",
      level + ": no end position",
      level + ": next level not found: " + dir.path + "/gone.lvl",
  };
  EXPECT_EQ(c.problems, want);

  LevelCheck missing = checklevel(dir.path + "/none.lvl");
  ASSERT_EQ(missing.problems.size(), 1u);
  EXPECT_EQ(missing.problems[0], dir.path + "/none.lvl: level file cannot be opened");
}

TEST(LevelCheck, PickupBeyondTheRespawnMask) {
  TempDir dir;
  std::string text = endonly;  // item 1
  for (int i = 0; i < 31; i++) text += "addCheckPoint(0,0);\n";
  text += "addShiftPickup(5,5);\naddViewMasterPickup(5,5);\n";  // items 33 and 34
  std::string level = dir.write("many.lvl", text);

  testing::internal::CaptureStdout();
  LevelCheck c = checklevel(level);
  testing::internal::GetCapturedStdout();
  std::vector<std::string> want = {
      level + ": pickup is item 33, beyond the first 32 that respawning restores",
      level + ": pickup is item 34, beyond the first 32 that respawning restores",
  };
  EXPECT_EQ(c.problems, want);
}

TEST(LevelCheck, ChainFollowsNextLevelsAndFindsLoops) {
  TempDir dir;
  std::string a = dir.write("a.lvl", std::string(endonly) + "setNextLevel(\"b.lvl\");");
  dir.write("b.lvl", std::string(endonly) + "setNextLevel(\"c.lvl\");");
  dir.write("c.lvl", endonly);

  testing::internal::CaptureStdout();
  std::vector<LevelCheck> chain = checkchain(a);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_EQ(chain[2].path, dir.path + "/c.lvl");
  for (const LevelCheck& c : chain) EXPECT_TRUE(c.problems.empty()) << c.path;

  // c leads back to b: the loop is reported where it closes.
  dir.write("c.lvl", std::string(endonly) + "setNextLevel(\"b.lvl\");");
  testing::internal::CaptureStdout();
  chain = checkchain(a);
  testing::internal::GetCapturedStdout();
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
  EXPECT_EQ(runcheck(good), 0);
  EXPECT_EQ(runcheck(bad), 1);
  EXPECT_EQ(runcheck(good + " " + bad), 1);
  EXPECT_EQ(runcheck("--chain " + good), 0);
  EXPECT_EQ(runcheck(""), 2);
}
