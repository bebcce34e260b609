// The browser build's recompressed pictures: decoded by the game's own
// loader, every pixel the same as the picture the art tools wrote, in fewer
// bytes; a broken picture is refused and nothing is written for it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "content/pngsmall.h"
#include "content/pngwrite.h"
#include "graphics/bitmap.h"
#include "tempdir.h"

namespace {

// A smooth wash with noise in its low bits and, with alpha, a hard-edged
// shape of half-transparent pixels: the kinds of rows each filter suits.
std::vector<uint8_t> picture(int w, int h, int channels) {
  std::vector<uint8_t> px(size_t(w) * h * channels);
  uint32_t seed = 12345;
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      seed = seed * 1103515245u + 12345u;
      uint8_t* p = &px[(size_t(y) * w + x) * channels];
      p[0] = uint8_t(x * 255 / w + (seed >> 29));
      p[1] = uint8_t(y * 255 / h);
      p[2] = uint8_t((x + y) & 0xff);
      if (channels == 4) p[3] = (x / 7 + y / 5) % 3 == 0 ? 0 : (x > w / 2 ? 128 : 255);
    }
  }
  return px;
}

void samepixels(const std::string& a, const std::string& b) {
  Bitmap first(a.c_str()), second(b.c_str());
  ASSERT_EQ(first.width, second.width);
  ASSERT_EQ(first.height, second.height);
  ASSERT_EQ(first.pitch, second.pitch);
  for (int y = 0; y < first.height; y++)
    ASSERT_EQ(0, memcmp(first.pixels + y * first.pitch, second.pixels + y * second.pitch,
                        size_t(first.pitch)))
        << "row " << y;
}

TEST(ContentPngSmall, SamePixelsInFewerBytes) {
  TempDir dir;
  // RGB and RGBA, a picture one pixel high and one pixel wide, and one whose
  // row is not a multiple of a filter's pixel.
  const int sizes[][3] = {{300, 200, 4}, {300, 200, 3}, {1, 50, 4}, {77, 1, 3}, {13, 11, 4}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]) + "x" + std::to_string(s[2]));
    const std::vector<uint8_t> px = picture(s[0], s[1], s[2]);
    std::string err;
    ASSERT_TRUE(writepngfile(dir / "made.png", s[0], s[1], s[2], px.data(), true, err)) << err;
    long long before = 0, after = 0;
    ASSERT_TRUE(recompresspng(dir / "made.png", dir / "small.png", before, after, err)) << err;
    samepixels(dir / "made.png", dir / "small.png");
    EXPECT_EQ(before, (long long)std::filesystem::file_size(dir / "made.png"));
    EXPECT_EQ(after, (long long)std::filesystem::file_size(dir / "small.png"));
    if (s[0] * s[1] > 1000) {
      EXPECT_LT(after, before);
    }
    // In place: the same file, smaller or the same.
    ASSERT_TRUE(recompresspng(dir / "made.png", dir / "made.png", before, after, err)) << err;
    samepixels(dir / "made.png", dir / "small.png");
  }
}

TEST(ContentPngSmall, BrokenPictureIsRefusedAndNothingWritten) {
  TempDir dir;
  const std::vector<uint8_t> px = picture(40, 30, 4);
  std::string err;
  ASSERT_TRUE(writepngfile(dir / "made.png", 40, 30, 4, px.data(), false, err)) << err;
  const auto size = std::filesystem::file_size(dir / "made.png");
  std::filesystem::resize_file(dir / "made.png", size / 2);
  long long before = 0, after = 0;
  EXPECT_FALSE(recompresspng(dir / "made.png", dir / "small.png", before, after, err));
  EXPECT_NE(err.find("made.png"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(dir / "small.png"));
  EXPECT_FALSE(std::filesystem::exists(dir / "small.png.small"));
  EXPECT_FALSE(recompresspng(dir / "none.png", dir / "small.png", before, after, err));
  EXPECT_TRUE(encodesmallpng(0, 5, 4, px.data()).empty());
}

}  // namespace
