// The menu: page flows, button edges and the pointer, without a screen; then
// the fifteen pictures loaded and drawn on a real OpenGL window.
#include <gtest/gtest.h>
#include <unistd.h>

#include "gl_fixture.h"
#include "menu/menu.h"

namespace {

TEST(MenuLogic, PointerTurnsAndButtonEdgesAreOutside) {
  Menu m(false);
  EXPECT_EQ(m.page, 0);
  EXPECT_EQ(m.cursorx, 300);
  EXPECT_EQ(m.cursory, 200);

  m.setcursor(601, 168);  // window y 168 is screen y 600: b1's lower edge
  EXPECT_EQ(m.cursory, 600);
  EXPECT_FALSE(m.hitbutton(600, 600));
  m.setcursor(601, 167);
  EXPECT_EQ(m.cursory, 601);
  EXPECT_TRUE(m.hitbutton(600, 600));

  struct Case {
    int x, y;
    bool inside;
  } cases[] = {{600, 630, false}, {601, 630, true}, {855, 630, true}, {856, 630, false},
               {700, 663, true},  {700, 664, false}, {700, 600, false}, {700, 601, true}};
  for (Case c : cases) {
    m.cursorx = c.x;
    m.cursory = c.y;
    EXPECT_EQ(m.hitbutton(600, 600), c.inside) << c.x << "," << c.y;
    EXPECT_FALSE(m.hitbutton(600, 500)) << c.x << "," << c.y;
  }

  // A click on an edge does nothing.
  m.cursorx = 856;
  m.cursory = 630;
  EXPECT_EQ(m.clickcommand(), 0);
  EXPECT_EQ(m.page, 0);
}

// Puts the pointer in the middle of the button drawn at screen y.
void point_at(Menu& m, int y) {
  m.cursorx = 728;
  m.cursory = y + 32;
}

TEST(MenuLogic, ClickFlows) {
  Menu m(false);
  // New game: b1, four introduction pages, then code 1 on leaving the fourth.
  point_at(m, 600);
  EXPECT_EQ(m.clickcommand(), 0);
  EXPECT_EQ(m.page, 1);
  for (int p = 2; p <= 4; p++) {
    m.cursorx = m.cursory = 0;  // pages ignore where the pointer is
    EXPECT_EQ(m.clickcommand(), 0);
    EXPECT_EQ(m.page, p);
  }
  EXPECT_EQ(m.clickcommand(), 1);
  EXPECT_EQ(m.page, 0);

  // Resume and quit answer at once; credits show a page first.
  point_at(m, 500);
  EXPECT_EQ(m.clickcommand(), 2);
  EXPECT_EQ(m.page, 0);
  point_at(m, 300);
  EXPECT_EQ(m.clickcommand(), 3);
  EXPECT_EQ(m.page, 0);
  point_at(m, 400);
  EXPECT_EQ(m.clickcommand(), 0);
  EXPECT_EQ(m.page, 8);
  EXPECT_EQ(m.clickcommand(), 0);
  EXPECT_EQ(m.page, 0);

  // Between the buttons, nothing.
  m.cursorx = 728;
  m.cursory = 580;
  EXPECT_EQ(m.clickcommand(), 0);
  EXPECT_EQ(m.page, 0);

  // Cutscenes: any state but 1 shows the mid-game page, which resumes.
  for (int state : {0, 2, 7, -1}) {
    m.startcutscene(state);
    EXPECT_EQ(m.page, 5) << state;
    EXPECT_EQ(m.clickcommand(), 2);
    EXPECT_EQ(m.page, 0);
  }
  // The ending: two pages, then the title screen with nothing to do.
  m.startcutscene(1);
  EXPECT_EQ(m.page, 6);
  EXPECT_EQ(m.clickcommand(), 0);
  EXPECT_EQ(m.page, 7);
  EXPECT_EQ(m.clickcommand(), 0);
  EXPECT_EQ(m.page, 0);

  m.render();  // a menu without pictures draws nothing and needs no screen
}

class MenuScreen : public GlTest {
 protected:
  TempDir dir;
};

TEST_F(MenuScreen, PicturesPagesButtonsAndPointer) {
  // Pages: small PNG pictures without alpha, one colour each.
  const char* pages[] = {"orvik_menu",    "credits",       "orvik_intro01", "orvik_intro02",
                         "orvik_intro03", "orvik_intro04", "orvik_intro05", "orvik_end01",
                         "orvik_end02"};
  for (int i = 0; i < 9; i++) {
    std::string out = dir / (std::string(pages[i]) + ".png");
    std::string colour = "'rgb(" + std::to_string(20 * i + 10) + ",40,60)'";
    if (!run_convert("-size 64x64 xc:" + colour + " PNG24:'" + out + "'")) return;
  }
  // Buttons half transparent, so the highlight shows through; pointer and
  // highlight opaque.
  auto button = [&](const char* name, Rgba c, int w, int h, unsigned char a) {
    write_bmp(dir / (std::string(name) + ".bmp"), w, h, 24, [c](int, int) { return c; });
    write_alpha_bmp(dir / (std::string(name) + ".a.bmp"), w, h, [a](int, int) { return a; });
  };
  button("b1", Rgba{255, 0, 0, 255}, 256, 64, 128);
  button("b2", Rgba{0, 255, 0, 255}, 256, 64, 128);
  button("b3", Rgba{255, 255, 0, 255}, 256, 64, 128);
  button("b4", Rgba{0, 255, 255, 255}, 256, 64, 128);
  button("bhl", Rgba{0, 0, 255, 255}, 256, 64, 255);
  button("ar", Rgba{255, 255, 255, 255}, 32, 32, 255);

  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir.path.c_str()), 0);
  testing::internal::CaptureStdout();
  Menu* m = new Menu();
  std::string log = testing::internal::GetCapturedStdout();
  ASSERT_EQ(chdir(here), 0);
  // The load order, seen through the file kinds: title, pointer and four
  // buttons with alpha pictures, credits, highlight, seven pages.
  std::string png = "filetype: .png\nPNG info: 64x64, 2, 8\n";
  std::string bmp2 = "filetype: .bmp\nfiletype: .bmp\n";
  std::string want = png + bmp2 + bmp2 + bmp2 + bmp2 + bmp2 + png + bmp2;
  for (int i = 0; i < 7; i++) want += png;
  EXPECT_EQ(log, want);
  EXPECT_EQ(m->page, 0);

  // Title screen, pointer over b1: highlight under the half-transparent button.
  m->cursorx = 700;
  m->cursory = 620;
  m->render();
  EXPECT_TRUE(near_rgb(pixel(10, 10), 10, 40, 60));        // title
  EXPECT_TRUE(near_rgb(pixel(610, 610), 128, 0, 127));     // b1 over the highlight
  EXPECT_TRUE(near_rgb(pixel(610, 510), 128, 128, 0));     // b3, not hovered
  EXPECT_TRUE(near_rgb(pixel(610, 410), 0, 128, 128));     // b4
  EXPECT_TRUE(near_rgb(pixel(610, 310), 0, 128, 0));       // b2
  EXPECT_TRUE(near_rgb(pixel(700, 588), 255, 255, 255));   // pointer's lower left corner
  EXPECT_TRUE(near_rgb(pixel(731, 619), 255, 255, 255));
  EXPECT_TRUE(near_rgb(pixel(700, 587), 0, 0, 0, 0));      // just below it
  EXPECT_TRUE(near_rgb(pixel(699, 610), 128, 0, 127));     // just left of it, on b1
  EXPECT_TRUE(near_rgb(pixel(732, 610), 128, 0, 127));

  // Exactly on b1's left edge: no highlight.
  clear();
  m->cursorx = 600;
  m->render();
  EXPECT_TRUE(near_rgb(pixel(640, 610), 128, 0, 0));
  EXPECT_TRUE(near_rgb(pixel(600, 588), 255, 255, 255));

  // Every page alone, full screen at (0, 0), no pointer even where it points.
  int colour_of_page[9] = {0, 2, 3, 4, 5, 6, 7, 8, 1};  // index into pages[]
  m->cursorx = 5;
  m->cursory = 40;
  for (int p = 1; p <= 8; p++) {
    clear();
    m->page = p;
    m->render();
    EXPECT_TRUE(near_rgb(pixel(10, 10), 20 * colour_of_page[p] + 10, 40, 60)) << p;
    EXPECT_TRUE(near_rgb(pixel(610, 610), 0, 0, 0, 0)) << p;
  }
  delete m;
}

}  // namespace
