// Test helpers for the picture and drawing tests: a scratch directory, picture
// file writers (BMP by hand, anything else through ImageMagick's convert) and
// a real OpenGL window with the shell's drawing state, read back pixel by pixel.
#pragma once

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tempdir.h"

inline void write_file(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

inline std::vector<unsigned char> read_file(const std::string& path) {
  std::vector<unsigned char> out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  int c;
  while ((c = fgetc(f)) != EOF) out.push_back(static_cast<unsigned char>(c));
  fclose(f);
  return out;
}

struct Rgba {
  unsigned char r, g, b, a;
};
using PixelFn = std::function<Rgba(int x, int y)>;  // x right, y down from the top row

inline void put16(std::vector<unsigned char>& v, unsigned x) {
  v.push_back(x & 255);
  v.push_back((x >> 8) & 255);
}
inline void put32(std::vector<unsigned char>& v, unsigned x) {
  put16(v, x & 0xffff);
  put16(v, x >> 16);
}

// An uncompressed BMP of 24 bits (rows padded to 4 bytes) or 32 bits
// (blue, green, red, alpha), stored bottom row first as the format wants.
inline void write_bmp(const std::string& path, int w, int h, int bits, const PixelFn& px) {
  int bpp = bits / 8;
  int rowbytes = (w * bpp + 3) / 4 * 4;
  std::vector<unsigned char> v = {'B', 'M'};
  put32(v, 54 + rowbytes * h);
  put32(v, 0);
  put32(v, 54);
  put32(v, 40);
  put32(v, w);
  put32(v, h);
  put16(v, 1);
  put16(v, bits);
  put32(v, 0);
  put32(v, rowbytes * h);
  put32(v, 2835);
  put32(v, 2835);
  put32(v, 0);
  put32(v, 0);
  for (int y = h - 1; y >= 0; y--) {
    size_t start = v.size();
    for (int x = 0; x < w; x++) {
      Rgba p = px(x, y);
      v.push_back(p.b);
      v.push_back(p.g);
      v.push_back(p.r);
      if (bpp == 4) v.push_back(p.a);
    }
    while (v.size() - start < static_cast<size_t>(rowbytes)) v.push_back(0);
  }
  write_file(path, v);
}

// A grey 24-bit BMP whose every pixel is the given alpha value: an alpha picture.
inline void write_alpha_bmp(const std::string& path, int w, int h,
                            const std::function<unsigned char(int, int)>& alpha) {
  write_bmp(path, w, h, 24, [&](int x, int y) {
    unsigned char a = alpha(x, y);
    return Rgba{a, a, a, 255};
  });
}

// Runs ImageMagick's convert with the given arguments; fails the test with a
// clear message when the program is not installed.
inline bool run_convert(const std::string& args) {
  static int present = -1;
  if (present < 0) present = system("convert -version >/dev/null 2>&1") == 0 ? 1 : 0;
  if (!present) {
    ADD_FAILURE() << "ImageMagick's convert is needed to make test pictures "
                     "(scripts/install-deps.sh installs it)";
    return false;
  }
  std::string cmd = "convert " + args + " 2>&1";
  int status = system(cmd.c_str());
  EXPECT_EQ(status, 0) << cmd;
  return status == 0;
}

// A PAM (netpbm) file of red, green, blue, alpha pixels for convert to read.
inline void write_pam(const std::string& path, int w, int h, const PixelFn& px) {
  std::string head = "P7\nWIDTH " + std::to_string(w) + "\nHEIGHT " + std::to_string(h) +
                     "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  std::vector<unsigned char> v(head.begin(), head.end());
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      Rgba p = px(x, y);
      v.insert(v.end(), {p.r, p.g, p.b, p.a});
    }
  write_file(path, v);
}

// A 1024 by 768 OpenGL window with the shell's drawing state: identity
// projection, model-view matrix mode, source-alpha blending, black clear.
class GlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "no X display for OpenGL tests";
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    ASSERT_NE(SDL_SetVideoMode(1024, 768, 0, SDL_OPENGL), nullptr) << SDL_GetError();
    glViewport(0, 0, 1024, 768);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    clear();
  }
  void TearDown() override { SDL_Quit(); }

  static void clear() {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // The unit square over the window, as the world and menu set it.
  static void unit_square() {
    glLoadIdentity();
    glTranslatef(-1, -1, 0);
    glScalef(2, 2, 1);
  }
  // Window pixel (x, y), y counted up from the bottom row.
  static Rgba pixel(int x, int y) {
    glFinish();
    unsigned char p[4] = {0, 0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return Rgba{p[0], p[1], p[2], p[3]};
  }
  // The texels of the bound texture, rows as uploaded, red, green, blue, alpha.
  static std::vector<unsigned char> texels(unsigned texname, int w, int h) {
    std::vector<unsigned char> out(static_cast<size_t>(w) * h * 4 + 4, 0);
    glBindTexture(GL_TEXTURE_2D, texname);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    out.resize(static_cast<size_t>(w) * h * 4);
    return out;
  }
};

// Colour close to (r, g, b) within tol per channel (filtering and blending
// round differently on different rasterisers).
inline ::testing::AssertionResult near_rgb(Rgba p, int r, int g, int b, int tol = 2) {
  if (abs(p.r - r) <= tol && abs(p.g - g) <= tol && abs(p.b - b) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got (" << int(p.r) << ", " << int(p.g) << ", "
                                       << int(p.b) << "), want (" << r << ", " << g << ", " << b
                                       << ")";
}
