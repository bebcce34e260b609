// Mixer: channels and slots, the mix worked out sample by sample, the WAV
// loader on awkward files, and the callback through a real SDL audio device.
#include <gtest/gtest.h>
#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/mixer.h"
#include "audio/music.h"
#include "audio/wave.h"
#include "audio_fixtures.h"

using namespace audiotest;

namespace {

void put16le(Bytes& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}
void put32le(Bytes& b, uint32_t v) {
  put16le(b, v & 0xffff);
  put16le(b, v >> 16);
}
void chunk(Bytes& b, const char* id, const Bytes& body, bool pad = true) {
  b.insert(b.end(), id, id + 4);
  put32le(b, uint32_t(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (pad && body.size() % 2) b.push_back(0);
}
Bytes fmtbody(int tag, int channels, int rate, int bits) {
  Bytes f;
  put16le(f, uint32_t(tag));
  put16le(f, uint32_t(channels));
  put32le(f, uint32_t(rate));
  put32le(f, uint32_t(rate * channels * bits / 8));
  put16le(f, uint32_t(channels * bits / 8));
  put16le(f, uint32_t(bits));
  return f;
}
Bytes samplebytes(const std::vector<int16_t>& s) {
  Bytes b;
  for (int16_t v : s) put16le(b, uint16_t(v));
  return b;
}
Bytes riff(const Bytes& chunks) {
  Bytes b = {'R', 'I', 'F', 'F'};
  put32le(b, uint32_t(chunks.size() + 4));
  b.insert(b.end(), {'W', 'A', 'V', 'E'});
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}
// A plain 16-bit mono 44100 Hz file.
Bytes wav(const std::vector<int16_t>& s) {
  Bytes c;
  chunk(c, "fmt ", fmtbody(1, 1, 44100, 16));
  chunk(c, "data", samplebytes(s));
  return riff(c);
}

class MixerTest : public ::testing::Test {
 protected:
  TempDir dir;
  Mixer* mixer = nullptr;
  void SetUp() override {
    // Built where there is no audio/ folder: every slot starts empty.
    ::testing::internal::CaptureStderr();
    mixer = new Mixer();
    ::testing::internal::GetCapturedStderr();
  }
  void TearDown() override { delete mixer; }
  void load(int slot, const Bytes& file, bool loop = false) {
    std::string path = dir.file("s" + std::to_string(slot) + ".wav");
    writefile(path, file);
    mixer->loadstream(path.c_str(), slot, loop);
  }
  // Mixes `frames` frames onto a buffer whose every sample is `music`.
  std::vector<int16_t> mix(int frames, int16_t music = 0) {
    std::vector<int16_t> buf(size_t(frames) * 2, music);
    mixer->audio_callback(buf.data(), frames * 4);
    return buf;
  }
};

std::vector<int16_t> stereo(std::vector<int16_t> mono) {
  std::vector<int16_t> s;
  for (int16_t v : mono) s.insert(s.end(), {v, v});
  return s;
}

// --- channels ----------------------------------------------------------------

TEST_F(MixerTest, OneShotPlaysOnceThenIdles) {
  load(0, wav({100, -200, 300}));
  EXPECT_EQ(mixer->play(0), 0);
  EXPECT_EQ(mix(5), stereo({100, -200, 300, 0, 0}));
  EXPECT_EQ(mixer->channelslot[0], -1);
  EXPECT_EQ(mixer->channelpos[0], 3);
}

TEST_F(MixerTest, LoopingSlotWrapsFromLastToFirst) {
  load(7, wav({1, 2, 3}), true);
  EXPECT_EQ(mixer->play(7, 7), 7);
  EXPECT_EQ(mix(7), stereo({1, 2, 3, 1, 2, 3, 1}));
  EXPECT_EQ(mixer->channelslot[7], 7);
  // play(7, 7) again restarts from the first sample.
  EXPECT_EQ(mixer->play(7, 7), 7);
  EXPECT_EQ(mixer->channelpos[7], 0);
  EXPECT_EQ(mix(2), stereo({1, 2}));
  mixer->stop(7);
  EXPECT_EQ(mixer->channelslot[7], -1);
  EXPECT_EQ(mix(2), stereo({0, 0}));
}

TEST_F(MixerTest, FreeChannelsAreZeroToSix) {
  load(0, wav(std::vector<int16_t>(100, 1)));
  for (int c = 0; c < 7; c++) EXPECT_EQ(mixer->play(0), c);
  // All seven busy: refused even though channel 7 is idle, nothing changed.
  mixer->channelpos[3] = 42;
  EXPECT_EQ(mixer->play(0), -1);
  EXPECT_EQ(mixer->channelslot[7], -1);
  EXPECT_EQ(mixer->channelpos[3], 42);
  // The lowest idle one is taken.
  mixer->stop(2);
  EXPECT_EQ(mixer->play(0), 2);
  EXPECT_EQ(mixer->channelpos[2], 0);
}

TEST_F(MixerTest, StopOnIdleAndOutOfRangeRequests) {
  load(0, wav({5}));
  mixer->stop(4);
  EXPECT_EQ(mixer->channelslot[4], -1);
  mixer->stop(-1);
  mixer->stop(8);
  // Slots out of range or never loaded, channels out of range: refused.
  EXPECT_EQ(mixer->play(-1), -1);
  EXPECT_EQ(mixer->play(20), -1);
  EXPECT_EQ(mixer->play(9), -1);
  EXPECT_EQ(mixer->play(0, 8), -1);
  EXPECT_EQ(mixer->play(0, -1), -1);
  EXPECT_EQ(mixer->play(12, 7), -1);
  for (int c = 0; c < mixerchannels; c++) EXPECT_EQ(mixer->channelslot[c], -1) << c;
  EXPECT_EQ(mix(1), stereo({0}));
}

// --- the mix -----------------------------------------------------------------

TEST_F(MixerTest, SumsClampOnceInsteadOfWrapping) {
  load(0, wav({30000, 100, -30000}));
  load(1, wav({10000, 200, -10000}));
  mixer->play(0);
  mixer->play(1);
  // 40000 saturates at 32767 (wrap-around would give -25536); 300 passes;
  // -40000 saturates at -32768.
  EXPECT_EQ(mix(3), stereo({32767, 300, -32768}));

  // The music's sample is part of the one sum: 32000 + 1000 -> 32767, and
  // 32000 + 1000 - 2000 = 31000, not 32767 - 2000.
  load(2, wav({1000, 1000}));
  load(3, wav({0, -2000}));
  mixer->play(2);
  mixer->play(3);
  EXPECT_EQ(mix(2, 32000), stereo({32767, 31000}));
}

TEST_F(MixerTest, CallbackRunsMusicThenEffects) {
  std::string path = dir.file("m.adx");
  writefile(path, adxfile({}, adxblock(1, {7, 0, 0})));
  Music music(path.c_str());
  load(8, wav({100, 100, 100}));
  mixer->play(8);
  gamemusic = &music;
  soundeffects = mixer;
  // The buffer's old contents are overwritten by the music (7, 12, 15).
  std::vector<int16_t> buf(6, 9999);
  audio_callback_music(nullptr, reinterpret_cast<unsigned char*>(buf.data()), 12);
  gamemusic = nullptr;
  soundeffects = nullptr;
  EXPECT_EQ(buf, stereo({107, 112, 115}));
}

// --- loading -----------------------------------------------------------------

TEST_F(MixerTest, LoadLogsSizeAndLoaded) {
  ::testing::internal::CaptureStdout();
  load(0, wav({1, 2, 3, 4}));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "wave size: 8\nwave loaded\n");
  EXPECT_EQ(mixer->lengths[0], 4);
  EXPECT_EQ(mixer->loops[0], 0);
}

TEST_F(MixerTest, OddDataSizeDropsTheLastByte) {
  Bytes c;
  chunk(c, "fmt ", fmtbody(1, 1, 44100, 16));
  Bytes nine = samplebytes({1, 2, 3, 4});
  nine.push_back(0x7f);
  chunk(c, "data", nine);
  load(0, riff(c));
  EXPECT_EQ(mixer->lengths[0], 4);
  mixer->play(0);
  EXPECT_EQ(mix(5), stereo({1, 2, 3, 4, 0}));
}

TEST_F(MixerTest, ChunksBeforeDataAreSkipped) {
  // An odd-sized LIST chunk (with its pad byte) and an 18-byte format chunk.
  Bytes c;
  Bytes f = fmtbody(1, 1, 44100, 16);
  f.insert(f.end(), {0, 0});
  chunk(c, "fmt ", f);
  chunk(c, "LIST", Bytes{'a', 'b', 'c'});
  chunk(c, "fact", Bytes{1, 2, 3, 4});
  chunk(c, "data", samplebytes({11, 22}));
  load(0, riff(c));
  mixer->play(0);
  EXPECT_EQ(mix(2), stereo({11, 22}));
}

TEST_F(MixerTest, UnusableFilesLeaveTheSlotEmpty) {
  struct Case {
    const char* why;
    Bytes file;
  };
  std::vector<Case> cases;
  auto with = [](Bytes fmt, Bytes data, int32_t size) {
    Bytes c;
    chunk(c, "fmt ", fmt);
    c.insert(c.end(), {'d', 'a', 't', 'a'});
    put32le(c, uint32_t(size));
    c.insert(c.end(), data.begin(), data.end());
    return riff(c);
  };
  Bytes pcm = fmtbody(1, 1, 44100, 16);
  cases.push_back({"8-bit", with(fmtbody(1, 1, 44100, 8), {1, 2, 3, 4}, 4)});
  cases.push_back({"24-bit", with(fmtbody(1, 1, 44100, 24), {1, 2, 3, 4, 5, 6}, 6)});
  cases.push_back({"float", with(fmtbody(3, 1, 44100, 32), {1, 2, 3, 4}, 4)});
  cases.push_back({"negative size", with(pcm, {1, 2, 3, 4}, -4)});
  cases.push_back({"one byte", with(pcm, {1}, 1)});
  cases.push_back({"no bytes", with(pcm, {}, 0)});
  cases.push_back({"size past the end, nothing there", with(pcm, {}, 1000)});
  cases.push_back({"truncated header", Bytes{'R', 'I', 'F', 'F', 0, 0}});
  cases.push_back({"not RIFF", Bytes(64, 'x')});
  Bytes nofmt;
  chunk(nofmt, "data", samplebytes({1, 2}));
  cases.push_back({"data before format", riff(nofmt)});
  Bytes longfmt;
  chunk(longfmt, "fmt ", pcm);
  longfmt[4] = 200;  // format size runs past the end
  cases.push_back({"format past the end", riff(longfmt)});
  Bytes nodata;
  chunk(nodata, "fmt ", pcm);
  chunk(nodata, "LIST", Bytes{1, 2});
  cases.push_back({"no data chunk", riff(nodata)});

  for (const Case& c : cases) {
    load(0, wav({5, 5}));  // something to replace
    mixer->play(0, 7);
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    load(0, c.file);
    std::string err = ::testing::internal::GetCapturedStderr();
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(mixer->streams[0], nullptr) << c.why;
    EXPECT_EQ(mixer->lengths[0], 1) << c.why;
    EXPECT_EQ(mixer->channelslot[7], -1) << c.why;  // the old sound stopped with it
    EXPECT_EQ(mixer->play(0), -1) << c.why;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.why << ": " << err;
    EXPECT_EQ(out.find("wave loaded"), std::string::npos) << c.why;
  }
  ::testing::internal::CaptureStderr();
  mixer->loadstream(dir.file("missing.wav").c_str(), 0, false);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("missing.wav"), std::string::npos);
  EXPECT_EQ(mixer->play(0), -1);
}

TEST_F(MixerTest, OddFilesPlayAsTheirSamplesCome) {
  // Data size past the end: what is there is used, with a note.
  Bytes c;
  chunk(c, "fmt ", fmtbody(1, 1, 44100, 16));
  c.insert(c.end(), {'d', 'a', 't', 'a'});
  put32le(c, 1000);
  Bytes s = samplebytes({7, 8, 9});
  c.insert(c.end(), s.begin(), s.end());
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  load(0, riff(c));
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "wave size: 1000\nwave loaded\n");
  EXPECT_EQ(mixer->lengths[0], 3);

