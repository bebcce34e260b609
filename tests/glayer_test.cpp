// Textures and graphics layers on a real OpenGL window: tile cutting and
// placement, byte order, alpha pictures, opacity, and pictures of odd shapes.
#include <gtest/gtest.h>

#include "gl_fixture.h"
#include "graphics/bitmap.h"
#include "graphics/glayer.h"
#include "graphics/texture.h"

namespace {

// Every pixel says where it is: red the column, green the row (each mod 256),
// blue which 256-pixel block it lies in.
Rgba where(int x, int y) {
  return Rgba{static_cast<unsigned char>(x & 255), static_cast<unsigned char>(y & 255),
              static_cast<unsigned char>(20 + (x >> 8) * 60 + (y >> 8) * 10), 255};
}

// Texel (c, r) of a texture read back, red, green, blue, alpha.
Rgba texel(const std::vector<unsigned char>& t, int w, int c, int r) {
  const unsigned char* p = &t[4 * (static_cast<size_t>(r) * w + c)];
  return Rgba{p[0], p[1], p[2], p[3]};
}

class Layers : public GlTest {
 protected:
  TempDir dir;
};

TEST_F(Layers, TilesOf300PictureLandWhereTheyShould) {
  write_bmp(dir / "p300.bmp", 300, 300, 24, where);
  GraphicsLayer layer((dir / "p300").c_str(), false);
  ASSERT_EQ(layer.tilesx, 2);
  ASSERT_EQ(layer.tilesy, 2);
  EXPECT_EQ(layer.width, 300);
  EXPECT_EQ(layer.height, 300);
  // Index order: top-left, top-right, bottom-left, bottom-right.
  int sizes[4][2] = {{256, 256}, {32, 256}, {256, 32}, {32, 32}};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(layer.tiles[i]->width, sizes[i][0]) << i;
    EXPECT_EQ(layer.tiles[i]->height, sizes[i][1]) << i;
  }
  // Tile 3 starts at picture pixel (256, 256); its last texel is (287, 287).
  std::vector<unsigned char> t = texels(layer.tiles[3]->texname, 32, 32);
  EXPECT_TRUE(near_rgb(texel(t, 32, 0, 0), 0, 0, 90, 0));
  EXPECT_TRUE(near_rgb(texel(t, 32, 31, 31), 31, 31, 90, 0));

  // Drawn at (0, 0): the picture's top at window row 300, its last 12 columns
  // and rows not drawn, so window rows 0..11 and columns 288.. stay black.
  unit_square();
  layer.render(0, 0, 1);
  auto at = [](int wx, int wy) { return where(wx, 299 - wy); };
  struct Spot {
    int x, y;
  } inside[] = {{5, 294}, {200, 100}, {270, 200}, {100, 20}, {270, 20}, {287, 12}};
  for (Spot s : inside) {
    Rgba want = at(s.x, s.y);
    EXPECT_TRUE(near_rgb(pixel(s.x, s.y), want.r, want.g, want.b)) << s.x << "," << s.y;
  }
  for (Spot s : {Spot{290, 100}, Spot{100, 5}, Spot{100, 11}, Spot{100, 301}, Spot{299, 299}})
    EXPECT_TRUE(near_rgb(pixel(s.x, s.y), 0, 0, 0, 0)) << s.x << "," << s.y;

  // Moved 100 left and 50 up: window (0, 100) shows picture (100, 249).
  clear();
  layer.render(-100, 50, 1);
  Rgba want = where(100, 249);
  EXPECT_TRUE(near_rgb(pixel(0, 100), want.r, want.g, want.b));
  EXPECT_TRUE(near_rgb(pixel(200, 340), 0, 0, 0, 0));  // above the moved top at 350
  want = where(200, 0);
  EXPECT_TRUE(near_rgb(pixel(100, 349), want.r, want.g, want.b));
}

