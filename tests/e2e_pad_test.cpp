// Played with a pad alone: a virtual pad of the common layout, plugged into
// the real game by a preload library (libtwinfold_virtualpad.so, made with
// SDL2's virtual joystick beneath SDL 1.2), clicks through the title and the
// introduction, walks to a wall, jumps, shifts through the wall, walks into
// the level end and clicks through the ending pages to Quit.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "e2e.h"

namespace {

using namespace e2e;

// The game-controller layout: buttons and axes as SDL2 numbers them.
constexpr int south = 0, east = 1, dpadup = 11, dpaddown = 12, dpadright = 14;
constexpr int leftx = 0, rightx = 2;

// A floor, the hero on it at (1000, 100), a wall too high to jump from x 1088
// to 1100 and the level's end beyond it. Walked up to the wall the hero stands
// at 1040; twice a shift vector of 32 to the left carries it to 1104, clear
// of the wall.
const char* walledlevel =
    "setShiftCount(2);\n"
    "setStartPosition(1000, 100);\n"
    "buildGround(0, 3000, 0, 100);\n"
    "buildGround(1088, 1100, 100, 700);\n"
    "setEndPosition(1300, 100);\n";
const ElementView view{
    {{0, 3000, 0, 100, solid}, {1088, 1100, 100, 700, solid}, {1300, 1340, 100, 140, 2}}, 2};

// The pad, moved by whole lines that the preload library takes one a frame.
class Pad {
 public:
  explicit Pad(const std::string& path) : path(path) { std::ofstream(path).flush(); }
  void axis(int which, int value) { line("a " + std::to_string(which) + " " + std::to_string(value)); }
  void button(int which, bool down) { line("b " + std::to_string(which) + (down ? " 1" : " 0")); }
  void press(int which) {
    button(which, true);
    button(which, false);
  }

 private:
  std::string path;
  void line(const std::string& text) { std::ofstream(path, std::ios::app) << text << "\n" << std::flush; }
};

// The screen outside the hero's columns, pixel for pixel. The camera pins the
// level to the hero's exact spot, which the element view's samples, blind
// within two pixels of an edge, cannot tell from a pixel or two off: a hero
// just off the floor passes view.shows for standing on it.
bool samespot(const Shot& a, const Shot& b) {
  return !a.empty() && !b.empty() && mismatches(a, b, 4, Rect{0, 0, 480, 768}) == 0 &&
         mismatches(a, b, 4, Rect{544, 0, 1024, 768}) == 0;
}

bool showspage(TestDisplay& display, const std::string& name) {
  Shot want = picture(gamedata() + "/" + name + ".png");
  return waitfor([&] { return mismatches(display.shot(), want, 4) == 0; });
}

TEST(Pad, FinishesALevelAndUsesTheMenuWithThePadAlone) {
  TestDisplay display;
  ASSERT_TRUE(display.ok());
  Game game;
  ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
  game.write("tutorial1.lvl", walledlevel);
  Pad pad(game.write("pad", ""));
  // Only the game gets the pad.
  game.start(std::string(TWINFOLD_BINARY_DIR) + "/libtwinfold_virtualpad.so",
             {{"TWINFOLD_PAD", game.dir.path + "/pad"}});
  ASSERT_TRUE(game.waitstarted()) << game.logs();
  ASSERT_NE(game.err().find("virtualpad: attached"), std::string::npos) << game.logs();

  // Wherever the pointer starts, four steps up on the d-pad end on New game
  // (the top button), and south clicks there and through the introduction.
  for (int i = 0; i < 4; i++) pad.press(dpadup);
  pad.press(south);
  ASSERT_TRUE(showspage(display, "orvik_intro01")) << "south did not click New game\n" << game.logs();
  for (int i = 0; i < 4; i++) pad.press(south);
  Shot start;
  bool started = waitfor([&] { return view.shows(start = display.shot(), 1000, 100); });
  keepshot(start, "pad-start");
  ASSERT_TRUE(started) << "the level at its start\n" << game.logs();

  // The left stick walks the hero up to the wall, where it comes to rest.
  pad.axis(leftx, 32767);
  EXPECT_TRUE(waitfor([&] { return view.shows(display.shot(), 1040, 100); }))
      << "the left stick did not walk the hero to the wall";
  pad.axis(leftx, 0);
  const Shot rest = display.steady();
  ASSERT_FALSE(rest.empty()) << "the hero did not come to rest at the wall";
  keepshot(rest, "pad-walk");

  // South, held, jumps: the hero leaves its spot upward, then lands on it
  // again. A shift begun before the landing would stop the hero in the air.
  pad.button(south, true);
  Shot air;
  EXPECT_TRUE(waitfor([&] {
    air = display.shot();
    if (samespot(air, rest)) return false;
    for (int y = 101; y <= 300; y++)
      if (view.shows(air, 1040, y)) return true;
    return false;
  })) << "south did not jump";
  keepshot(air, "pad-jump");
  pad.button(south, false);
  ASSERT_TRUE(waitfor([&] { return samespot(display.shot(), rest); })) << "no landing";

  // East held shifts; the right stick drags the vector to its limit, -32.
  pad.button(east, true);
  pad.axis(rightx, 32767);
  Shot shifting;
  EXPECT_TRUE(waitfor([&] { return view.shows(shifting = display.shot(), 1040, 100, -32, 0); }))
      << "the right stick did not drag the copies";
  keepshot(shifting, "pad-shift");
  pad.axis(rightx, 0);
  pad.button(east, false);
  EXPECT_TRUE(waitfor([&] { return view.shows(display.shot(), 1104, 100); }))
      << "releasing east did not carry the hero through the wall";

  // The d-pad walks into the end; the last level's end shows the ending.
  pad.button(dpadright, true);
  bool ending = showspage(display, "orvik_end01");
  pad.button(dpadright, false);
  ASSERT_TRUE(ending) << "the level was not finished\n" << game.logs();
  keepshot(display.shot(), "pad-ending");
  pad.press(south);
  ASSERT_TRUE(showspage(display, "orvik_end02")) << "south did not turn the page";
  pad.press(south);
  Shot title = picture(gamedata() + "/orvik_menu.png");
  const Rect titletext{0, 0, 590, 300};
  ASSERT_TRUE(waitfor([&] { return mismatches(display.shot(), title, 4, titletext) == 0; }));

  // Down to the bottom button, Quit; south quits.
  for (int i = 0; i < 4; i++) pad.press(dpaddown);
  pad.press(south);
  int status = -1;
  ASSERT_TRUE(game.waitexit(&status)) << game.logs();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << game.logs();
}

}  // namespace