  // Stereo at 22050 Hz: every sample in file order, one per frame, with notes.
  Bytes st;
  chunk(st, "fmt ", fmtbody(1, 2, 22050, 16));
  chunk(st, "data", samplebytes({1, -1, 2, -2}));
  ::testing::internal::CaptureStderr();
  load(1, riff(st));
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("2 channels"), std::string::npos) << err;
  EXPECT_NE(err.find("22050 Hz"), std::string::npos) << err;
  mixer->play(1);
  EXPECT_EQ(mix(4), stereo({1, -1, 2, -2}));
}

TEST(MixerFiles, ConstructorLoadsTheNineSounds) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("audio").c_str(), 0755), 0);
  for (int i = 1; i <= 7; i++)
    writefile(dir.file("audio/Foot_Concrete_0" + std::to_string(i) + ".wav"),
              wav(std::vector<int16_t>(size_t(i), int16_t(i))));
  writefile(dir.file("audio/twinfold.wav"), wav(std::vector<int16_t>(20, 8)));
  // The pickup file is missing: its slot stays empty, one line on stderr.
  char* was = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir.path.c_str()), 0);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  Mixer m;
  std::string out = ::testing::internal::GetCapturedStdout();
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(chdir(was), 0);
  free(was);
  std::string expect;
  for (int i = 1; i <= 7; i++) expect += "wave size: " + std::to_string(2 * i) + "\nwave loaded\n";
  expect += "wave size: 40\nwave loaded\n";
  EXPECT_EQ(out, expect);
  EXPECT_NE(err.find("audio/pickup.wav"), std::string::npos);
  for (int s = 0; s < 7; s++) EXPECT_EQ(m.lengths[s], s + 1);
  EXPECT_EQ(m.lengths[7], 20);
  EXPECT_EQ(m.loops[7], 1);
  EXPECT_EQ(m.loops[0], 0);
  EXPECT_EQ(m.play(8), -1);
  for (int s = 9; s < mixerslots; s++) {
    EXPECT_EQ(m.streams[s], nullptr);
    EXPECT_EQ(m.lengths[s], 1);
  }
  for (int c = 0; c < mixerchannels; c++) EXPECT_EQ(m.channelslot[c], -1);
}

