// Played: the plane shift, on a level of the test's own drawn in the element
// view. Space held and w, a, s, d (or the mouse) drag the shift vector; the
// copies of the level stand where the vector puts them, the hero is drawn
// faint while a release would be refused, and the release moves the hero
// only when the spot is free.
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
struct Area {
  int x1, x2, y1, y2;
};
const Area boxes[] = {{0, 3000, 0, 100}, {1088, 1188, 100, 400}};
constexpr int shiftcount = 2, herox = 1000, heroy = 100;

// The element view at level point (x, y) with the shift vector (sx, sy): the
// copies k = 2, 1, 0 in that order, each moved by k times the vector, the
// first opaque and the others at a quarter. -1 when the point is within two
// pixels of a copy's edge, where outlines are drawn.
bool colourat(int x, int y, int sx, int sy, Rgb* c) {
  *c = clearcolour;
  for (int k = shiftcount; k >= 0; k--) {
    double a = k == shiftcount ? 1.0 : 0.25;
    Rgb fill = glcolour(0.75 - 0.25 * k, 0.5 + 0.25 * k, 0.25);
    for (const Area& b : boxes) {
      int px = x - k * sx, py = y - k * sy;
      bool inx = px > b.x1 - 3 && px < b.x2 + 3, iny = py > b.y1 - 3 && py < b.y2 + 3;
      bool deepx = px > b.x1 + 2 && px < b.x2 - 2, deepy = py > b.y1 + 2 && py < b.y2 - 2;
      if (inx && iny && !(deepx && deepy)) return false;
      if (deepx && deepy) *c = blend(fill, a, *c);
    }
  }
  return true;
}

// The screen shows the element view from the camera on a hero at (hx, hy)
// with the shift vector (sx, sy), sampled every 8 pixels above the floor
// and outside the hero's box.
bool showscopies(const Shot& shot, int hx, int hy, int sx, int sy) {
  if (shot.empty()) return false;
  int camx = hx - 488, camy = hy - 354;
  for (int y = 360; y < 760; y += 8)
    for (int x = 4; x < 1020; x += 8) {
      if (x >= 480 && x < 544 && y < 420) continue;  // the hero and its edges
      Rgb want;
      if (!colourat(x + camx, y + camy, sx, sy, &want)) continue;
      if (!near(shot.gl(x, y), want, 3)) return false;
    }
  return true;
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
    bool ok = waitfor([&] { return showscopies(s = display.shot(), herox, heroy, sx, 0); });
    EXPECT_TRUE(keyup(key));
    EXPECT_TRUE(ok) << key << " did not drag the copies to " << sx;
    return s;
  };
  ASSERT_TRUE(keydown("space"));
  Shot refused = drag("d", -32);
  // a drags it back and on to +32, where the spot is free.
  Shot accepted = drag("a", 32);
  keepshot(accepted, "shift");

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
  EXPECT_TRUE(waitfor([&] { return showscopies(display.shot(), herox, heroy, 32, 0); }))
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

}  // namespace
