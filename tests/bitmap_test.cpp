// Picture loading: every PNG and BMP kind made by ImageMagick from a known
// pixel pattern, compared byte by byte; and every way a picture file can fail.
#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/resource.h>

#include <cstring>

#include "gl_fixture.h"
#include "graphics/bitmap.h"
#include "graphics/swizzle.h"

namespace {

// The 3 by 2 colour pattern, row 0 on top. One pixel is half transparent so
// that palette pictures carry a transparency chunk; the loader drops alpha.
const Rgba pattern[2][3] = {{{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 128}},
                            {{10, 20, 30, 255}, {200, 100, 50, 255}, {255, 255, 255, 255}}};
// Grey values of the grey pattern and the alphas of its grey+alpha form.
const unsigned char greys[6] = {0, 60, 120, 180, 240, 255};
const unsigned char greyalphas[6] = {255, 128, 255, 255, 64, 255};

Rgba pattern_px(int x, int y) { return pattern[y][x]; }

// What the loader must deliver for a pixel of colour c: blue, green, red, 0.
void expect_png_pixels(const Bitmap& b, const std::function<Rgba(int, int)>& want) {
  ASSERT_EQ(b.bytespp, 4);
  ASSERT_EQ(b.pitch, 4 * b.width);
  EXPECT_FALSE(b.fromsurface);
  EXPECT_EQ(b.surface, nullptr);
  for (int y = 0; y < b.height; y++)
    for (int x = 0; x < b.width; x++) {
      const unsigned char* p = b.pixels + y * b.pitch + 4 * x;
      Rgba c = want(x, y);
      EXPECT_EQ(p[0], c.b) << x << "," << y;
      EXPECT_EQ(p[1], c.g) << x << "," << y;
      EXPECT_EQ(p[2], c.r) << x << "," << y;
      EXPECT_EQ(p[3], 0) << x << "," << y;
    }
}

// A BMP bitmap of the pattern: the file's bytes, blue, green, red first.
void expect_bmp_pattern(const Bitmap& b) {
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 3; x++) {
      const unsigned char* p = b.pixels + y * b.pitch + b.bytespp * x;
      EXPECT_EQ(p[0], pattern[y][x].b) << x << "," << y;
      EXPECT_EQ(p[1], pattern[y][x].g) << x << "," << y;
      EXPECT_EQ(p[2], pattern[y][x].r) << x << "," << y;
    }
}

class PictureFiles : public ::testing::Test {
 protected:
  TempDir dir;
  std::string pam() {
    std::string p = dir / "pattern.pam";
    write_pam(p, 3, 2, pattern_px);
    return p;
  }
  std::string grey_pgm() {
    std::string p = dir / "grey.pgm";
    std::vector<unsigned char> v = {'P', '5', '\n', '3', ' ', '2', '\n', '2', '5', '5', '\n'};
    v.insert(v.end(), greys, greys + 6);
    write_file(p, v);
    return p;
  }
  std::string grey_alpha_pam() {
    std::string head =
        "P7\nWIDTH 3\nHEIGHT 2\nDEPTH 2\nMAXVAL 255\nTUPLTYPE GRAYSCALE_ALPHA\nENDHDR\n";
    std::vector<unsigned char> v(head.begin(), head.end());
    for (int i = 0; i < 6; i++) v.insert(v.end(), {greys[i], greyalphas[i]});
    std::string p = dir / "greyalpha.pam";
    write_file(p, v);
    return p;
  }
  // Loads path and checks the "PNG info" line with the file's own header values.
  Bitmap* load_png(const std::string& path, const std::string& info) {
    testing::internal::CaptureStdout();
    Bitmap* b = new Bitmap(path.c_str());
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "filetype: .png\nPNG info: " + info + "\n");
    EXPECT_EQ(b->width, 3);
    EXPECT_EQ(b->height, 2);
    return b;
  }
};

