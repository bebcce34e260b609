// World drawing on a real OpenGL window: fade, background, foreground copies
// along the shift vector with their pickups, the element view, and the hero.
#include <gtest/gtest.h>

#include "gl_fixture.h"
#include "graphics/glayer.h"
#include "graphics/texture.h"
#include "world/world.h"

namespace {

// A headless world with no elements; the test adds what it draws, and the
// game's maker frees the pictures it hands over.
World* empty_world() {
  World* w = new World(false);
  w->pictures = &gamepictures;
  for (Box* b : w->boxes) delete b;
  for (Box* b : w->items) delete b;
  w->boxes.clear();
  w->items.clear();
  w->camx = w->camy = 0;
  w->fade = 0;
  return w;
}

// A 512 by 512 sheet whose every texel tells its cell and its cell half:
// red 32 x column (+16 in the right half), green 32 x row (+16 in the bottom
// half), blue 255, opaque.
Texture* cell_sheet() {
  std::vector<char> colour(512 * 512 * 3), alpha(512 * 512, static_cast<char>(255));
  for (int v = 0; v < 512; v++)
    for (int u = 0; u < 512; u++) {
      char* p = &colour[(v * 512 + u) * 3];
      int c = u / 60, r = v / 60;
      p[0] = static_cast<char>(255);                                    // blue
      p[1] = static_cast<char>((32 * r + (v % 60 >= 30 ? 16 : 0)) & 255);  // green
      p[2] = static_cast<char>((32 * c + (u % 60 >= 30 ? 16 : 0)) & 255);  // red
    }
  return new Texture(512, 512, colour.data(), 512 * 3, 3, alpha.data(), 512, 1);
}

class WorldDrawing : public GlTest {
 protected:
  TempDir dir;
  // A layer of one flat colour, w by h, with no alpha picture.
  GraphicsLayer* flat(const char* name, int w, int h, Rgba c) {
    write_bmp(dir / (std::string(name) + ".bmp"), w, h, 24, [c](int, int) { return c; });
    return new GraphicsLayer((dir / name).c_str(), false);
  }
};

TEST_F(WorldDrawing, FadeScalesPicturesButNotTheHero) {
  World* w = empty_world();
  w->layers[0] = flat("bg", 64, 64, Rgba{255, 255, 255, 255});
  w->spritesheet = cell_sheet();
  w->imageshiftx = 100;
  w->imageshifty = 50;
  w->camx = 20;
  w->camy = 10;
  w->x = 500;
  w->y = 300;  // on screen at (480, 290)
  struct Case {
    int fade, grey;
  } cases[] = {{-32, 0}, {16, 128}, {0, 255}, {-8, 191}, {24, 64}};
  for (Case c : cases) {
    clear();
    w->fade = c.fade;
    w->render();
    SCOPED_TRACE(c.fade);
    EXPECT_TRUE(near_rgb(pixel(90, 50), c.grey, c.grey, c.grey));   // background at (80, 40)
    EXPECT_TRUE(near_rgb(pixel(79, 50), 0, 0, 0, 0));
    EXPECT_TRUE(near_rgb(pixel(90, 39), 0, 0, 0, 0));
    EXPECT_TRUE(near_rgb(pixel(485, 295), 0, 16, 255));  // frame 0, bottom left
  }
  delete w;
}

TEST_F(WorldDrawing, ShiftCopiesAndPickupsAtTheirOffsets) {
  World* w = empty_world();
  w->layers[1] = flat("fg", 32, 32, Rgba{255, 255, 255, 255});
  w->viewmastercard = flat("card", 16, 16, Rgba{0, 255, 0, 255});
  w->viewmaster = flat("vm", 16, 16, Rgba{0, 0, 255, 255});
  w->items.push_back(new Box(400, 400, 432, 432, int32_t{kind_shift}));
  w->items.push_back(new Box(400, 600, 432, 632, int32_t{kind_viewmaster}));
  w->items.push_back(new Box(800, 400, 832, 432, int32_t{kind_spikes}));   // no picture
  w->items.push_back(new Box(800, 600, 832, 632, int32_t{kind_taken}));    // no picture
  w->imageshifty = 100;  // the foreground only; pickups keep their place
  w->fade = 0;

  // Two shift units of (100, 0): copies at 0, 100, 200 with 0.5, 0.5, 1.
  w->shiftcount = 2;
  w->shiftx = 100;
  w->render();
  int expect[] = {128, 128, 255, 0};
  for (int i = 0; i < 4; i++) {
    SCOPED_TRACE(i);
    int g = expect[i];
    EXPECT_TRUE(near_rgb(pixel(10 + 100 * i, 110), g, g, g));
    EXPECT_TRUE(near_rgb(pixel(405 + 100 * i, 405), 0, g, 0));
    EXPECT_TRUE(near_rgb(pixel(405 + 100 * i, 605), 0, 0, g));
  }
  EXPECT_TRUE(near_rgb(pixel(10, 99), 0, 0, 0, 0));
  EXPECT_TRUE(near_rgb(pixel(805, 405), 0, 0, 0, 0));
  EXPECT_TRUE(near_rgb(pixel(805, 605), 0, 0, 0, 0));

  // Shift count 0 with a vector: one full copy in place. The level fade
  // applies to the copies too: fade 16 halves the full one.
  clear();
  w->shiftcount = 0;
  w->shiftx = 10;
  w->shifty = 20;
  w->fade = 16;
  w->render();
  EXPECT_TRUE(near_rgb(pixel(5, 105), 128, 128, 128));
  EXPECT_TRUE(near_rgb(pixel(405, 405), 0, 128, 0));
  EXPECT_TRUE(near_rgb(pixel(35, 125), 0, 0, 0, 0));

  // A negative count draws no copy at all.
  clear();
  w->shiftcount = -1;
  w->fade = 0;
  w->render();
  EXPECT_TRUE(near_rgb(pixel(5, 105), 0, 0, 0, 0));
  EXPECT_TRUE(near_rgb(pixel(405, 405), 0, 0, 0, 0));

  // No shift: one copy at full opacity, whatever the count; the camera moves it.
  clear();
  w->shiftcount = 3;
  w->shiftx = w->shifty = 0;
  w->camx = -50;
  w->render();
  EXPECT_TRUE(near_rgb(pixel(55, 105), 255, 255, 255));
  EXPECT_TRUE(near_rgb(pixel(455, 405), 0, 255, 0));
  EXPECT_TRUE(near_rgb(pixel(155, 105), 0, 0, 0, 0));
  delete w;
}

TEST_F(WorldDrawing, ElementViewColoursEdgesAndCopies) {
  World* w = empty_world();
  w->boxes.push_back(new Box(100, 100, 200, 200));
  w->boxes.push_back(new Box(300, 100, 400, 200, false, false, true));  // slippery
  w->boxes.push_back(new Box(500, 200, 600, 150, false, true, false));  // ledge, y2 below y1
  w->boxes.push_back(new Box(700, 100, 800, 200, true));                // right angle at (700, 100)
  w->boxes.push_back(new Box(100, 200, 200, 300));  // on the first: their shared edge is outlined
  w->items.push_back(new Box(100, 300, 150, 350, int32_t{kind_spikes}));
  w->items.push_back(new Box(200, 300, 250, 350, int32_t{kind_taken}));
  w->items.push_back(new Box(300, 300, 350, 350, int32_t{kind_checkpoint}));
  w->fade = -32;  // the element view ignores the fade
  w->render();
  EXPECT_TRUE(near_rgb(pixel(150, 150), 191, 128, 64));
  EXPECT_TRUE(near_rgb(pixel(350, 150), 191, 128, 191));
  EXPECT_TRUE(near_rgb(pixel(550, 175), 191, 128, 64));
  EXPECT_TRUE(near_rgb(pixel(710, 110), 191, 128, 64));
  EXPECT_TRUE(near_rgb(pixel(790, 190), 0, 0, 0, 0));  // beyond the slope
  EXPECT_TRUE(near_rgb(pixel(125, 325), 255, 0, 0));
  EXPECT_TRUE(near_rgb(pixel(225, 325), 64, 64, 64));
  EXPECT_TRUE(near_rgb(pixel(325, 325), 191, 191, 191));
  // Outlines: a black edge between the two stacked rectangles; the ledge's edge at y2
  // (150, its lower one) white, its upper edge not.
  auto on_line = [](int x, int y, int r, int g, int b) {
    return near_rgb(pixel(x, y), r, g, b, 8) || near_rgb(pixel(x, y - 1), r, g, b, 8);
  };
  EXPECT_TRUE(on_line(150, 200, 0, 0, 0));
  EXPECT_TRUE(on_line(550, 150, 255, 255, 255));
  EXPECT_FALSE(on_line(550, 200, 255, 255, 255));
  EXPECT_FALSE(on_line(150, 200, 255, 255, 255));

  // Copies: the full copy (k = 1) first, then the faint k = 0 over it.
  clear();
  for (size_t i = 1; i < w->boxes.size(); i++) delete w->boxes[i];
  w->boxes.resize(1);
  w->shiftcount = 1;
  w->shiftx = 0;
  w->shifty = 300;
  w->camx = 50;
  w->render();
  EXPECT_TRUE(near_rgb(pixel(100, 450), 128, 191, 64));  // k = 1: (0.5, 0.75, 0.25)
  EXPECT_TRUE(near_rgb(pixel(100, 150), 48, 32, 16));    // k = 0 at 0.25 over black
  EXPECT_TRUE(near_rgb(pixel(75, 625), 255, 0, 0));      // the spikes' k = 1 copy
  EXPECT_TRUE(near_rgb(pixel(75, 325), 64, 0, 0));       // and its faint k = 0 copy

  // Overlapping copies: the faint one is drawn over the full one.
  clear();
  w->shifty = 50;
  w->render();
  // k = 1 (128, 191, 64) at 1, then k = 0 (191, 128, 64) at 0.25 over it.
  EXPECT_TRUE(near_rgb(pixel(100, 175), 144, 175, 64, 3));

  // A negative count draws no element.
  clear();
  w->shiftcount = -1;
  w->render();
  EXPECT_TRUE(near_rgb(pixel(100, 175), 0, 0, 0, 0));
  delete w;
}

TEST_F(WorldDrawing, HeroCellsAndMirroring) {
  World* w = empty_world();
  w->spritesheet = cell_sheet();
  w->x = 500;
  w->y = 300;
  w->camx = 100;
  w->camy = 100;  // hero on screen from (400, 200) to (448, 260)
  struct Case {
    int frame, facing;
    int bl[3], tr[3];  // bottom-left and top-right pixels of the hero
  } cases[] = {
      {0, 1, {0, 16, 255}, {16, 0, 255}},
      {63, 1, {224, 240, 255}, {240, 224, 255}},
      {63, -1, {240, 240, 255}, {224, 224, 255}},
      {9, 0, {32, 48, 255}, {48, 32, 255}},
      {9, -5, {48, 48, 255}, {32, 32, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "frame " << c.frame << " facing " << c.facing);
    clear();
    w->frame = c.frame;
    w->facing = c.facing;
    w->render();
    EXPECT_TRUE(near_rgb(pixel(405, 205), c.bl[0], c.bl[1], c.bl[2]));
    EXPECT_TRUE(near_rgb(pixel(442, 255), c.tr[0], c.tr[1], c.tr[2]));
    EXPECT_TRUE(near_rgb(pixel(448, 230), 0, 0, 0, 0));  // 48 wide
    EXPECT_TRUE(near_rgb(pixel(420, 260), 0, 0, 0, 0));  // 60 high
  }
  delete w;
}

TEST_F(WorldDrawing, HeroFadesWhereAShiftWouldCollide) {
  World* w = empty_world();
  w->spritesheet = cell_sheet();
  w->boxes.push_back(new Box(290, 200, 350, 260));
  w->x = 500;
  w->y = 250;
  w->shiftcount = 1;
  w->shiftx = 200;  // a shift would carry the hero to (300, 250), into the box
  w->render();
  EXPECT_TRUE(near_rgb(pixel(520, 290), 0, 0, 128));
  EXPECT_EQ(w->lastbox, w->boxes[0]);

  clear();
  w->shiftx = -200;  // to (700, 250): free
  w->render();
  EXPECT_TRUE(near_rgb(pixel(520, 290), 0, 0, 255));

  // Without a shift there is no test and the hero is whole.
  clear();
  w->shiftx = 0;
  w->x = 300;
  w->render();
  EXPECT_TRUE(near_rgb(pixel(320, 290), 0, 0, 255));
  delete w;
}

TEST_F(WorldDrawing, HeadlessWorldDrawsItsElementsOnly) {
  World* w = new World(false);
  w->boxes.push_back(new Box(0, 0, 50, 50));
  w->render();  // no pictures, no sprite sheet: nothing to crash on
  EXPECT_TRUE(near_rgb(pixel(25, 25), 191, 128, 64));
  w->draw_objects(0, 0, 1);
  delete w;
}

}  // namespace
