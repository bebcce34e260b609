// The media maker, driven as a program: WAV and BMP layouts read back byte by byte
// (and by SDL), footsteps told apart, loops checked at their seam, score and page
// sources rejected with their line, and the pictures' text checked for ink.
#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tempdir.h"

namespace {

struct ToolRun {
  int status;       // the program's exit status, -1 if it did not exit
  std::string out;  // standard output
  std::string err;  // standard error
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void spit(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Runs twinfold-media with args (already quoted), capturing its output in dir.
ToolRun media(const std::string& dir, const std::string& args) {
  std::string cmd = std::string("'") + TWINFOLD_BINARY_DIR + "/twinfold-media' " + args + " >'" + dir +
                    "/out.txt' 2>'" + dir + "/err.txt'";
  int raw = std::system(cmd.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir + "/out.txt"), slurp(dir + "/err.txt")};
}

unsigned u16(const std::string& b, size_t at) { return (unsigned char)b[at] | (unsigned char)b[at + 1] << 8; }
unsigned u32(const std::string& b, size_t at) { return u16(b, at) | u16(b, at + 2) << 16; }

struct Wav {
  int channels = 0;
  std::vector<short> samples;  // interleaved
};

// Reads a WAV file checking every field of the canonical 44-byte layout.
Wav read_wav(const std::string& path) {
  std::string b = slurp(path);
  Wav w;
  EXPECT_GE(b.size(), 44u) << path;
  if (b.size() < 44) return w;
  EXPECT_EQ(b.substr(0, 4), "RIFF") << path;
  EXPECT_EQ(u32(b, 4), b.size() - 8) << path;
  EXPECT_EQ(b.substr(8, 8), "WAVEfmt ") << path;
  EXPECT_EQ(u32(b, 16), 16u) << path;  // the mixer skips exactly this many bytes
  EXPECT_EQ(u16(b, 20), 1u) << path;   // PCM
  w.channels = u16(b, 22);
  EXPECT_EQ(u32(b, 24), 44100u) << path;
  EXPECT_EQ(u32(b, 28), 44100u * 2 * w.channels) << path;
  EXPECT_EQ(u16(b, 32), 2u * w.channels) << path;
  EXPECT_EQ(u16(b, 34), 16u) << path;
  EXPECT_EQ(b.substr(36, 4), "data") << path;
  EXPECT_EQ(u32(b, 40), b.size() - 44) << path;  // no chunk after the data either
  for (size_t i = 44; i + 1 < b.size(); i += 2) w.samples.push_back((short)u16(b, i));
  return w;
}

int peak(const std::vector<short>& s) {
  int p = 0;
  for (short v : s) p = std::max(p, std::abs(int(v)));
  return p;
}

// Is the jump from the last sample to the first no larger than the 95th percentile
// of the steps inside the sound (one channel of interleaved samples)?
bool seamless(const std::vector<short>& s, int channels, int channel) {
  std::vector<int> steps;
  for (size_t i = channel + channels; i < s.size(); i += channels) steps.push_back(std::abs(s[i] - s[i - channels]));
  std::sort(steps.begin(), steps.end());
  int wrap = std::abs(s[channel] - s[s.size() - channels + channel]);
  return wrap <= steps[steps.size() * 95 / 100];
}

}  // namespace

TEST(MediaEffects, WavFilesFollowTheLayoutAndLeaveHeadroom) {
  TempDir dir;
  ASSERT_EQ(media(dir.path, "effects '" + dir.path + "'").status, 0);
  std::vector<std::string> names = {"twinfold.wav", "pickup.wav"};
  for (int i = 1; i <= 7; i++) names.push_back("Foot_Concrete_0" + std::to_string(i) + ".wav");
  for (const std::string& name : names) {
    Wav w = read_wav(dir.path + "/" + name);
    EXPECT_EQ(w.channels, 1) << name;
    ASSERT_FALSE(w.samples.empty()) << name;
    // Loud enough to hear, quiet enough that a few sum over the music without wrapping.
    EXPECT_GE(peak(w.samples), 6000) << name;
    EXPECT_LE(peak(w.samples), 12000) << name;
  }
  // One-shot sounds start and end on silence (no click).
  for (const std::string& name : names) {
    if (name == "twinfold.wav") continue;
    Wav w = read_wav(dir.path + "/" + name);
    EXPECT_LE(std::abs(w.samples.front()), 200) << name;
    EXPECT_EQ(w.samples.back(), 0) << name;
  }
}

TEST(MediaEffects, FootstepsDifferAndTheShiftSoundLoops) {
  TempDir dir;
  ASSERT_EQ(media(dir.path, "effects '" + dir.path + "'").status, 0);
  std::vector<std::vector<short>> steps;
  for (int i = 1; i <= 7; i++)
    steps.push_back(read_wav(dir.path + "/Foot_Concrete_0" + std::to_string(i) + ".wav").samples);
  // Over their common first 100 ms no two footsteps are near copies of each other.
  const size_t n = 4410;
  for (size_t a = 0; a < steps.size(); a++) {
    for (size_t b = a + 1; b < steps.size(); b++) {
      ASSERT_GE(steps[a].size(), n);
      ASSERT_GE(steps[b].size(), n);
      double ab = 0, aa = 0, bb = 0;
      for (size_t i = 0; i < n; i++) {
        ab += double(steps[a][i]) * steps[b][i];
        aa += double(steps[a][i]) * steps[a][i];
        bb += double(steps[b][i]) * steps[b][i];
      }
      EXPECT_LT(std::fabs(ab / std::sqrt(aa * bb)), 0.9) << "footsteps " << a + 1 << " and " << b + 1;
    }
  }
  Wav shift = read_wav(dir.path + "/twinfold.wav");
  EXPECT_GE(shift.samples.size(), 44100u);
  EXPECT_LE(shift.samples.size(), 88200u);
  EXPECT_TRUE(seamless(shift.samples, 1, 0));
}

TEST(MediaEffects, SameBytesEveryTime) {
  TempDir one, two;
  ASSERT_EQ(media(one.path, "effects '" + one.path + "'").status, 0);
  ASSERT_EQ(media(two.path, "effects '" + two.path + "'").status, 0);
  for (const char* name : {"Foot_Concrete_03.wav", "twinfold.wav", "pickup.wav"})
    EXPECT_EQ(slurp(one.path + "/" + name), slurp(two.path + "/" + name)) << name;
}

// A one-voice score: a note on the last step whose release rings on past the end.
const char* tailscore =
    "tempo 120\nsteps 2\npeak 12000\n"
    "voice v sine a=0.01 d=0.1 s=0.8 r=0.2 vol=0.5 pan=-1\n"
    "pattern p 8\n"
    "v | . . . . | . . . A4\n"
    "end\n"
    "song p p\n";

TEST(MediaMusic, ScoreRendersAStereoLoopOfWholeBlocks) {
  TempDir dir;
  spit(dir.path + "/t.score", tailscore);
  ToolRun r = media(dir.path, "music '" + dir.path + "/t.score' '" + dir.path + "/t.wav'");
  ASSERT_EQ(r.status, 0) << r.err;
  // 120 beats a minute, 2 steps a beat: 11025 frames a step, rounded to whole
  // 32-frame blocks: 345 blocks, 11040 frames. Two patterns of 8 steps.
  const int frames = 2 * 8 * 11040;
  EXPECT_EQ(r.out, std::to_string(frames) + "\n");
  Wav w = read_wav(dir.path + "/t.wav");
  EXPECT_EQ(w.channels, 2);
  ASSERT_EQ(w.samples.size(), 2u * frames);
  EXPECT_EQ(peak(w.samples), 12000);
  int rightmost = 0;
  for (size_t i = 1; i < w.samples.size(); i += 2) rightmost = std::max(rightmost, std::abs(int(w.samples[i])));
  EXPECT_EQ(rightmost, 0);  // panned hard left
  // The second pattern's last note releases over the end of the piece and so
  // sounds at its very start; the middle of each pattern stays silent.
  EXPECT_NE(w.samples[2 * 100], 0);
  EXPECT_EQ(w.samples[2 * 11040 * 4], 0);
  EXPECT_TRUE(seamless(w.samples, 2, 0));
}

TEST(MediaMusic, ScoreParserNamesTheBadLine) {
  TempDir dir;
  const std::string head = "tempo 100\nvoice v sine\nvoice d kick\npattern p 4\n";
  struct Case {
    std::string score, message;
  } cases[] = {
      {head + "v | C4 - -\nend\nsong p\n", ":5: lane has 3 steps, pattern \"p\" has 4"},
      {head + "v | C4 - H4 .\nend\nsong p\n", ":5: bad step \"H4\" for voice \"v\""},
      {head + "d | C4 . . .\nend\nsong p\n", ":5: bad step \"C4\" for voice \"d\""},
      {head + "w | C4 - - -\nend\nsong p\n", ":5: unknown voice \"w\""},
      {head + "v | C4 - - -\nsong p\n", ":6: unknown voice \"song\""},
      {head + "v | C4 - - -\nend\nsong p q\n", ":7: unknown pattern \"q\" in song"},
      {"tempo fast\n", ":1: expected \"tempo NUMBER\""},
      {"voice v organ\n", ":1: unknown wave \"organ\""},
      {"voice v sine vol=2\n", ":1: bad setting \"vol=2\""},
      {"tempo 100\n", ":1: no \"song\" line"},
  };
  for (const Case& c : cases) {
    spit(dir.path + "/bad.score", c.score);
    ToolRun r = media(dir.path, "music '" + dir.path + "/bad.score' '" + dir.path + "/bad.wav'");
    EXPECT_EQ(r.status, 1) << c.score;
    EXPECT_NE(r.err.find("bad.score" + c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

namespace {

// Decodes a PNG as 8-bit RGBA; also reports the file's own colour type and depth.
bool read_png(const std::string& path, int& w, int& h, std::vector<unsigned char>& rgba, int& type, int& depth) {
  std::string b = slurp(path);
  if (b.size() < 33 || b.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return false;
  depth = (unsigned char)b[24];
  type = (unsigned char)b[25];
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, b.data(), b.size())) return false;
  img.format = PNG_FORMAT_RGBA;
  w = img.width;
  h = img.height;
  rgba.resize(PNG_IMAGE_SIZE(img));
  return png_image_finish_read(&img, nullptr, rgba.data(), 0, nullptr) != 0;
}

// A 24-bit BMP read by hand: rows bottom-up, each padded to 4 bytes; returns
// blue, green, red per pixel with row 0 the top.
std::vector<unsigned char> read_bmp24(const std::string& path, int& w, int& h) {
  std::string b = slurp(path);
  w = h = 0;
  if (b.size() < 54 || b.compare(0, 2, "BM") != 0 || u16(b, 28) != 24 || u32(b, 30) != 0) return {};
  w = int(u32(b, 18));
  h = int(u32(b, 22));
  size_t row = (size_t(w) * 3 + 3) / 4 * 4, off = u32(b, 10);
  if (w <= 0 || h <= 0 || off + row * h > b.size()) return {};
  std::vector<unsigned char> px;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < 3 * w; x++) px.push_back(b[off + (h - 1 - y) * row + x]);
  return px;
}

// Reads a BMP by hand and through SDL and checks that both see the same pixels.
void expect_sdl_agrees(const std::string& path, int w, int h) {
  int bw, bh;
  std::vector<unsigned char> mine = read_bmp24(path, bw, bh);
  ASSERT_EQ(bw, w) << path;
  ASSERT_EQ(bh, h) << path;
  SDL_Surface* s = SDL_LoadBMP(path.c_str());
  ASSERT_NE(s, nullptr) << path;
  EXPECT_EQ(s->w, w);
  EXPECT_EQ(s->h, h);
  EXPECT_EQ(s->format->BytesPerPixel, 3);
  int differ = 0;
  for (int y = 0; y < h; y++) {
    const unsigned char* row = (const unsigned char*)s->pixels + y * s->pitch;
    for (int x = 0; x < 3 * w; x++) differ += row[x] != mine[3 * w * y + x];
  }
  EXPECT_EQ(differ, 0) << path;
  SDL_FreeSurface(s);
}

}  // namespace

TEST(MediaPictures, MenuPicturesHaveTheirFormatsAndText) {
  TempDir dir;
  ToolRun r = media(dir.path, std::string("pictures '") + TWINFOLD_SOURCE_DIR + "/data/media' '" + dir.path + "'");
  ASSERT_EQ(r.status, 0) << r.err;
  // The pages: 1024 by 768, 8-bit RGBA as the game's PNG reader expects, opaque.
  for (const char* page : {"orvik_menu", "credits", "orvik_intro01", "orvik_intro02", "orvik_intro03",
                           "orvik_intro04", "orvik_intro05", "orvik_end01", "orvik_end02"}) {
    int w = 0, h = 0, type = 0, depth = 0;
    std::vector<unsigned char> px;
    ASSERT_TRUE(read_png(dir.path + "/" + page + ".png", w, h, px, type, depth)) << page;
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 768);
    EXPECT_EQ(type, 6) << page;
    EXPECT_EQ(depth, 8) << page;
    int seethrough = 0;
    for (size_t i = 3; i < px.size(); i += 4) seethrough += px[i] != 255;
    EXPECT_EQ(seethrough, 0) << page;
  }
  // The BMPs read the same by hand and through SDL, in their sizes.
  expect_sdl_agrees(dir.path + "/ar.bmp", 32, 32);
  expect_sdl_agrees(dir.path + "/ar.a.bmp", 32, 32);
  for (const char* b : {"b1", "b2", "b3", "b4", "bhl"}) {
    expect_sdl_agrees(dir.path + "/" + b + ".bmp", 256, 64);
    expect_sdl_agrees(dir.path + "/" + b + ".a.bmp", 256, 64);
  }
  // The pointer's tip is its top-left pixel; its top-right corner is clear.
  int w, h;
  std::vector<unsigned char> arrow = read_bmp24(dir.path + "/ar.a.bmp", w, h);
  EXPECT_GT(arrow[3 * (1 * 32 + 1)], 200);
  EXPECT_EQ(arrow[3 * (0 * 32 + 31)], 0);
  // A button: clear in its rounded corner, nearly opaque in its middle.
  std::vector<unsigned char> alpha = read_bmp24(dir.path + "/b1.a.bmp", w, h);
  EXPECT_EQ(alpha[0], 0);
  EXPECT_GT(alpha[3 * (32 * 256 + 20)], 200);
  // The labels are set: white ink on the dark body, different for each button.
  std::vector<unsigned char> newgame = read_bmp24(dir.path + "/b1.bmp", w, h);
  std::vector<unsigned char> quit = read_bmp24(dir.path + "/b2.bmp", w, h);
  int white = 0, differ = 0;
  for (int i = 0; i < 256 * 64; i++) {
    white += newgame[3 * i] > 220 && newgame[3 * i + 1] > 220 && newgame[3 * i + 2] > 220;
    differ += std::abs(newgame[3 * i] - quit[3 * i]) > 60;
  }
  EXPECT_GT(white, 150);
  EXPECT_GT(differ, 150);
}

TEST(MediaPictures, PageSourceErrorsNameTheirLine) {
  TempDir dir;
  const std::string data = dir.path + "/data";
  ASSERT_EQ(std::system(("mkdir '" + data + "'").c_str()), 0);
  spit(data + "/credits.txt", "page credits credits\ntitle Twinfold\n");
  spit(data + "/story.txt", "; pages\npage orvik_intro01 valley\ntitle A\npage orvik_intro02 nowhere\n");
  ToolRun r = media(dir.path, "pictures '" + data + "' '" + dir.path + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("story.txt:4: unknown scene \"nowhere\""), std::string::npos) << r.err;
  // Text too long for its panel is an error, not a clipped page.
  std::string lots;
  for (int i = 0; i < 400; i++) lots += "word ";
  spit(data + "/story.txt", "page orvik_intro01 valley\ntitle A\n" + lots + "\n");
  r = media(dir.path, "pictures '" + data + "' '" + dir.path + "'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("page orvik_intro01: the text does not fit its panel"), std::string::npos) << r.err;
}
