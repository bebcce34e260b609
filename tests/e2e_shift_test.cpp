// Played: the plane shift, on a level of the test's own drawn in the element
// view. Space held and w, a, s, d (or the mouse) drag the shift vector; the
// copies of the level stand where the vector puts them, the hero is drawn
// faint while a release would be refused, and the release moves the hero
// only when the spot is free. Then the same on a level of the game's own,
// whose foreground pictures are drawn once more along the vector.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "e2e.h"

namespace {

using namespace e2e;

const Rgb clearcolour = glcolour(0.25, 0, 0);

// A floor, the hero standing on it at (1000, 100) with a shift count of 2,
// and a wall 40 pixels to the right of the hero's box. Shifted 32 to the left
// the hero would land 64 to the right, inside the wall; shifted 32 to the
// right it lands 64 to the left, on open floor.
const char* shiftlevel =
    "setShiftCount(2);\n"
    "setStartPosition(1000, 100);\n"
    "buildGround(0, 3000, 0, 100);\n"
    "buildGround(1088, 1188, 100, 400);\n";
const ElementView view{{{0, 3000, 0, 100, solid}, {1088, 1188, 100, 400, solid}}, 2};
constexpr int herox = 1000, heroy = 100;
bool showscopies(const Shot& shot, int hx, int hy, int sx, int sy) {
  return view.shows(shot, hx, hy, sx, sy);
}

TEST(Shift, DraggedRefusedFaintAcceptedMoves) {
  TestDisplay display;
  ASSERT_TRUE(display.ok());
  Game game;
  ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
  game.write("tutorial1.lvl", shiftlevel);
  game.start();
  ASSERT_TRUE(game.waitstarted()) << game.logs();
  ASSERT_TRUE(pointer(700, 138));
  for (int i = 0; i < 5; i++) ASSERT_TRUE(click());
  ASSERT_TRUE(waitfor([&] { return showscopies(display.shot(), herox, heroy, 0, 0); }))
      << "the level before any shift\n" << game.logs();

  // Space held, d held: the vector goes left by 2 a frame to its limit, -32.
  auto drag = [&](const std::string& key, int sx) {
    EXPECT_TRUE(keydown(key));
    Shot s;
    // A drag across the whole range takes 32 frames: 15 s is ample.
    bool ok = waitfor([&] { return showscopies(s = display.shot(), herox, heroy, sx, 0); }, 15000);
    EXPECT_TRUE(keyup(key));
    EXPECT_TRUE(ok) << key << " did not drag the copies to " << sx;
    return s;
  };
  ASSERT_TRUE(keydown("space"));
  Shot refused = drag("d", -32);
  // a drags it back and on to +32, where the spot is free.
  Shot accepted = drag("a", 32);

  // Faint where refused: over the clear colour, in the part of the hero's box
  // that no copy reaches in either picture (the nearest copy's outline is at
  // x 511), the refused hero is the accepted one drawn at half opacity.
  long heropixels = 0, faint = 0;
  for (int y = herobox.y0; y < herobox.y1; y++)
    for (int x = herobox.x0; x < 508; x++) {
      Rgb full = accepted.at(x, y);
      if (near(full, clearcolour, 30)) continue;  // faint and full then differ by 15 or more
      heropixels++;
      faint += near(refused.at(x, y), blend(full, 0.5, clearcolour), 6);
    }
  EXPECT_GT(heropixels, 50) << "no hero drawn";
  EXPECT_EQ(faint, heropixels) << "the hero is not drawn faint where the shift would be refused";

  // Released where refused: nothing moves, the copies fold back.
  drag("d", -32);
  ASSERT_TRUE(keyup("space"));
  EXPECT_TRUE(waitfor([&] { return showscopies(display.shot(), herox, heroy, 0, 0); }))
      << "a refused shift moved something";

  // Dragged with the mouse: SDL reports the motion from the screen centre,
  // and 40 pixels left make half of it, 20, times 2, clamped to 32.
  ASSERT_TRUE(keydown("space"));
  ASSERT_TRUE(movemouse(-40, 0));
  EXPECT_TRUE(waitfor([&] { return showscopies(display.shot(), herox, heroy, 32, 0); }, 15000))
      << "the mouse did not drag the copies";
  ASSERT_TRUE(keyup("space"));
  // Accepted: the hero lands 2 times 32 to the left, and the camera with it.
  EXPECT_TRUE(waitfor([&] { return showscopies(display.shot(), herox - 64, heroy, 0, 0); }))
      << "an accepted shift did not move the hero";

  int status = -1;
  ASSERT_TRUE(key("F12"));
  ASSERT_TRUE(game.waitexit(&status)) << game.logs();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << game.logs();
}

// The ninth level as drawn with the hero at (hx, hy) and the shift vector
// (sx, 0), the hero left out: the background, then the foreground and its
// two pickup cards once for each of the level's shift count of 1 and once
// more, the last copy opaque and the others at half opacity.
class PicturedLevel {
 public:
  Shot background = picture(gamedata() + "/tutorial9.bg.png");
  Shot foreground = picture(gamedata() + "/tutorial9.png");
  Shot foregroundalpha = picture(gamedata() + "/tutorial9.a.png");
  Shot card = picture(gamedata() + "/viewmaster_card.bmp");
  Shot cardalpha = picture(gamedata() + "/viewmaster_card.a.bmp");

