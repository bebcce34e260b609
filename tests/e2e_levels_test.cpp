// Played on levels of the test's own, drawn in the element view: a level end
// leading to the next level, the ending pages after the last one and a new
// game from the title; and a viewmaster pickup showing the mid-game page,
// after which the same world goes on, with the pickup heard over the song.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>

#include "e2e.h"

namespace {

using namespace e2e;

bool showspage(TestDisplay& display, const std::string& name) {
  Shot want = picture(gamedata() + "/" + name + ".png");
  return waitfor([&] { return mismatches(display.shot(), want, 4) == 0; });
}

// Clicks New game and through the four introduction pages.
void newgame() {
  ASSERT_TRUE(pointer(700, 138));
  for (int i = 0; i < 5; i++) ASSERT_TRUE(click());
}

void quitwithf12(Game& game) {
  int status = -1;
  ASSERT_TRUE(key("F12"));
  ASSERT_TRUE(game.waitexit(&status)) << game.logs();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << game.logs();
}

TEST(OwnLevels, EndLeadsToNextLevelThenEndingThenNewGame) {
  TestDisplay display;
  ASSERT_TRUE(display.ok());
  Game game;
  ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
  // Two levels, each with its end 100 pixels right of the hero's start.
  game.write("tutorial1.lvl",
             "setNextLevel(\"tutorial2.lvl\");\n"
             "setStartPosition(1000, 100);\n"
             "buildGround(0, 3000, 0, 100);\n"
             "setEndPosition(1150, 100);\n");
  game.write("tutorial2.lvl",
             "setStartPosition(2000, 200);\n"
             "buildGround(0, 4000, 0, 200);\n"
             "buildNonWallJumpGround(1700, 1800, 200, 300);\n"
             "setEndPosition(2150, 200);\n");
  const ElementView first{{{0, 3000, 0, 100, solid}, {1150, 1190, 100, 140, 2}}};
  const ElementView second{
      {{0, 4000, 0, 200, solid}, {1700, 1800, 200, 300, solid}, {2150, 2190, 200, 240, 2}}};
  game.start();
  ASSERT_TRUE(game.waitstarted()) << game.logs();
  ASSERT_NO_FATAL_FAILURE(newgame());
  ASSERT_TRUE(waitfor([&] { return first.shows(display.shot(), 1000, 100); }))
      << "the first level\n" << game.logs();

  // Walking into the end: the level fades and the next one loads.
  ASSERT_TRUE(keydown("Right"));
  bool next = game.waitout("start location: 2000,200");
  ASSERT_TRUE(keyup("Right"));
  ASSERT_TRUE(next) << game.logs();
  EXPECT_TRUE(waitfor([&] { return second.shows(display.shot(), 2000, 200); }))
      << "the second level at its start";

  // Its end has no next level: the two ending pages, then the title.
  ASSERT_TRUE(keydown("Right"));
  bool ending = showspage(display, "orvik_end01");
  ASSERT_TRUE(keyup("Right"));
  ASSERT_TRUE(ending) << "the first ending page\n" << game.logs();
  ASSERT_TRUE(click());
  ASSERT_TRUE(showspage(display, "orvik_end02"));
  ASSERT_TRUE(click());
  Shot title = picture(gamedata() + "/orvik_menu.png");
  const Rect titletext{0, 0, 590, 300};
  ASSERT_TRUE(waitfor([&] { return mismatches(display.shot(), title, 4, titletext) == 0; }));

  // No world is left: Resume does nothing, and the next click on New game
  // shows the introduction.
  ASSERT_TRUE(pointer(700, 230));
  ASSERT_TRUE(click());
  ASSERT_TRUE(pointer(700, 138));
  ASSERT_TRUE(click());
  EXPECT_TRUE(showspage(display, "orvik_intro01")) << "resume without a world did something";
  for (int i = 0; i < 4; i++) ASSERT_TRUE(click());
  EXPECT_TRUE(game.waitout("start location: 1000,100", 2)) << game.logs();
  EXPECT_TRUE(waitfor([&] { return first.shows(display.shot(), 1000, 100); }))
      << "the new game's first level";
  quitwithf12(game);
}

TEST(OwnLevels, ViewmasterShowsMidGamePageThenSameWorldWithPickupHeard) {
  TestDisplay display;
  ASSERT_TRUE(display.ok());
  Game game;
  ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
  // The hero falls from its start through the pickup onto the floor; a
  // block below the floor shows where the hero is.
  game.write("tutorial1.lvl",
             "setStartPosition(1000, 700);\n"
             "buildGround(0, 3000, 0, 100);\n"
             "buildGround(1100, 1140, -100, -60);\n"
             "addViewMasterPickup(1024, 620);\n");
  // Taken, the pickup is drawn grey and has raised the shift count to 1, so
  // the view draws an opaque copy and a faint one over it.
  const ElementView taken{{{0, 3000, 0, 100, solid}, {1100, 1140, -100, -60, solid}, {1008, 1040, 604, 636, 0}}, 1};
  game.start();
  ASSERT_TRUE(game.waitstarted()) << game.logs();
  ASSERT_NO_FATAL_FAILURE(newgame());

  // The mid-game page; a click resumes the same world: the hero has landed
  // where it fell.
  ASSERT_TRUE(showspage(display, "orvik_intro05")) << game.logs();
  ASSERT_TRUE(click());
  Shot s;
  EXPECT_TRUE(waitfor([&] { return taken.shows(s = display.shot(), 1000, 100); }))
      << "the world after the mid-game page";
  // It goes on: walking moves the hero, and the page does not come back.
  ASSERT_TRUE(keydown("Right"));
  bool walked = waitfor([&] { return !taken.shows(display.shot(), 1000, 100); });
  ASSERT_TRUE(keyup("Right"));
  ASSERT_TRUE(walked) << "the resumed world does not go on";
  EXPECT_GT(taken.findhero(display.steady(), 1001, 2000, 100), 1000) << "the hero went astray";
  EXPECT_EQ(count(game.out(), "start location: "), 1) << "the level was loaded again";
  quitwithf12(game);

  // Heard: the pickup's sound on top of the song, the same on both sides.
  Samples cap = capture(game.audiopath);
  size_t frames = cap.size() / 2;
  Samples song = decodemusic(gamedata() + "/song.adx", frames);
  Samples pickup = wavesamples(gamedata() + "/audio/pickup.wav");
  ASSERT_GT(pickup.size(), 2000u);
  long songstart = findmusic(cap, song, 0, 22050);
  ASSERT_GE(songstart, 0) << "the song is not in the capture";
  // The effects over the song; the pickup's sound is one of the sounds that
  // start there (the first steps of a level make a footstep too).
  Samples effects;
  long sides = 0;
  for (size_t f = size_t(songstart); f < frames; f++) {
    size_t m = f - size_t(songstart);
    int16_t l = int16_t(cap[2 * f] - song[2 * m]), r = int16_t(cap[2 * f + 1] - song[2 * m + 1]);
    sides += l != r;
    effects.push_back(l);
  }
  EXPECT_EQ(sides, 0) << "sound effects differ between left and right";
  size_t z = 0;
  while (pickup[z] == 0) z++;
  bool heard = false;
  for (size_t i = std::max<size_t>(z, 1); i < effects.size() && !heard; i++) {
    if (effects[i] == 0 || effects[i - 1] != 0) continue;
    size_t n = 0;
    while (n < 2000 && i - z + n < effects.size() && effects[i - z + n] == pickup[n]) n++;
    heard = n == 2000;
  }
  EXPECT_TRUE(heard) << "the pickup's sound is not heard over the song";
}

}  // namespace