TEST_F(Layers, FullScreenPictureFillsTheWindowAndWidePictureDropsColumns) {
  write_bmp(dir / "full.bmp", 1024, 768, 24, where);
  GraphicsLayer full((dir / "full").c_str(), false);
  EXPECT_EQ(full.tilesx, 4);
  EXPECT_EQ(full.tilesy, 3);
  for (int i = 0; i < 12; i++) {
    EXPECT_EQ(full.tiles[i]->width, 256);
    EXPECT_EQ(full.tiles[i]->height, 256);
  }
  unit_square();
  full.render(0, 0, 1);
  struct Spot {
    int x, y;
  } spots[] = {{0, 0}, {1023, 767}, {0, 767}, {1023, 0}, {511, 383}, {256, 256}, {700, 600}};
  for (Spot s : spots) {
    Rgba want = where(s.x, 767 - s.y);
    EXPECT_TRUE(near_rgb(pixel(s.x, s.y), want.r, want.g, want.b)) << s.x << "," << s.y;
  }

  // 1000 wide: columns 256, 256, 256 and 128; the last 104 pixels are never drawn.
  write_bmp(dir / "wide.bmp", 1000, 10, 24, where);
  GraphicsLayer wide((dir / "wide").c_str(), false);
  ASSERT_EQ(wide.tilesx, 4);
  ASSERT_EQ(wide.tilesy, 1);
  EXPECT_EQ(wide.tiles[3]->width, 128);
  EXPECT_EQ(wide.tiles[3]->height, 8);
  clear();
  wide.render(0, 0, 1);
  Rgba want = where(895, 2);  // the 8 rows drawn end at the top, window row 9
  EXPECT_TRUE(near_rgb(pixel(895, 7), want.r, want.g, want.b));
  EXPECT_TRUE(near_rgb(pixel(896, 7), 0, 0, 0, 0));
  EXPECT_TRUE(near_rgb(pixel(999, 7), 0, 0, 0, 0));
}

TEST_F(Layers, ColourOrderAlphaPictureAndOpacity) {
  // Stored blue 50, green 100, red 200: on screen red 200, green 100, blue 50.
  write_bmp(dir / "c.bmp", 32, 32, 24, [](int, int) { return Rgba{200, 100, 50, 255}; });
  // The alpha picture's first byte (blue) is 128; its other bytes must not count.
  write_bmp(dir / "c.a.bmp", 32, 32, 24, [](int, int) { return Rgba{255, 0, 128, 255}; });
  GraphicsLayer plain((dir / "c").c_str(), false);
  GraphicsLayer alpha((dir / "c").c_str(), true);
  std::vector<unsigned char> t = texels(alpha.tiles[0]->texname, 32, 32);
  Rgba tx = texel(t, 32, 5, 5);
  EXPECT_TRUE(near_rgb(tx, 200, 100, 50, 0));
  EXPECT_EQ(tx.a, 128);

  unit_square();
  plain.render(0, 0, 1);
  alpha.render(100, 0, 1);
  alpha.render(200, 0, 0.5f);
  plain.render(300, 0, 0.5f);
  plain.render(400, 0, 0);
  EXPECT_TRUE(near_rgb(pixel(10, 10), 200, 100, 50));
  EXPECT_TRUE(near_rgb(pixel(110, 10), 100, 50, 25));  // 128 / 255
  EXPECT_TRUE(near_rgb(pixel(210, 10), 50, 25, 13));   // 128 / 255 * 0.5
  EXPECT_TRUE(near_rgb(pixel(310, 10), 100, 50, 25));  // uniform 0.5
  EXPECT_TRUE(near_rgb(pixel(410, 10), 0, 0, 0));      // invisible
}