TEST_F(PictureFiles, EveryColourPngKindBecomesBlueGreenRedZero) {
  std::string src = pam();
  struct Kind {
    const char* args;  // convert options and output format
    const char* info;  // the file's width x height, colour type, bit depth
  } kinds[] = {
      {"PNG32:", "3x2, 6, 8"},                       // RGBA
      {"-alpha off PNG24:", "3x2, 2, 8"},            // RGB
      {"PNG24:", "3x2, 2, 8"},                       // RGB with a tRNS colour key
      {"-alpha off PNG48:", "3x2, 2, 16"},           // RGB, 16-bit samples
      {"PNG64:", "3x2, 6, 16"},                      // RGBA, 16-bit samples
      {"-interlace PNG PNG32:", "3x2, 6, 8"},        // Adam7 interlaced
      {"-alpha off -type Palette PNG8:", "3x2, 3, 8"},  // palette without tRNS
      {"-type PaletteAlpha PNG:", "3x2, 3, 4"},      // 4-bit palette with tRNS
  };
  int n = 0;
  for (const Kind& k : kinds) {
    std::string out = dir / ("kind" + std::to_string(n++) + ".png");
    if (!run_convert("'" + src + "' " + k.args + "'" + out + "'")) return;
    SCOPED_TRACE(k.args);
    Bitmap* b = load_png(out, k.info);
    expect_png_pixels(*b, pattern_px);
    delete b;
  }
}

TEST_F(PictureFiles, EveryGreyPngKindBecomesEqualColourBytes) {
  std::string pgm = grey_pgm(), ga = grey_alpha_pam();
  auto grey = [](int x, int y) {
    unsigned char v = greys[y * 3 + x];
    return Rgba{v, v, v, 0};
  };
  struct Kind {
    std::string args;
    const char* info;
  } kinds[] = {
      {"'" + pgm + "' -type Grayscale PNG:", "3x2, 0, 8"},
      {"'" + ga + "' -type GrayscaleAlpha -define png:bit-depth=16 PNG:", "3x2, 4, 16"},
      {"'" + pgm + "' -type Grayscale -define png:bit-depth=16 PNG:", "3x2, 0, 16"},
      {"'" + ga + "' -type GrayscaleAlpha PNG:", "3x2, 4, 8"},
  };
  int n = 0;
  for (const Kind& k : kinds) {
    std::string out = dir / ("grey" + std::to_string(n++) + ".png");
    if (!run_convert(k.args + "'" + out + "'")) return;
    SCOPED_TRACE(k.args);
    Bitmap* b = load_png(out, k.info);
    expect_png_pixels(*b, grey);
    delete b;
  }

  // 1-bit grey: netpbm's 1 is black. Rows 101 and 010.
  std::string pbm = dir / "bits.pbm", out = dir / "bits.png";
  write_file(pbm, {'P', '4', '\n', '3', ' ', '2', '\n', 0xa0, 0x40});
  if (!run_convert("'" + pbm + "' -type Bilevel PNG:'" + out + "'")) return;
  Bitmap* b = load_png(out, "3x2, 0, 1");
  expect_png_pixels(*b, [](int x, int y) {
    unsigned char v = ((x + y) % 2 == 0) ? 0 : 255;
    return Rgba{v, v, v, 0};
  });
  delete b;
}

TEST_F(PictureFiles, BmpKindsKeepTheirBytesAndPitch) {
  std::string src = pam(), b24 = dir / "p24.bmp", b32 = dir / "p32.bmp";
  if (!run_convert("'" + src + "' -alpha off BMP3:'" + b24 + "'")) return;
  if (!run_convert("'" + src + "' -define bmp3:alpha=true BMP3:'" + b32 + "'")) return;

  testing::internal::CaptureStdout();
  Bitmap* b = new Bitmap(b24.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "filetype: .bmp\n");
  EXPECT_EQ(b->width, 3);
  EXPECT_EQ(b->height, 2);
  EXPECT_EQ(b->bytespp, 3);
  EXPECT_EQ(b->pitch, 12);  // 9 bytes of pixels padded to a multiple of 4
  EXPECT_TRUE(b->fromsurface);
  EXPECT_NE(b->surface, nullptr);
  expect_bmp_pattern(*b);
  delete b;

  b = new Bitmap(b32.c_str());
  EXPECT_EQ(b->bytespp, 4);
  EXPECT_EQ(b->pitch, 12);
  expect_bmp_pattern(*b);
  EXPECT_EQ(b->pixels[4 * 2 + 3], 128);  // the fourth byte as stored
  EXPECT_EQ(b->pixels[12 + 3], 255);
  delete b;
}

