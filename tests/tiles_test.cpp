// Tiling without a screen: which sides show every pixel in their tiles, and
// a picture's size read from its PNG header alone.
#include <gtest/gtest.h>

#include <string>

#include "graphics/bitmap.h"
#include "graphics/tiles.h"
#include "tempdir.h"

TEST(Tiles, SidesFollowTheLargestPowerOfTwoThatFits) {
  EXPECT_EQ(tileside(0, 300), 256);
  EXPECT_EQ(tileside(1, 300), 32);  // 44 left: 32 fits, 64 does not
  EXPECT_EQ(tileside(3, 1000), 128);
  EXPECT_EQ(tileside(3, 1024), 256);
  EXPECT_EQ(tileside(0, 1), 1);
}

TEST(Tiles, WholeWhenWhatIsLeftIsAPowerOfTwo) {
  for (int whole : {256, 1024, 768, 800, 257, 384, 1})  // 800 = 3 x 256 + 32
    EXPECT_TRUE(tileswhole(whole)) << whole;
  for (int lossy : {1000, 300, 3, 255, 1023})
    EXPECT_FALSE(tileswhole(lossy)) << lossy;
}

TEST(Tiles, PngSizeFromTheHeaderAlone) {
  TempDir dir;
  // Signature, IHDR length and name, then width 1000 and height 257.
  const std::string head("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x03\xe8\0\0\x01\x01", 24);
  int w = 0, h = 0;
  ASSERT_TRUE(pngsize(dir.write("a.png", head), &w, &h));
  EXPECT_EQ(w, 1000);
  EXPECT_EQ(h, 257);
  EXPECT_FALSE(pngsize(dir.write("short.png", head.substr(0, 23)), &w, &h));
  std::string other = head;
  other[1] = 'Q';
  EXPECT_FALSE(pngsize(dir.write("sig.png", other), &w, &h));
  std::string zero = head;
  zero[19] = '\0';
  zero[18] = '\0';
  EXPECT_FALSE(pngsize(dir.write("zero.png", zero), &w, &h));
  EXPECT_FALSE(pngsize(dir.file("missing.png"), &w, &h));
}