TEST_F(Layers, OddPicturesAreReadInsideThemselves) {
  // 24-bit rows of 5 pixels are padded to 16 bytes; rows must follow the pitch.
  write_bmp(dir / "pad.bmp", 5, 3, 24, [](int x, int y) {
    return Rgba{static_cast<unsigned char>(10 * x + 100 * y), 7, 9, 255};
  });
  GraphicsLayer pad((dir / "pad").c_str(), false);
  ASSERT_EQ(pad.tiles[0]->width, 4);
  ASSERT_EQ(pad.tiles[0]->height, 2);
  std::vector<unsigned char> t = texels(pad.tiles[0]->texname, 4, 2);
  EXPECT_TRUE(near_rgb(texel(t, 4, 0, 1), 100, 7, 9, 0));
  EXPECT_TRUE(near_rgb(texel(t, 4, 3, 1), 130, 7, 9, 0));

  // A smaller 32-bit alpha picture under a 24-bit colour picture: its own
  // geometry is used and what it does not cover is transparent.
  write_bmp(dir / "small.bmp", 8, 8, 24, [](int, int) { return Rgba{9, 8, 7, 255}; });
  write_bmp(dir / "small.a.bmp", 4, 4, 32,
            [](int x, int y) { return Rgba{0, 0, static_cast<unsigned char>(10 + x + 4 * y), 1}; });
  GraphicsLayer small((dir / "small").c_str(), true);
  t = texels(small.tiles[0]->texname, 8, 8);
  EXPECT_EQ(texel(t, 8, 0, 0).a, 10);
  EXPECT_EQ(texel(t, 8, 3, 3).a, 25);
  EXPECT_EQ(texel(t, 8, 2, 1).a, 16);
  EXPECT_EQ(texel(t, 8, 4, 0).a, 0);
  EXPECT_EQ(texel(t, 8, 0, 4).a, 0);
  EXPECT_EQ(texel(t, 8, 7, 7).a, 0);
  EXPECT_TRUE(near_rgb(texel(t, 8, 7, 7), 9, 8, 7, 0));

  // A texture of no size at all.
  Texture* none = new Texture(0, 0, nullptr, 0, 0, nullptr, 0, 0);
  EXPECT_EQ(none->width, 0);
  delete none;
}

TEST_F(Layers, SpriteSheetFromSmallOrThreeBytePictures) {
  // A 64 by 64 24-bit sheet with a 32 by 32 alpha picture, asked for 512 by
  // 512: the pictures are read inside their bounds, the rest is transparent.
  write_bmp(dir / "s.bmp", 64, 64, 24, where);
  write_alpha_bmp(dir / "s_alpha.bmp", 32, 32, [](int x, int) { return x < 16 ? 200 : 100; });
  Texture* sheet =
      load_spritesheet((dir / "s.bmp").c_str(), (dir / "s_alpha.bmp").c_str(), 512, 512);
  ASSERT_EQ(sheet->width, 512);
  std::vector<unsigned char> t = texels(sheet->texname, 512, 512);
  Rgba p = texel(t, 512, 10, 20);
  EXPECT_TRUE(near_rgb(p, 10, 20, 20, 0));
  EXPECT_EQ(p.a, 200);
  EXPECT_EQ(texel(t, 512, 20, 5).a, 100);
  p = texel(t, 512, 40, 5);  // colour picture, no alpha picture
  EXPECT_TRUE(near_rgb(p, 40, 5, 20, 0));
  EXPECT_EQ(p.a, 0);
  p = texel(t, 512, 300, 300);
  EXPECT_TRUE(near_rgb(p, 0, 0, 0, 0));
  EXPECT_EQ(p.a, 0);
  delete sheet;

  // A full 32-bit sheet reads as stored, to its last texel.
  write_bmp(dir / "f.bmp", 512, 512, 32, where);
  write_bmp(dir / "f_alpha.bmp", 512, 512, 32,
            [](int x, int y) { return Rgba{0, 0, static_cast<unsigned char>((x + y) & 255), 0}; });
  sheet = load_spritesheet((dir / "f.bmp").c_str(), (dir / "f_alpha.bmp").c_str(), 512, 512);
  t = texels(sheet->texname, 512, 512);
  p = texel(t, 512, 511, 511);
  Rgba want = where(511, 511);
  EXPECT_TRUE(near_rgb(p, want.r, want.g, want.b, 0));
  EXPECT_EQ(p.a, (511 + 511) & 255);
  delete sheet;
}

// Palette pictures cannot be coloured: a clear message, not a read past the row.
TEST(LayerPictures, PaletteColourPictureIsRefused) {
  TempDir dir;
  std::string pal = dir / "pal.bmp";
  if (!run_convert("-size 4x4 xc:red -type Palette BMP3:'" + pal + "'")) return;
  EXPECT_EXIT(GraphicsLayer l((dir / "pal").c_str(), false), testing::ExitedWithCode(1),
              "Picture has 1 bytes per pixel, needs 3 or 4: .*pal\\.bmp\n$");
  EXPECT_EXIT(load_spritesheet(pal.c_str(), pal.c_str(), 512, 512), testing::ExitedWithCode(1),
              "Picture has 1 bytes per pixel, needs 3 or 4: .*pal\\.bmp\n$");
}

}  // namespace
