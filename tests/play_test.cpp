// Test-play: the folder laid out for one level (links to the game's data, the
// level first, its own files beside it, warnings for what the game would
// stop on), and twinfold-play running the real game on a display of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "e2e.h"
#include "content/pngwrite.h"
#include "kit/playfolder.h"
#include "tempdir.h"

namespace fs = std::filesystem;

namespace {

using e2e::slurp;
using e2e::waitfor;

int run(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void writepng(const std::string& path) {
  const uint8_t px[3] = {1, 2, 3};
  std::string err;
  ASSERT_TRUE(writepngfile(path, 1, 1, 3, px, false, err)) << err;
}

int entries(const std::string& dir) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(dir)) n += !e.path().empty();
  return n;
}

const std::string bin = TWINFOLD_BINARY_DIR;

}  // namespace

TEST(PlayFolder, LinksTheDataPutsTheLevelFirstAndWarnsOfWhatIsMissing) {
  TempDir data, mine;
  data.write("tutorial1.lvl", "setStartPosition(1, 1);\n");
  data.write("song.adx", "music");
  fs::create_directory(data / "audio");
  data.write("audio/pickup.wav", "sound");
  data.write("tutorial2.lvl", "setBackground(\"t2bg\");\n");
  writepng(data / "t2bg.png");
  const std::string level = mine.write(
      "mine.lvl", "setForeground(\"mine\");\nsetNextLevel(\"mine2.lvl\");\n");
  writepng(mine / "mine.png");
  mine.write("mine.a.png", "not a picture");
  mine.write("mine2.lvl", "setBackground(\"gone\");\nsetNextLevel(\"tutorial2.lvl\");\n");
  mine.write("song.adx", "named by no level");

  PlayFolder f;
  std::string err;
  ASSERT_TRUE(layplayfolder(data.path, level, f, err)) << err;
  const fs::path at = f.path;
  // The level is the first level, as a file of its own.
  EXPECT_FALSE(fs::is_symlink(at / "tutorial1.lvl"));
  EXPECT_EQ(slurp(at / "tutorial1.lvl"), slurp(level));
  // The game's data is linked, folders included, not copied.
  ASSERT_TRUE(fs::is_symlink(at / "song.adx"));
  EXPECT_EQ(fs::read_symlink(at / "song.adx"), fs::path(data / "song.adx"));
  EXPECT_TRUE(fs::is_symlink(at / "audio"));
  EXPECT_EQ(slurp(at / "audio/pickup.wav"), "sound");
  // What the chain names beside the level comes from there.
  EXPECT_EQ(fs::read_symlink(at / "mine.png"), fs::path(mine / "mine.png"));
  EXPECT_EQ(fs::read_symlink(at / "mine2.lvl"), fs::path(mine / "mine2.lvl"));
  EXPECT_FALSE(fs::exists(at / "mine.lvl"));
  EXPECT_EQ(fs::read_symlink(at / "tutorial2.lvl"), fs::path(data / "tutorial2.lvl"));
  // Two things would stop the game: an alpha picture that is no PNG and a
  // background no folder has. The game's own level that follows is sound.
  ASSERT_EQ(f.warnings.size(), 2u);
  std::string all = f.warnings[0] + "\n" + f.warnings[1];
  EXPECT_NE(all.find(level + ": foreground alpha picture mine.a.png is not a PNG"),
            std::string::npos) << all;
  EXPECT_NE(all.find((mine / "mine2.lvl") + ": background picture gone.png not found"),
            std::string::npos) << all;

  // Removed whole; the links' targets stay.
  removeplayfolder(f.path);
  EXPECT_FALSE(fs::exists(at));
  EXPECT_EQ(slurp(data / "audio/pickup.wav"), "sound");
  EXPECT_TRUE(fs::exists(mine / "mine.png"));
}

TEST(TwinfoldPlay, SaysWhatIsMissing) {
  // The program looks for the game beside itself: a copy alone in a folder
  // finds neither the data nor the game.
  TempDir dir;
  fs::copy_file(bin + "/twinfold-play", dir / "twinfold-play");
  const std::string tool = dir / "twinfold-play";
  const std::string level = dir.write("a.lvl", "buildGround(0, 1000, 0, 250);\n");
  const std::string err = dir / "err";
  EXPECT_EQ(run(tool + " " + level + " 2> " + err), 1);
  EXPECT_NE(slurp(err).find("game data not found"), std::string::npos) << slurp(err);
  fs::create_directory(dir / "game");
  EXPECT_EQ(run(tool + " " + level + " 2> " + err), 1);
  EXPECT_NE(slurp(err).find("the game not found"), std::string::npos) << slurp(err);
  EXPECT_EQ(run(tool + " " + (dir / "none.lvl") + " 2> " + err), 1);
  EXPECT_EQ(slurp(err), (dir / "none.lvl") + ": cannot be opened\n");
  EXPECT_EQ(run(tool + " 2> /dev/null"), 2);
  EXPECT_EQ(run(tool + " a b 2> /dev/null"), 2);
  EXPECT_EQ(run(tool + " --help > /dev/null"), 0);
}

