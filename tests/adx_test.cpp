// ADX encoder and the twinfold-adx tool: files made here decode cleanly in the
// game's decoder, and both agree with a decoder written elsewhere (ffmpeg's).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <iostream>

#include "content/adxencode.h"
#include "audio/music.h"
#include "audio/wave.h"
#include "audio_fixtures.h"

using namespace audiotest;

namespace {

const std::string tool = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-adx";

// Runs a shell command; returns its exit status, or -1 when it did not exit.
int run(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<int16_t> samplesof(const Bytes& raw) {
  std::vector<int16_t> s(raw.size() / 2);
  for (size_t i = 0; i < s.size(); i++) s[i] = int16_t(uint16_t(raw[2 * i] | raw[2 * i + 1] << 8));
  return s;
}

std::vector<int16_t> interleave(const std::vector<int16_t>& l, const std::vector<int16_t>& r) {
  std::vector<int16_t> s;
  for (size_t i = 0; i < l.size(); i++) s.insert(s.end(), {l[i], r[i]});
  return s;
}

std::vector<int16_t> leftof(const std::vector<int16_t>& frames) {
  std::vector<int16_t> l;
  for (size_t i = 0; i < frames.size(); i += 2) l.push_back(frames[i]);
  return l;
}

// Loads the file into the game's decoder and plays `frames` frames.
std::vector<int16_t> gamedecode(const std::string& path, int frames) {
  Music m;
  EXPECT_EQ(m.load(path.c_str()), 0) << path;
  return play(m, frames);
}

uint32_t be32at(const Bytes& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// --- the encoder -------------------------------------------------------------

TEST(AdxEncoder, MonoAndStereoDecodeAbove50dB) {
  TempDir dir;
  const int n = 44100;
  std::vector<int16_t> mono = tones(n, 44100, {{0.4, 440}, {0.3, 660}});
  Bytes file = adxencode(mono, 1, 44100, false);
  writefile(dir.file("mono.adx"), file);
  double monodb = snr(mono, leftof(gamedecode(dir.file("mono.adx"), n)));
  EXPECT_GT(monodb, 50.0);

  std::vector<int16_t> st = interleave(tones(n, 44100, {{0.5, 440}}),
                                       tones(n, 44100, {{0.3, 330}, {0.2, 550}}));
  writefile(dir.file("stereo.adx"), adxencode(st, 2, 44100, false));
  double stereodb = snr(st, gamedecode(dir.file("stereo.adx"), n));
  EXPECT_GT(stereodb, 50.0);

  // 22050 Hz: the game holds every sample for two frames.
  std::vector<int16_t> half = tones(n / 2, 22050, {{0.5, 220}});
  writefile(dir.file("half.adx"), adxencode(half, 1, 22050, false));
  std::vector<int16_t> out = leftof(gamedecode(dir.file("half.adx"), n));
  std::vector<int16_t> evens, odds;
  for (size_t i = 0; i < out.size(); i += 2) {
    evens.push_back(out[i]);
    odds.push_back(out[i + 1]);
  }
  EXPECT_EQ(evens, odds);
  double halfdb = snr(half, evens);
  EXPECT_GT(halfdb, 50.0);
  std::cout << "encoder round trip SNR: mono " << monodb << " dB, stereo " << stereodb
            << " dB, 22050 Hz " << halfdb << " dB\n";
}

TEST(AdxEncoder, HeaderTheGameAccepts) {
  TempDir dir;
  // 40 frames of stereo: two 32-frame groups of two blocks, no end marker.
  Bytes file = adxencode(std::vector<int16_t>(80, 1000), 2, 32000, false);
  EXPECT_EQ(file.size(), 50u + 4 * 18);
  EXPECT_EQ(be32at(file, 12), 64u);
  EXPECT_EQ(file[27], 0);
  writefile(dir.file("a.adx"), file);
  Music m;
  ASSERT_EQ(m.load(dir.file("a.adx").c_str()), 0);
  EXPECT_EQ(m.channels, 2);
  EXPECT_EQ(m.rate, 32000);
  EXPECT_EQ(m.datalength, 74);  // 2 groups of 36 bytes, plus 2
  // Silence is a block of scale 0; a nothing-long input still makes one block.
  Bytes silent = adxencode({}, 1, 44100, true);
  EXPECT_EQ(silent.size(), 50u + 18);
  EXPECT_EQ(silent[50], 0);
  EXPECT_EQ(silent[51], 0);
}

// --- the tool ----------------------------------------------------------------

TEST(AdxTool, LoopKeepsStartToEndOnWholeBlocks) {
  TempDir dir;
  std::vector<int16_t> src = tones(1000, 44100, {{0.5, 441}});
  ASSERT_TRUE(writewave(dir.file("in.wav").c_str(), 1, 44100, src));
  ASSERT_EQ(run(tool + " encode " + dir.file("in.wav") + " " + dir.file("out.adx") +
                " --loop 100 1000 2>" + dir.file("err.txt")), 0);
  // 900 frames round down to 28 blocks: 896 frames, END moved to 996.
  std::string err;
  for (unsigned char c : readfile(dir.file("err.txt"))) err += char(c);
  EXPECT_NE(err.find("from 1000 to 996"), std::string::npos) << err;
  Bytes adx = readfile(dir.file("out.adx"));
  ASSERT_EQ(adx.size(), 50u + 28 * 18);
  EXPECT_EQ(be32at(adx, 12), 896u);      // frames
  EXPECT_EQ(adx[27], 1);                 // loop on
  EXPECT_EQ(be32at(adx, 32), 50u);       // loop start: the data start
  EXPECT_EQ(be32at(adx, 40), 50u + 504); // loop end: after the last block

  // Two rounds through the tool's decoder follow the source from 100 to 995
  // and straight back to 100.
  ASSERT_EQ(run(tool + " decode " + dir.file("out.adx") + " " + dir.file("out.raw") + " 1792"), 0);
  Bytes raw = readfile(dir.file("out.raw"));
  ASSERT_EQ(raw.size(), 1792u * 4);
  std::vector<int16_t> expect;
  for (int k = 0; k < 1792; k++) expect.push_back(src[size_t(100 + k % 896)]);
  double db = snr(expect, leftof(samplesof(raw)));
  EXPECT_GT(db, 50.0);
  std::cout << "looped file SNR over two rounds: " << db << " dB\n";
}

TEST(AdxTool, DecodeWritesExactlyTheFramesTheGameWould) {
  TempDir dir;
  std::vector<int16_t> src = interleave(tones(1000, 32000, {{0.5, 300}}), tones(1000, 32000, {{0.2, 900}}));
  ASSERT_TRUE(writewave(dir.file("in.wav").c_str(), 2, 32000, src));
  ASSERT_EQ(run(tool + " encode " + dir.file("in.wav") + " " + dir.file("out.adx")), 0);
  ASSERT_EQ(run(tool + " decode " + dir.file("out.adx") + " " + dir.file("out.raw") + " 5000"), 0);
  std::vector<int16_t> got = samplesof(readfile(dir.file("out.raw")));
  EXPECT_EQ(got, gamedecode(dir.file("out.adx"), 5000));
}

TEST(AdxTool, RefusalsAndTheGamesExitCodes) {
  TempDir dir;
  Bytes bad = adxfile({}, adxblock(1, {7}));
  bad[5] = 9;
  writefile(dir.file("bad.adx"), bad);
  std::string out = dir.file("out.txt");
  EXPECT_EQ(run(tool + " decode " + dir.file("bad.adx") + " " + dir.file("x.raw") + " 10 >" + out), 2);
  Bytes said = readfile(out);
  EXPECT_EQ(std::string(said.begin(), said.end()), "audio crash: 2\n");
  EXPECT_EQ(run(tool + " decode " + dir.file("none.adx") + " " + dir.file("x.raw") + " 10 >/dev/null"), 1);

  std::string quiet = " 2>/dev/null";
  EXPECT_EQ(run(tool + quiet), 2);
  EXPECT_EQ(run(tool + " encode a.wav" + quiet), 2);
  EXPECT_EQ(run(tool + " encode " + dir.file("none.wav") + " " + dir.file("o.adx") + quiet), 1);
  ASSERT_TRUE(writewave(dir.file("short.wav").c_str(), 1, 44100, std::vector<int16_t>(100, 5)));
  std::string encode = tool + " encode " + dir.file("short.wav") + " " + dir.file("o.adx");
  EXPECT_EQ(run(encode + " --loop 50 40" + quiet), 1);   // start after end
  EXPECT_EQ(run(encode + " --loop 0 101" + quiet), 1);   // past the input
  EXPECT_EQ(run(encode + " --loop 10 41" + quiet), 1);   // under one block
  EXPECT_EQ(run(encode + " --loop -1 50" + quiet), 1);
  EXPECT_EQ(run(encode + " --loop 0 64" + quiet), 0);
}

// --- against ffmpeg ----------------------------------------------------------

class AgainstFfmpeg : public ::testing::Test {
 protected:
  TempDir dir;
  void SetUp() override {
    ASSERT_EQ(run("ffmpeg -version >/dev/null 2>&1"), 0) << "ffmpeg is needed (scripts/install-deps.sh)";
  }
  // ffmpeg's own decode, in the file's channel count.
  std::vector<int16_t> ffdecode(const std::string& adx) {
    std::string raw = adx + ".ff.raw";
    EXPECT_EQ(run("ffmpeg -v error -nostdin -y -f adx -i " + adx + " -f s16le -c:a pcm_s16le " + raw), 0);
    return samplesof(readfile(raw));
  }
  // ffmpeg encodes a lavfi source to ADX.
  std::string ffencode(const std::string& name, const std::string& source) {
    std::string adx = dir.file(name);
    EXPECT_EQ(run("ffmpeg -v error -nostdin -y -f lavfi -i \"" + source + "\" -c:a adpcm_adx -f adx " + adx), 0);
    return adx;
  }
};

TEST_F(AgainstFfmpeg, BothDecodersAgreeOnEitherEncoder) {
  const int n = 44100;
  // Mono: ffmpeg's file (it ends with an end-marker block, which our length
  // arithmetic never reaches).
  std::string fm = ffencode("ffmono.adx", "sine=frequency=440:sample_rate=44100:duration=1");
  std::vector<int16_t> ffm = ffdecode(fm);
  ASSERT_GE(ffm.size(), size_t(n));
  double theirsmono = snr(ffm, leftof(gamedecode(fm, n)));
  EXPECT_GE(theirsmono, 30.0);

  // Stereo: different tones left and right.
  std::string fs = ffencode("ffstereo.adx",
                            "aevalsrc=0.5*sin(2*PI*440*t)|0.3*sin(2*PI*660*t):s=44100:d=1");
  std::vector<int16_t> ffs = ffdecode(fs);
  ASSERT_GE(ffs.size(), size_t(2 * n));
  double theirsstereo = snr(ffs, gamedecode(fs, n));
  EXPECT_GE(theirsstereo, 30.0);

  // Our encoder on the same signals: ffmpeg's decode stays at least as close to
  // ours (within 1 dB: its predictor comes from the rate and the cutoff, and
  // no cutoff gives exactly the game's fixed coefficients).
  std::vector<int16_t> mono = tones(n, 44100, {{0.5, 440}});
  writefile(dir.file("ours.adx"), adxencode(mono, 1, 44100, false));
  std::vector<int16_t> game = gamedecode(dir.file("ours.adx"), n);
  double oursmono = snr(ffdecode(dir.file("ours.adx")), leftof(game));
  EXPECT_GE(oursmono, 30.0);
  EXPECT_GE(oursmono, theirsmono - 1.0);
  double sourcemono = snr(mono, leftof(game));
  EXPECT_GT(sourcemono, 50.0);

  std::vector<int16_t> st = interleave(tones(n, 44100, {{0.5, 440}}), tones(n, 44100, {{0.3, 660}}));
  writefile(dir.file("ours2.adx"), adxencode(st, 2, 44100, false));
  game = gamedecode(dir.file("ours2.adx"), n);
  double oursstereo = snr(ffdecode(dir.file("ours2.adx")), game);
  EXPECT_GE(oursstereo, 30.0);
  EXPECT_GE(oursstereo, theirsstereo - 1.0);
  double sourcestereo = snr(st, game);
  EXPECT_GT(sourcestereo, 50.0);

  std::cout << "ffmpeg's files, game vs ffmpeg decode: mono " << theirsmono << " dB, stereo "
            << theirsstereo << " dB\n"
            << "our files, game vs ffmpeg decode: mono " << oursmono << " dB, stereo " << oursstereo
            << " dB\n"
            << "our files, game decode vs source: mono " << sourcemono << " dB, stereo "
            << sourcestereo << " dB\n";
}

}  // namespace
