// Music: the ADX loader's checks and lengths, and the decoder's samples worked
// out by hand from the block format.
#include <gtest/gtest.h>
#include <unistd.h>

#include "audio/music.h"
#include "audio_fixtures.h"

using namespace audiotest;

namespace {

class MusicTest : public ::testing::Test {
 protected:
  TempDir dir;
  // Writes the file and loads it without exiting; the code is 0 on success.
  int load(Music& m, const Bytes& file) {
    std::string path = dir.file("m.adx");
    writefile(path, file);
    return m.load(path.c_str());
  }
};

// A mono header with the loop flag on and the two loop byte positions.
AdxHeader looped(uint32_t samples, uint32_t start, uint32_t end) {
  AdxHeader h;
  h.samples = samples;
  h.loop = true;
  h.loopstart = start;
  h.loopend = end;
  return h;
}

std::vector<int16_t> left(const std::vector<int16_t>& frames) {
  std::vector<int16_t> l;
  for (size_t i = 0; i < frames.size(); i += 2) l.push_back(frames[i]);
  return l;
}

// --- decoding -------------------------------------------------------------

TEST_F(MusicTest, PredictorWorkedExamples) {
  Music m;
  // Scale 1, history 0: 7, 0, 0 gives 7, then 7*29336/16384 = 12.5 -> 12,
  // then (12*29336 - 7*13136)/16384 = 15.9 -> 15. Mono: both sides the same.
  ASSERT_EQ(load(m, adxfile({}, adxblock(1, {7, 0, 0}))), 0);
  std::vector<int16_t> f = play(m, 3);
  EXPECT_EQ(f, (std::vector<int16_t>{7, 7, 12, 12, 15, 15}));

  // -1 then 0: the second is -29336/16384 = -1.79, whose floor is -2
  // (truncation toward zero would give -1).
  ASSERT_EQ(load(m, adxfile({}, adxblock(1, {-1, 0}))), 0);
  EXPECT_EQ(left(play(m, 2)), (std::vector<int16_t>{-1, -2}));

  // Scale 0 and history 0: a whole block of silence.
  ASSERT_EQ(load(m, adxfile({}, adxblock(0, {7, -8, 3, 5}))), 0);
  EXPECT_EQ(play(m, 32), std::vector<int16_t>(64, 0));
}

TEST_F(MusicTest, ClampedValueEntersHistory) {
  Music m;
  // 10000*7 = 70000 clamps to 32767. Next, 10000*-8 with that history:
  // (-1310720000 + 32767*29336) / 16384 = -21329.8, floor -21330. Had the
  // unclamped 70000 entered the history it would be 45336.9 -> 32767.
  ASSERT_EQ(load(m, adxfile({}, adxblock(10000, {7, -8}))), 0);
  EXPECT_EQ(left(play(m, 2)), (std::vector<int16_t>{32767, -21330}));
}

TEST_F(MusicTest, LargeScalesComputeWide) {
  Music m;
  // 65535 * 16384 * -8 does not fit 32 bits; the result is -524280 -> -32768,
  // then 65535 * 1 + (-32768*29336)/16384 = 65535 - 58672 = 6863.
  ASSERT_EQ(load(m, adxfile({}, adxblock(65535, {-8, 1}))), 0);
  EXPECT_EQ(left(play(m, 2)), (std::vector<int16_t>{-32768, 6863}));
}

TEST_F(MusicTest, StereoBlocksAlternateLeftRight) {
  Music m;
  AdxHeader h;
  h.channels = 2;
  h.samples = 64;
  // Pair 1: left scale 1 nibble 7 (bytes 0-17), right scale 2 nibble 3
  // (bytes 18-35).
  ASSERT_EQ(load(m, adxfile(h, joined({adxblock(1, {7}), adxblock(2, {3})}))), 0);
  std::vector<int16_t> f = play(m, 2);
  // Right: 6, then 6*29336/16384 = 10.7 -> 10.
  EXPECT_EQ(f, (std::vector<int16_t>{7, 6, 12, 10}));

  // A silent first pair keeps the history at 0, so the second pair's first
  // frame is plain scale times nibble: left 5*1, right 100*-8.
  ASSERT_EQ(load(m, adxfile(h, joined({adxblock(0, {}), adxblock(0, {}), adxblock(5, {1}),
                                       adxblock(100, {-8})}))), 0);
  f = play(m, 97);
  EXPECT_EQ(f[0], 0);
  EXPECT_EQ(f[62], 0);
  EXPECT_EQ(f[64], 5);     // frame 32, left: the third block
  EXPECT_EQ(f[65], -800);  // frame 32, right: the fourth block
  // 64 frames later the data starts over with cleared history.
  EXPECT_EQ(f[128], 0);
  EXPECT_EQ(f[192], 5);
  EXPECT_EQ(f[193], -800);
}

TEST_F(MusicTest, HalfRateOutputsEveryPairTwice) {
  Music m;
  AdxHeader h;
  h.rate = 22050;
  ASSERT_EQ(load(m, adxfile(h, adxblock(1, {7, 0, 0}))), 0);
  EXPECT_EQ(left(play(m, 6)), (std::vector<int16_t>{7, 7, 12, 12, 15, 15}));
}

TEST_F(MusicTest, SameOutputHoweverTheBuffersSplit) {
  // 32000 Hz so that the counter carries a phase across buffers; 44100 Hz,
  // where whole runs of a block are decoded at once, so that buffers end on
  // either half of a byte. Three blocks so that the data wraps inside the run.
  Bytes data;
  for (int b = 0; b < 6; b++) data = joined({data, adxblock(40 + b, {7, -3, 5, 1, -8, 2, 6, -1})});
  for (int rate : {32000, 44100}) {
    AdxHeader h;
    h.channels = 2;
    h.rate = uint32_t(rate);
    h.samples = 96;
    Music whole, split;
    ASSERT_EQ(load(whole, adxfile(h, data)), 0);
    ASSERT_EQ(load(split, adxfile(h, data)), 0);
    std::vector<int16_t> a = play(whole, 1000, 1000);
    std::vector<int16_t> b;
    int sizes[] = {1, 7, 64, 3, 200, 1, 4096};
    int done = 0;
    for (int i = 0; done < 1000; i++) {
      int n = std::min(sizes[i % 7], 1000 - done);
      std::vector<int16_t> part = play(split, n, n);
      b.insert(b.end(), part.begin(), part.end());
      done += n;
    }
    EXPECT_EQ(a, b) << rate << " Hz";
  }
}

TEST_F(MusicTest, FastRatesDecodeEveryFrameForever) {
  // At 48000 Hz (or any rate above 44100) every frame is decoded, so the
  // output equals the 44100 Hz file's frame for frame. 1,000,000 frames is
  // about 23 s, well past where a counter losing 3900 a frame would overflow.
  Bytes data;
  for (int b = 0; b < 4; b++) data = joined({data, adxblock(300 + b, {7, -3, 5, 1, -8, 2})});
  AdxHeader h;
  h.samples = 128;
  Music base, fast, fastest;
  ASSERT_EQ(load(base, adxfile(h, data)), 0);
  h.rate = 48000;
  ASSERT_EQ(load(fast, adxfile(h, data)), 0);
  h.rate = 0xffffffffu;
  ASSERT_EQ(load(fastest, adxfile(h, data)), 0);
  std::vector<int16_t> a = play(base, 1000000);
  EXPECT_EQ(a, play(fast, 1000000));
  EXPECT_EQ(a, play(fastest, 1000000));
  EXPECT_GE(fast.counter, -48000);
}

// --- lengths and loop points ---------------------------------------------

TEST_F(MusicTest, LengthsFromTheSampleCount) {
  struct Case {
    int k;
    uint32_t n;
    int l, e;
  } cases[] = {
      {1, 32, 20, 18},   // B = 18: one block plus 2
      {1, 33, 20, 18},   // B = 594/32 = 18
      {1, 0, 20, 18},    // B = 0: F + 2
      {1, 64, 38, 36},   // B = 36
      {2, 32, 38, 34},   // B = 36, F = 36; E = L - 4
      {2, 1, 38, 34},    // B = 1
      {2, 33, 74, 70},   // B = 37: next multiple of 36 is 72
  };
  for (const Case& c : cases) {
    Music m;
    AdxHeader h;
    h.channels = c.k;
    h.samples = c.n;
    ASSERT_EQ(load(m, adxfile(h, {})), 0);
    EXPECT_EQ(m.datalength, c.l) << c.k << " " << c.n;
    EXPECT_EQ(m.endoffset, c.e) << c.k << " " << c.n;
  }
}

TEST_F(MusicTest, ValidLoopEndStopsPlayback) {
  // Three blocks; loop end after two (byte 46 + 4 + 36): the third never plays.
  Bytes data = joined({adxblock(1, {7}), adxblock(0, {}), adxblock(1000, {7})});
  AdxHeader h = looped(96, 50, 86);
  Music m;
  ASSERT_EQ(load(m, adxfile(h, data)), 0);
  EXPECT_EQ(m.endoffset, 36);
  std::vector<int16_t> f = left(play(m, 128));
  EXPECT_EQ(f[0], 7);
  // Back at the first block with cleared history, not at the third (7000).
  EXPECT_EQ(std::vector<int16_t>(f.begin() + 64, f.begin() + 67), (std::vector<int16_t>{7, 12, 15}));
}

TEST_F(MusicTest, LoopEndAtDataStartRepeatsFirstBlock) {
  Bytes data = joined({adxblock(1, {7, 0, 0}), adxblock(1000, {7})});
  AdxHeader h = looped(64, 50, 50);
  Music m;
  ASSERT_EQ(load(m, adxfile(h, data)), 0);
  std::vector<int16_t> f = left(play(m, 96));
  std::vector<int16_t> first(f.begin(), f.begin() + 32);
  EXPECT_EQ(std::vector<int16_t>(f.begin() + 32, f.begin() + 64), first);
  EXPECT_EQ(std::vector<int16_t>(f.begin() + 64, f.begin() + 96), first);
}

TEST_F(MusicTest, InvalidLoopPointsPlayTheWholeData) {
  // Silent history up to the third block, whose first sample is then 1000*7.
  Bytes data = joined({adxblock(0, {}), adxblock(0, {}), adxblock(1000, {7})});
  struct Case {
    uint32_t start, end;
    const char* why;
  } cases[] = {
      {50, 87, "end not on a block"},
      {51, 86, "start not on a block"},
      {86, 50, "start after end"},
      {50, 50 + 72, "end past the data (L = 56)"},
      {40, 86, "start before the data"},
      {0xffffffffu, 86, "start negative as a 32-bit number"},
  };
  for (const Case& c : cases) {
    AdxHeader h = looped(96, c.start, c.end);
    Music m;
    ASSERT_EQ(load(m, adxfile(h, data)), 0);
    EXPECT_EQ(m.endoffset, 54) << c.why;  // L - 2
    EXPECT_EQ(left(play(m, 65))[64], 7000) << c.why;
  }
  // Loop flag byte not 1: positions ignored even when valid.
  Bytes file = adxfile(looped(96, 50, 86), data);
  file[27] = 2;
  Music m;
  ASSERT_EQ(load(m, file), 0);
  EXPECT_EQ(m.endoffset, 54);
}

// --- short and odd files -----------------------------------------------------

TEST_F(MusicTest, MissingDataPlaysAsZeros) {
  // Four blocks promised, one present: the rest decodes as zero bytes, the
  // same as a file that holds those zeros.
  AdxHeader h;
  h.samples = 128;
  Bytes one = adxblock(1, {7});
  Music shortfile, padded;
  ASSERT_EQ(load(shortfile, adxfile(h, one)), 0);
  ASSERT_EQ(load(padded, adxfile(h, joined({one, Bytes(3 * 18 + 2, 0)}))), 0);
  EXPECT_EQ(play(shortfile, 300), play(padded, 300));
}

TEST_F(MusicTest, HugeSampleCountsNeverReadPastTheData) {
  // 200,000,000 * 18 overflows 32 bits; done wide, B = 112,500,000, a whole
  // number of blocks, so L = B + 2 and E = B. One block is really there.
  AdxHeader h;
  h.samples = 200000000;
  Music m;
  ASSERT_EQ(load(m, adxfile(h, adxblock(1, {7}))), 0);
  EXPECT_EQ(m.datalength, 112500002);
  EXPECT_EQ(m.endoffset, 112500000);
  std::vector<int16_t> f = left(play(m, 64));
  EXPECT_EQ(f[0], 7);

  // Counts whose data length cannot be held at all are refused like a failed
  // allocation.
  h.samples = 0xffffffffu;
  EXPECT_EQ(load(m, adxfile(h, adxblock(1, {7}))), 3);
  h.channels = 2;
  EXPECT_EQ(load(m, adxfile(h, adxblock(1, {7}))), 3);
  // A refused load leaves a silent stream.
  EXPECT_EQ(play(m, 4), std::vector<int16_t>(8, 0));
}

TEST_F(MusicTest, HeaderFailureCodes) {
  Music m;
  EXPECT_EQ(m.load(dir.file("nothing-here.adx").c_str()), 1);
  Bytes good = adxfile({}, adxblock(1, {7}));
  ASSERT_EQ(load(m, good), 0);

  auto with = [&](size_t at, unsigned char v) {
    Bytes b = good;
    b[at] = v;
    return b;
  };
  EXPECT_EQ(load(m, with(0, 0x81)), 2);
  EXPECT_EQ(load(m, with(1, 0x01)), 2);
  EXPECT_EQ(load(m, with(4, 2)), 2);
  EXPECT_EQ(load(m, with(5, 16)), 2);
  EXPECT_EQ(load(m, with(6, 8)), 2);
  EXPECT_EQ(load(m, with(7, 6)), 3);
  EXPECT_EQ(load(m, with(7, 0)), 3);
  Bytes both = with(0, 0);
  both[7] = 6;
  EXPECT_EQ(load(m, both), 2);                 // format is judged before channels
  EXPECT_EQ(load(m, with(44, 'C')), 2);        // "(C)CRI"
  EXPECT_EQ(load(m, with(3, 200)), 2);         // signature offset past the end
  EXPECT_EQ(load(m, with(3, 1)), 2);           // D - 2 before the file start
  EXPECT_EQ(load(m, Bytes(good.begin(), good.begin() + 43)), 2);  // short header
  EXPECT_EQ(load(m, Bytes(good.begin(), good.begin() + 48)), 2);  // signature cut
  EXPECT_EQ(load(m, Bytes()), 2);
}

TEST_F(MusicTest, ConstructorExitsWithTheCode) {
  std::string missing = dir.file("none.adx");
  std::string badmagic = dir.file("magic.adx");
  std::string sixchannels = dir.file("six.adx");
  Bytes b = adxfile({}, adxblock(1, {7}));
  b[0] = 0;
  writefile(badmagic, b);
  AdxHeader h;
  h.channels = 6;
  writefile(sixchannels, adxfile(h, adxblock(1, {7})));
  // The message goes to standard output; the child sends it to stderr where
  // the death test can see it.
  EXPECT_EXIT((dup2(2, 1), Music(missing.c_str())), ::testing::ExitedWithCode(1),
              "^audio crash: 1\n$");
  EXPECT_EXIT((dup2(2, 1), Music(badmagic.c_str())), ::testing::ExitedWithCode(2),
              "^audio crash: 2\n$");
  EXPECT_EXIT((dup2(2, 1), Music(sixchannels.c_str())), ::testing::ExitedWithCode(3),
              "^audio crash: 3\n$");
}

}  // namespace