  Shot drawn(int hx, int hy, int sx) {
    Shot s = screenof(clearcolour);
    int camx = hx - 488, camy = hy - 354;
    overlay(s, background, nullptr, -512 - camx, -256 - camy);
    int copies = sx == 0 ? 0 : 1;  // no shift vector: one copy only
    for (int i = 0; i <= copies; i++) {
      double a = i == copies ? 1.0 : 0.5;
      overlay(s, foreground, &foregroundalpha, i * sx - 512 - camx, -256 - camy, a);
      for (int cx : {400, 900}) overlay(s, card, &cardalpha, i * sx + cx - 16 - camx, 130 - 16 - camy, a);
    }
    return s;
  }
  bool shows(const Shot& shot, int hx, int hy, int sx) {
    Shot want = drawn(hx, hy, sx);
    return !shot.empty() && mismatches(shot, want, 4) == mismatches(shot, want, 4, herobox);
  }
};

TEST(Shift, ForegroundCopiesOnAPicturedLevel) {
  TestDisplay display;
  ASSERT_TRUE(display.ok());
  Game game;
  ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
  game.write("tutorial1.lvl", slurp(gamedata() + "/tutorial9.lvl"));
  PicturedLevel level;
  game.start();
  ASSERT_TRUE(game.waitstarted()) << game.logs();
  ASSERT_TRUE(pointer(700, 138));
  for (int i = 0; i < 5; i++) ASSERT_TRUE(click());
  ASSERT_TRUE(waitfor([&] { return level.shows(display.steady(), 128, 96, 0); }))
      << "the level at its start\n" << game.logs();

  ASSERT_TRUE(keydown("space"));
  ASSERT_TRUE(keydown("d"));
  Shot shifting;
  bool dragged = waitfor([&] { return level.shows(shifting = display.shot(), 128, 96, -32); });
  ASSERT_TRUE(keyup("d"));
  ASSERT_TRUE(keyup("space"));
  EXPECT_TRUE(dragged) << "the foreground copies dragged 32 to the left";
  keepshot(shifting, "shift");
  // Released: the spot 32 to the right is free, and the hero lands there.
  EXPECT_TRUE(waitfor([&] { return level.shows(display.steady(), 160, 96, 0); }))
      << "the hero did not land 32 to the right";

  int status = -1;
  ASSERT_TRUE(key("F12"));
  ASSERT_TRUE(game.waitexit(&status)) << game.logs();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << game.logs();
}

}  // namespace