// --- through the sound device -----------------------------------------------

// Opens SDL's disk audio driver the way the shell opens the device, lets it
// run until the capture file holds enough, and compares the bytes with the
// music's own callback. Runs in a child so that no SDL state leaks.
void capturethroughdevice(const std::string& adx, const std::string& capture) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  if (SDL_Init(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    std::exit(10);
  }
  gamemusic = new Music(adx.c_str());
  SDL_AudioSpec want = {};
  want.freq = 44100;
  want.format = AUDIO_S16LSB;
  want.channels = 2;
  want.samples = 4096;
  want.callback = audio_callback_music;
  SDL_AudioSpec got;
  if (SDL_OpenAudio(&want, &got) != 0) {
    std::fprintf(stderr, "SDL_OpenAudio: %s\n", SDL_GetError());
    std::exit(11);
  }
  SDL_PauseAudio(0);
  // The driver writes in real time: three buffers take about 0.3 s. Until
  // it is unpaused it writes silence, which is skipped (the music's first
  // frame is not silent).
  const size_t bytes = 3 * 4096 * 4;
  const size_t slack = 64 * 4096 * 4;
  Bytes captured;
  size_t lead = 0;
  for (int tries = 0; tries < 2000; tries++) {
    SDL_Delay(10);  // polling, bounded at about 20 s
    captured = readfile(capture, bytes + slack);
    lead = 0;
    while (lead + 4 <= captured.size() && captured[lead] == 0 && captured[lead + 1] == 0 &&
           captured[lead + 2] == 0 && captured[lead + 3] == 0)
      lead += 4;
    if (captured.size() >= lead + bytes) break;
  }
  SDL_PauseAudio(1);
  SDL_CloseAudio();
  SDL_Quit();
  if (captured.size() < lead + bytes) {
    std::fprintf(stderr, "captured only %zu bytes after %zu of silence\n", captured.size() - lead, lead);
    std::exit(12);
  }
  Music fresh(adx.c_str());
  Bytes expect(bytes);
  for (size_t at = 0; at < bytes; at += 4096 * 4) fresh.audio_callback(&expect[at], 4096 * 4);
  auto differ = std::mismatch(expect.begin(), expect.end(), captured.begin() + long(lead));
  if (differ.first != expect.end()) {
    std::fprintf(stderr, "captured stream differs from byte %zu of %zu\n",
                 size_t(differ.first - expect.begin()), bytes);
    std::exit(13);
  }
  std::exit(0);
}

TEST(AudioDevice, DiskDriverCapturesTheMusicCallback) {
  TempDir dir;
  Bytes data;
  for (int b = 0; b < 10; b++) data = joined({data, adxblock(200 + 30 * b, {7, -3, 5, 1, -8, 2, 6, -1})});
  AdxHeader h;
  h.channels = 2;
  h.samples = 160;
  h.rate = 32000;
  std::string adx = dir.file("m.adx");
  writefile(adx, adxfile(h, data));
  EXPECT_EXIT(capturethroughdevice(adx, dir.file("capture.raw")), ::testing::ExitedWithCode(0), "");
}

}  // namespace