TEST_F(PictureFiles, SuffixChoosesTheLoader) {
  std::string bmp = dir / "p.bmp";
  write_bmp(bmp, 2, 1, 24, [](int x, int) { return Rgba{(unsigned char)(x * 100), 7, 9, 255}; });
  std::vector<unsigned char> bytes = read_file(bmp);

  // Any other suffix is reported and tried as BMP: a BMP under .tga loads.
  std::string tga = dir / "p.tga";
  write_file(tga, bytes);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  Bitmap* b = new Bitmap(tga.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "filetype: .tga\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "could not determine filetype\n");
  EXPECT_EQ(b->width, 2);
  EXPECT_EQ(b->pixels[3 + 2], 100);  // second pixel's red
  delete b;

  // A name of three characters has no suffix line at all.
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir.path.c_str()), 0);
  write_file("a.b", bytes);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  b = new Bitmap("a.b");
  std::string out = testing::internal::GetCapturedStdout();
  std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(chdir(here), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "could not determine filetype\n");
  EXPECT_EQ(b->height, 1);
  delete b;

  // A PNG under a capital suffix goes to the BMP reader and fails there.
  std::string src = pam(), upper = dir / "p.PNG";
  if (!run_convert("'" + src + "' PNG32:'" + upper + "'")) return;
  EXPECT_EXIT(Bitmap bad(upper.c_str()), testing::ExitedWithCode(1),
              "could not determine filetype\nCould not load bitmap: .*p\\.PNG\n");
}

// CRC of a PNG chunk's type and data.
unsigned crc32(const unsigned char* p, size_t n) {
  unsigned c = 0xffffffffu;
  for (size_t i = 0; i < n; i++) {
    c ^= p[i];
    for (int k = 0; k < 8; k++) c = (c >> 1) ^ (0xedb88320u & (0u - (c & 1)));
  }
  return c ^ 0xffffffffu;
}

TEST_F(PictureFiles, BrokenPngFilesEndWithTheirMessage) {
  std::string src = pam(), good = dir / "good.png";
  if (!run_convert("'" + src + "' PNG32:'" + good + "'")) return;
  std::vector<unsigned char> png = read_file(good);
  ASSERT_GT(png.size(), 60u);

  std::string missing = dir / "missing.png";
  EXPECT_EXIT(Bitmap b(missing.c_str()), testing::ExitedWithCode(1),
              "^\\[read_png_file\\] File .*missing\\.png could not be opened for reading$");

  std::string notpng = dir / "notpng.png", tiny = dir / "tiny.png", empty = dir / "empty.png";
  write_file(notpng, std::vector<unsigned char>(100, 'x'));
  write_file(tiny, std::vector<unsigned char>(png.begin(), png.begin() + 5));
  write_file(empty, {});
  for (const std::string& p : {notpng, tiny, empty})
    EXPECT_EXIT(Bitmap b(p.c_str()), testing::ExitedWithCode(1),
                "^\\[read_png_file\\] File .* is not recognized as a PNG file$");

  // Cut inside the header chunk, or a header with a wrong checksum.
  std::string cuthead = dir / "cuthead.png", badcrc = dir / "badcrc.png";
  write_file(cuthead, std::vector<unsigned char>(png.begin(), png.begin() + 20));
  std::vector<unsigned char> v = png;
  v[29] ^= 0xff;
  write_file(badcrc, v);
  for (const std::string& p : {cuthead, badcrc})
    EXPECT_EXIT(Bitmap b(p.c_str()), testing::ExitedWithCode(1), "Error during init_io$");

  // Zero width, with a valid checksum: libpng refuses the header.
  std::string zero = dir / "zero.png";
  v = png;
  v[16] = v[17] = v[18] = v[19] = 0;
  unsigned c = crc32(&v[12], 17);
  v[29] = c >> 24;
  v[30] = c >> 16;
  v[31] = c >> 8;
  v[32] = c;
  write_file(zero, v);
  EXPECT_EXIT(Bitmap b(zero.c_str()), testing::ExitedWithCode(1), "Error during init_io$");

  // Found by fuzzing: a header claiming a million by a million pixels over a
  // few bytes of data. It ends as data cut short does, without first asking
  // for a row buffer per claimed row (terabytes).
  std::string huge = dir / "huge.png";
  v = std::vector<unsigned char>(png.begin(), png.begin() + 33);
  for (int at : {16, 20}) {
    v[at] = 0x00, v[at + 1] = 0x0f, v[at + 2] = 0x42, v[at + 3] = 0x40;  // 1000000
  }
  c = crc32(&v[12], 17);
  v[29] = c >> 24;
  v[30] = c >> 16;
  v[31] = c >> 8;
  v[32] = c;
  const unsigned char shortdata[] = {0, 0, 0, 5, 'I', 'D', 'A', 'T', 0x78, 0x9c, 0x63, 0, 0};
  v.insert(v.end(), shortdata, shortdata + sizeof shortdata);
  write_file(huge, v);
  EXPECT_EXIT(Bitmap b(huge.c_str()), testing::ExitedWithCode(1), "^Error during read_image$");

  // The image data cut short, or damaged: the header reads, the rows do not.
  size_t idat = 0;
  for (size_t i = 8; i + 8 < png.size(); i++)
    if (memcmp(&png[i], "IDAT", 4) == 0) {
      idat = i;
      break;
    }
  ASSERT_GT(idat, 0u);
  std::string cutdata = dir / "cutdata.png", baddata = dir / "baddata.png";
  write_file(cutdata, std::vector<unsigned char>(png.begin(), png.begin() + idat + 8));
  v = png;
  v[idat + 6] ^= 0x5a;
  write_file(baddata, v);
  for (const std::string& p : {cutdata, baddata})
    EXPECT_EXIT(Bitmap b(p.c_str()), testing::ExitedWithCode(1), "Error during read_image$");
}

