// The content makers' pictures and random numbers: BMP files laid out as the
// format says and read back by the game's own loader, the alpha picture as
// grey, and both generators against their published first values.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "content/picture.h"
#include "content/rng.h"
#include "graphics/bitmap.h"
#include "tempdir.h"

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned u32(const std::string& b, size_t at) {
  unsigned v = 0;
  for (int i = 3; i >= 0; i--) v = v << 8 | (unsigned char)b[at + i];
  return v;
}

// 3 by 2: the top row red, green, blue; the bottom row white, black, grey;
// opacity 10, 20, ... 60 left to right, top row first.
Image testimage() {
  Image img(3, 2);
  const uint32_t colours[6] = {0xff0000, 0x00ff00, 0x0000ff, 0xffffff, 0x000000, 0x808080};
  for (int i = 0; i < 6; i++) putcolour(img.at(i % 3, i / 3), hexcolour(colours[i]), (i + 1) * 10 / 255.0f);
  return img;
}

TEST(ContentPicture, Bmp24RowsArePaddedAndStoredBottomFirst) {
  TempDir dir;
  std::string err;
  ASSERT_TRUE(writebmp(dir / "c.bmp", testimage(), 24, Layer::colour, err)) << err;
  const std::string b = slurp(dir / "c.bmp");
  // 9 bytes of pixels a row, padded to 12; 54 bytes of headers.
  ASSERT_EQ(b.size(), 54u + 2 * 12);
  EXPECT_EQ(b.substr(0, 2), "BM");
  EXPECT_EQ(u32(b, 2), 78u);
  EXPECT_EQ(u32(b, 10), 54u);
  EXPECT_EQ(u32(b, 18), 3u);
  EXPECT_EQ(u32(b, 22), 2u);
  EXPECT_EQ((unsigned char)b[28], 24);
  // First the bottom row: white, black, grey (0x80), blue-green-red order, 3 zero pad bytes.
  EXPECT_EQ(b.substr(54, 12), std::string("\xff\xff\xff\0\0\0\x80\x80\x80\0\0\0", 12));
  EXPECT_EQ(b.substr(66, 12), std::string("\0\0\xff\0\xff\0\xff\0\0\0\0\0", 12));

  // The game's loader sees the top row first, red as blue, green, red.
  Bitmap read((dir / "c.bmp").c_str());
  ASSERT_EQ(read.bytespp, 3);
  EXPECT_EQ(read.pixels[0], 0);
  EXPECT_EQ(read.pixels[1], 0);
  EXPECT_EQ(read.pixels[2], 255);
  EXPECT_EQ(read.pixels[read.pitch + 2 * 3], 0x80);
}

TEST(ContentPicture, Bmp32AlphaPictureIsGreyWithAFourthByteOf255) {
  TempDir dir;
  std::string err;
  ASSERT_TRUE(writebmp(dir / "a.bmp", testimage(), 32, Layer::alpha, err)) << err;
  const std::string b = slurp(dir / "a.bmp");
  ASSERT_EQ(b.size(), 54u + 2 * 12);
  EXPECT_EQ((unsigned char)b[28], 32);
  EXPECT_EQ(b.substr(54, 12), "\x28\x28\x28\xff\x32\x32\x32\xff\x3c\x3c\x3c\xff");  // 40, 50, 60

  Bitmap read((dir / "a.bmp").c_str());
  ASSERT_EQ(read.bytespp, 4);
  EXPECT_EQ(read.pixels[0], 10);  // opacity of the top left pixel
  EXPECT_EQ(read.pixels[4], 20);
}

TEST(ContentPicture, PngAlphaPictureIsGreyAndAFailedWriteSaysWhere) {
  TempDir dir;
  std::string err;
  ASSERT_TRUE(writepng(dir / "a.png", testimage(), Layer::alpha, err)) << err;
  Bitmap read((dir / "a.png").c_str());
  ASSERT_EQ(read.width, 3);
  EXPECT_EQ(read.pixels[0], 10);
  EXPECT_EQ(read.pixels[1], 10);
  EXPECT_EQ(read.pixels[2], 10);
  EXPECT_EQ(read.pixels[read.pitch + 8], 60);

  EXPECT_FALSE(writebmp(dir / "none/x.bmp", testimage(), 24, Layer::colour, err));
  EXPECT_EQ(err, "cannot write " + (dir / "none/x.bmp"));
}

TEST(ContentPicture, ColourBytesClampAndRoundToNearest) {
  EXPECT_EQ(colourbyte(-0.5f), 0);
  EXPECT_EQ(colourbyte(1.5f), 255);
  EXPECT_EQ(colourbyte(0.2f), 51);
  EXPECT_EQ(colourbyte(0.5f), 128);  // 127.5 rounds up
  EXPECT_EQ(colourbyte(0.499f), 127);
}

TEST(ContentRng, GeneratorsGiveTheirPublishedSequences) {
  // SplitMix64 from seed 0 and xorshift64 (13, 7, 17) from seed 1.
  Rng split(0);
  EXPECT_EQ(split.next(), 0xe220a8397b1dcdafull);
  EXPECT_EQ(split.next(), 0x6e789e6aa1b965f4ull);
  Rng xs(1, Rng::xorshift);
  EXPECT_EQ(xs.next(), 1082269761ull);
  EXPECT_EQ(xs.next(), 0x100041060c011441ull);
  // unit() is the next word's top 24 bits over 2^24: 0x100041 / 2^24 for
  // xorshift's second word from seed 1.
  Rng again(1, Rng::xorshift);
  again.next();
  EXPECT_EQ(again.unit(), float(0x100041) / 16777216.0f);
  // A xorshift seed of 0 must not stick at 0.
  Rng zero(0, Rng::xorshift);
  EXPECT_NE(zero.next(), 0u);
}

}  // namespace
