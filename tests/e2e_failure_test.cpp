// Played: the files the game cannot do without, as a player meets their
// loss. A missing level ends the game on New game, broken or missing music
// and a missing picture end it at start-up, each with its one message and
// its exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <memory>

#include "e2e.h"

namespace {

using namespace e2e;

// Runs the game to its end; returns its exit status, or -1 if it did not end
// by itself.
int exitstatus(Game& game) {
  int status = 0;
  if (!game.waitexit(&status, 60000) || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(Failure, MissingLevelOnNewGame) {
  TestDisplay display;
  ASSERT_TRUE(display.ok());
  Game game({"tutorial1.lvl"});
  ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
  game.start();
  ASSERT_TRUE(game.waitstarted()) << game.logs();
  ASSERT_TRUE(pointer(700, 138));
  for (int i = 0; i < 5; i++) ASSERT_TRUE(click());
  EXPECT_EQ(exitstatus(game), 1) << game.logs();
  // The last line on standard error (SDL's disk audio driver announces itself
  // there first).
  std::string err = game.err();
  ASSERT_FALSE(err.empty());
  EXPECT_EQ(err.back(), '\n');
  EXPECT_EQ(lines(err).back(), "Error loading map: tutorial1.lvl") << game.logs();
}

// Without a display, or on one without OpenGL, there is no game: it ends at
// once after its banner with one line on standard error and status 1, instead
// of drawing nowhere for ever.
TEST(Failure, NoScreenEndsAtOnce) {
  enum Screen { none, unopened, noopengl };
  const struct {
    Screen screen;
    const char* where;
  } cases[] = {{none, "no display"}, {unopened, "a display that cannot be opened"},
               {noopengl, "a display without OpenGL"}};
  for (const auto& [screen, where] : cases) {
    std::unique_ptr<TestDisplay> display;
    if (screen == none) unsetenv("DISPLAY");
    if (screen == unopened) setenv("DISPLAY", ":1999", 1);
    if (screen == noopengl) {
      display.reset(new TestDisplay(false));
      ASSERT_TRUE(display->ok());
    }
    Game game;
    ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
    game.start();
    EXPECT_EQ(exitstatus(game), 1) << where << "\n" << game.logs();
    const std::vector<std::string> out = lines(game.out());
    ASSERT_EQ(out.size(), 2u) << where << "\n" << game.logs();
    EXPECT_EQ(out[0], "Twinfold Engine starting");
    const std::vector<std::string> err = lines(game.err());
    ASSERT_FALSE(err.empty()) << where;
    EXPECT_EQ(err.back().rfind("Error opening the screen: ", 0), 0u) << where << "\n" << game.logs();
  }
}

TEST(Failure, BrokenOrMissingMenuMusic) {
  TestDisplay display;
  ASSERT_TRUE(display.ok());
  struct Case {
    std::string bytes;  // the menu music's contents; empty for no file at all
    int code;
  };
  // Too short for a header: 2. A header whose channel count is 3: 3. No file: 1.
  std::string header(44, '\0');
  header[0] = char(0x80), header[4] = 3, header[5] = 18, header[6] = 4, header[7] = 3;
  for (const Case& c : {Case{"not music", 2}, Case{header, 3}, Case{"", 1}}) {
    Game game({"menu.adx"});
    ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
    if (!c.bytes.empty()) game.write("menu.adx", c.bytes);
    game.start();
    EXPECT_EQ(exitstatus(game), c.code) << game.logs();
    std::vector<std::string> out = lines(game.out());
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), "audio crash: " + std::to_string(c.code)) << game.logs();
  }
}

TEST(Failure, MissingPictureAtStartUp) {
  TestDisplay display;
  ASSERT_TRUE(display.ok());
  {
    Game game({"b3.bmp"});
    ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
    game.start();
    EXPECT_EQ(exitstatus(game), 1) << game.logs();
    EXPECT_EQ(game.err(), "Could not load bitmap: b3.bmp\n");
  }
  {
    // libpng's messages end without a line break.
    Game game({"orvik_intro03.png"});
    game.start();
    EXPECT_EQ(exitstatus(game), 1) << game.logs();
    EXPECT_EQ(game.err(), "[read_png_file] File orvik_intro03.png could not be opened for reading");
  }
}

}  // namespace