TEST_F(PictureFiles, BrokenBmpFilesEndWithTheirMessage) {
  std::string good = dir / "good.bmp";
  write_bmp(good, 4, 4, 24, [](int, int) { return Rgba{1, 2, 3, 255}; });
  std::vector<unsigned char> bmp = read_file(good);

  std::string missing = dir / "missing.bmp", notbmp = dir / "notbmp.bmp",
              cut = dir / "cut.bmp", header = dir / "header.bmp", empty = dir / "empty.bmp",
              zero = dir / "zero.bmp";
  write_file(notbmp, std::vector<unsigned char>(100, 'x'));
  write_file(cut, std::vector<unsigned char>(bmp.begin(), bmp.begin() + 60));
  write_file(header, std::vector<unsigned char>(bmp.begin(), bmp.begin() + 20));
  write_file(empty, {});
  std::vector<unsigned char> v = bmp;
  v[18] = v[19] = v[20] = v[21] = 0;  // width 0
  write_file(zero, v);
  for (const std::string& p : {missing, notbmp, cut, header, empty, zero})
    EXPECT_EXIT(Bitmap b(p.c_str()), testing::ExitedWithCode(1),
                "^Could not load bitmap: " + p + "\n$");
}

// Peak memory of this process so far, in kilobytes.
long peakkb() {
  rusage r;
  getrusage(RUSAGE_SELF, &r);
  return r.ru_maxrss;
}

// A few bytes claiming a huge picture are refused before SDL's reader makes
// a surface of that size; in the child, the peak memory must stay small.
void refusehugeclaim(const std::vector<unsigned char>& file) {
  long before = peakkb();
  std::string err;
  Bitmap* b = Bitmap::read_bmp(SDL_RWFromConstMem(file.data(), int(file.size())), "huge.bmp", err);
  bool small = peakkb() - before < 64 * 1024;
  std::exit(b == nullptr && err == "Could not load bitmap: huge.bmp\n" && small ? 0 : 1);
}

// Reads a PNG from memory in a child and ends it with 0 when it fails with
// message and the peak memory stays small.
void refusepng(const std::vector<unsigned char>& file, const std::string& message) {
  long before = peakkb();
  FILE* f = fmemopen(const_cast<unsigned char*>(file.data()), file.size(), "rb");
  std::string err;
  Bitmap* b = Bitmap::read_png(f, "huge.png", err);
  bool small = peakkb() - before < 64 * 1024;
  std::exit(b == nullptr && err == message && small ? 0 : 1);
}

TEST_F(PictureFiles, PngChunksClaimingGigabytesAreNotAllocated) {
  std::string src = pam(), good = dir / "good.png";
  if (!run_convert("'" + src + "' PNG32:'" + good + "'")) return;
  std::vector<unsigned char> png = read_file(good);
  // Found by fuzzing: after the header, a calibration chunk claiming 2 GB.
  std::vector<unsigned char> v(png.begin(), png.begin() + 33);
  const unsigned char claim[] = {0x7e, 0, 0, 6, 'p', 'C', 'A', 'L', 0, 0xff, 0, 0xff};
  v.insert(v.end(), claim, claim + sizeof claim);
  EXPECT_EXIT(refusepng(v, "Error during init_io"), testing::ExitedWithCode(0), "");
  // The same with a text chunk, after the image: the picture still loads.
  v = std::vector<unsigned char>(png.begin(), png.end() - 12);
  const unsigned char text[] = {0x7e, 0, 0, 6, 't', 'E', 'X', 't', 'a', 0, 'b'};
  v.insert(v.end(), text, text + sizeof text);
  FILE* f = fmemopen(v.data(), v.size(), "rb");
  std::string err;
  Bitmap* b = Bitmap::read_png(f, "text.png", err);
  std::fclose(f);
  ASSERT_NE(b, nullptr) << err;
  EXPECT_EQ(b->width, 3);
  delete b;
}

