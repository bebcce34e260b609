// Played: the title screen. Its four buttons and the pointer are checked
// against the menu's own pictures laid over the title picture, a hovered
// button against its highlight, and a pointer on a button's edge against no
// highlight; then Resume without a world, the credits, and the Quit button.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "e2e.h"

namespace {

using namespace e2e;

struct Layer {
  Shot colour, alpha;
};

Layer layer(const std::string& name) {
  return {picture(gamedata() + "/" + name + ".bmp"), picture(gamedata() + "/" + name + ".a.bmp")};
}

void draw(Shot& base, const Layer& l, int x, int y) { overlay(base, l.colour, &l.alpha, x, y); }

struct Button {
  const char* name;
  int y;  // lower edge; every button is 256 by 64 from x = 600
};
const Button buttons[] = {{"b1", 600}, {"b3", 500}, {"b4", 400}, {"b2", 300}};

class Title : public ::testing::Test {
 protected:
  Shot title = picture(gamedata() + "/orvik_menu.png");
  Layer arrow = layer("ar"), highlight = layer("bhl");

  // The title screen as the menu draws it with the pointer at window pixel
  // (px, py): a button is highlighted when the pointer is strictly inside it.
  Shot expected(int px, int py) {
    Shot s = title;
    int cx = px, cy = 768 - py;
    for (const Button& b : buttons) {
      if (600 < cx && cx < 856 && b.y < cy && cy < b.y + 64) draw(s, highlight, 600, b.y);
      draw(s, layer(b.name), 600, b.y);
    }
    draw(s, arrow, cx, cy - 32);
    return s;
  }
  // Moves the pointer and waits until the screen shows exactly that.
  bool shows(int px, int py, Shot* seen = nullptr) {
    EXPECT_TRUE(pointer(px, py));
    Shot want = expected(px, py), got;
    bool ok = waitfor([&] {
      got = display.shot();
      return mismatches(got, want, 4) == 0;
    });
    if (seen) *seen = got;
    return ok;
  }

  TestDisplay display;
  Game game;
};

TEST_F(Title, ButtonsPointerHighlightResumeCreditsQuit) {
  ASSERT_TRUE(display.ok());
  ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
  game.start();
  ASSERT_TRUE(game.waitstarted()) << game.logs();

  // The four buttons and the pointer, nothing highlighted.
  EXPECT_TRUE(shows(100, 700)) << "title screen with four buttons and the pointer";
  // New game hovered: the highlight is drawn under it.
  Shot hovered;
  EXPECT_TRUE(shows(700, 167, &hovered)) << "New game highlighted";
  keepshot(hovered, "title");
  // On the edges the pointer is outside: y 168 is the lower edge, x 600 the left.
  EXPECT_TRUE(shows(700, 168)) << "no highlight on the lower edge";
  EXPECT_TRUE(shows(600, 130)) << "no highlight on the left edge";
  EXPECT_TRUE(shows(601, 130)) << "highlight just inside the left edge";

  // Resume with no world: the title stays.
  ASSERT_TRUE(shows(700, 230));
  ASSERT_TRUE(click());
  EXPECT_TRUE(shows(700, 230)) << "resume without a world left the title";

  // Credits, and any click back to the title.
  ASSERT_TRUE(shows(700, 330));
  ASSERT_TRUE(click());
  Shot credits = picture(gamedata() + "/credits.png");
  EXPECT_TRUE(waitfor([&] { return mismatches(display.shot(), credits, 4) == 0; }))
      << "the credits page";
  ASSERT_TRUE(click());
  EXPECT_TRUE(shows(700, 330)) << "back on the title after the credits";

  // Quit.
  ASSERT_TRUE(shows(700, 430));
  ASSERT_TRUE(click());
  int status = -1;
  ASSERT_TRUE(game.waitexit(&status)) << game.logs();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << game.logs();
  // The pictures loaded as the menu names them, and nothing went wrong.
  EXPECT_EQ(count(game.err(), "Could not load"), 0) << game.logs();
}

}  // namespace
