// The audio thread's work per 4096-frame buffer: the music decoder alone, the
// mixer alone with all eight channels busy, and the whole callback.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "content/adxencode.h"
#include "audio/mixer.h"
#include "audio/music.h"
#include "audio/wave.h"

namespace {

constexpr int frames = 4096;

// A scratch folder with a second of stereo music and a looping sound.
struct Files {
  std::string dir, adx, wav;
  Files() {
    char tmpl[] = "/tmp/twinfold-bench-XXXXXX";
    dir = mkdtemp(tmpl) ? tmpl : ".";
    adx = dir + "/m.adx";
    wav = dir + "/s.wav";
    std::vector<int16_t> music, sound;
    for (int i = 0; i < 44100; i++) {
      music.push_back(int16_t(12000 * std::sin(i * 0.0627)));
      music.push_back(int16_t(9000 * std::sin(i * 0.0314)));
    }
    for (int i = 0; i < 5000; i++) sound.push_back(int16_t(3000 * std::sin(i * 0.2)));
    std::vector<unsigned char> bytes = adxencode(music, 2, 44100, true);
    FILE* f = std::fopen(adx.c_str(), "wb");
    if (f) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    writewave(wav.c_str(), 1, 44100, sound);
  }
  ~Files() { std::system(("rm -rf '" + dir + "'").c_str()); }
};

void BM_MusicCallback(benchmark::State& state) {
  Files files;
  Music music(files.adx.c_str());
  std::vector<unsigned char> buffer(frames * 4);
  for (auto _ : state) {
    music.audio_callback(buffer.data(), int(buffer.size()));
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_MusicCallback);

void BM_MusicAndEightChannels(benchmark::State& state) {
  Files files;
  Music music(files.adx.c_str());
  Mixer mixer;  // the game's sound files are not here: nine lines on stderr
  for (int slot = 0; slot < mixerchannels; slot++) mixer.loadstream(files.wav.c_str(), slot, true);
  for (int c = 0; c < mixerchannels; c++) mixer.play(c, c);
  gamemusic = &music;
  soundeffects = &mixer;
  std::vector<unsigned char> buffer(frames * 4);
  for (auto _ : state) {
    audio_callback_music(nullptr, buffer.data(), int(buffer.size()));
    benchmark::DoNotOptimize(buffer.data());
  }
  gamemusic = nullptr;
  soundeffects = nullptr;
  state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_MusicAndEightChannels);

// The mixer's share alone: all eight channels added onto a buffer of music.
void BM_MixerEightChannels(benchmark::State& state) {
  Files files;
  Mixer mixer;  // as above
  for (int slot = 0; slot < mixerchannels; slot++) mixer.loadstream(files.wav.c_str(), slot, true);
  for (int c = 0; c < mixerchannels; c++) mixer.play(c, c);
  std::vector<unsigned char> buffer(frames * 4, 0);
  for (auto _ : state) {
    mixer.audio_callback(buffer.data(), int(buffer.size()));
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_MixerEightChannels);

}  // namespace

// main() comes from the other benchmark file of the binary.