TEST_F(PictureFiles, BmpHeadersClaimingHugePicturesAreRefusedUpFront) {
  // 30000 by 30000 pixels of 8 bits in 1078 bytes: 900 MB if SDL made it.
  std::vector<unsigned char> claim(1078, 0);
  const unsigned char head[] = {'B', 'M', 0x36, 4, 0, 0, 0, 0, 0, 0, 0x36, 4, 0, 0, 40, 0, 0, 0,
                                0x30, 0x75, 0, 0, 0x30, 0x75, 0, 0, 1, 0, 8, 0};
  std::copy(head, head + sizeof head, claim.begin());
  EXPECT_EXIT(refusehugeclaim(claim), testing::ExitedWithCode(0), "");
  // Found by fuzzing: 327680 by 196608 pixels of 1 bit (64 GB as SDL's 8-bit
  // surface), and a 33-byte file whose header SDL reads on past its end.
  const std::vector<unsigned char> found[] = {
      {0x42, 0x4d, 0x82, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x76, 0x00, 0x42, 0x4d, 0x00,
       0x00, 0x28, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00,
       0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
       0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0x00},
      {0x42, 0x4d, 0xe6, 0x04, 0x2a, 0x09, 0x04, 0x09, 0x09, 0x04, 0x09, 0x09, 0x04, 0x09, 0x09,
       0x04, 0x09, 0x09, 0x04, 0x09, 0x09, 0x04, 0x09, 0x09, 0x04, 0x04, 0x00, 0x00, 0x01, 0x00,
       0x03, 0x00, 0x00}};
  for (const auto& file : found) EXPECT_EXIT(refusehugeclaim(file), testing::ExitedWithCode(0), "");
  // A picture that fits its file still loads.
  std::string good = dir / "good.bmp";
  write_bmp(good, 300, 2, 24, [](int x, int) { return Rgba{(unsigned char)x, 0, 0, 255}; });
  std::vector<unsigned char> bytes = read_file(good);
  std::string err;
  Bitmap* b = Bitmap::read_bmp(SDL_RWFromConstMem(bytes.data(), int(bytes.size())), "good.bmp", err);
  ASSERT_NE(b, nullptr) << err;
  EXPECT_EQ(b->width, 300);
  delete b;
}

// The block byte swap against the plain rule, for every length around its
// four-pixel steps, 3- and 4-byte pixels, with and without an alpha picture.
// Source and alpha end exactly where their pixels do, so the sanitizer build
// sees any read past them; the bytes after the destination must stay as they were.
TEST(PixelOrder, BlockSwapMatchesThePlainRuleAtEveryLength) {
  for (int step : {3, 4}) {
    for (bool withalpha : {false, true}) {
      for (size_t n = 0; n <= 21; n++) {
        SCOPED_TRACE("step " + std::to_string(step) + (withalpha ? " alpha " : " ") + std::to_string(n));
        std::vector<unsigned char> src(n * step), alpha(n * 4), dst(n * 4 + 16, 0xee);
        for (size_t i = 0; i < src.size(); i++) src[i] = static_cast<unsigned char>(i * 7 + 1);
        for (size_t i = 0; i < alpha.size(); i++) alpha[i] = static_cast<unsigned char>(200 - i);
        swizzle::swap02(src.data(), step, withalpha ? alpha.data() : nullptr, 4, 77, dst.data(), n);
        for (size_t i = 0; i < n; i++) {
          EXPECT_EQ(dst[4 * i + 0], src[step * i + 2]);
          EXPECT_EQ(dst[4 * i + 1], src[step * i + 1]);
          EXPECT_EQ(dst[4 * i + 2], src[step * i + 0]);
          EXPECT_EQ(dst[4 * i + 3], withalpha ? alpha[4 * i] : 77);
        }
        for (size_t i = 4 * n; i < dst.size(); i++) EXPECT_EQ(dst[i], 0xee);
      }
    }
  }
}

}  // namespace