// The real game on a display of the test's own, started by twinfold-play.
class TwinfoldPlayGame : public ::testing::Test {
 protected:
  std::unique_ptr<e2e::TestDisplay> display;  // ends after TearDown, with the fixture
  pid_t play = -1;

  void startdisplay() {
    display = std::make_unique<e2e::TestDisplay>();
    ASSERT_TRUE(display->ok()) << "could not start Xvfb";
  }
  void TearDown() override {
    if (play > 0) {
      kill(play, SIGTERM);
      waitpid(play, nullptr, 0);
    }
  }
};

TEST_F(TwinfoldPlayGame, NewGameStartsTheLevelAndTheFolderGoesWithTheGame) {
  struct stat st;
  ASSERT_EQ(stat((bin + "/game/tutorial1.lvl").c_str(), &st), 0) << "game data missing: run make";
  ASSERT_NO_FATAL_FAILURE(startdisplay());
  TempDir dir;
  fs::create_directory(dir / "tmp");
  const std::string level =
      dir.write("mine.lvl", "setStartPosition(321, 250);\nbuildGround(0, 2000, 0, 250);\n"
                            "setEndPosition(1800, 250);\n");
  const std::string out = dir / "out", err = dir / "err";
  play = fork();
  ASSERT_GE(play, 0);
  if (play == 0) {
    freopen(out.c_str(), "w", stdout);
    freopen(err.c_str(), "w", stderr);
    setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string tool = bin + "/twinfold-play";
    execl(tool.c_str(), "twinfold-play", level.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_TRUE(waitfor([&] { return slurp(out).find("wave loaded") != std::string::npos; }, 60000))
      << slurp(out) << slurp(err);
  EXPECT_EQ(entries(dir / "tmp"), 1) << "the game's folder";
  // New game, then through the introduction pages: the level loads.
  ASSERT_EQ(run("xdotool mousemove_relative -- -4000 -4000"), 0);
  ASSERT_EQ(run("xdotool mousemove_relative -- 700 138"), 0);
  for (int i = 0; i < 5; i++) ASSERT_EQ(run("xdotool click 1"), 0);
  ASSERT_TRUE(waitfor([&] {
    return slurp(out).find("start location: 321,250") != std::string::npos;
  }, 60000))
      << slurp(out) << slurp(err);
  // F12 ends the game, and with it the folder.
  int status = 0;
  ASSERT_TRUE(waitfor([&] {
    run("xdotool key F12");
    if (waitpid(play, &status, WNOHANG) != play) return false;
    play = -1;
    return true;
  }, 60000));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << slurp(err);
  EXPECT_EQ(entries(dir / "tmp"), 0) << "the game's folder was left behind";
  EXPECT_EQ(slurp(err).find("warning"), std::string::npos) << slurp(err);
}

TEST_F(TwinfoldPlayGame, TerminatedToolEndsTheGameAndRemovesTheFolder) {
  struct stat st;
  ASSERT_EQ(stat((bin + "/game/tutorial1.lvl").c_str(), &st), 0) << "game data missing: run make";
  ASSERT_NO_FATAL_FAILURE(startdisplay());
  TempDir dir;
  fs::create_directory(dir / "tmp");
  const std::string level = dir.write("mine.lvl", "buildGround(0, 2000, 0, 250);\n");
  const std::string out = dir / "out";
  play = fork();
  ASSERT_GE(play, 0);
  if (play == 0) {
    freopen(out.c_str(), "w", stdout);
    freopen("/dev/null", "w", stderr);
    setenv("TMPDIR", (dir / "tmp").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string tool = bin + "/twinfold-play";
    execl(tool.c_str(), "twinfold-play", level.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_TRUE(
      waitfor([&] { return slurp(out).find("wave loaded") != std::string::npos; }, 60000));
  // Only the tool is signalled; it passes the request on and waits.
  kill(play, SIGTERM);
  int status = 0;
  ASSERT_TRUE(waitfor([&] { return waitpid(play, &status, WNOHANG) == play; }, 30000));
  play = -1;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the game quit as on a closed window";
  EXPECT_EQ(entries(dir / "tmp"), 0);
}
