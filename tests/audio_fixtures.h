// Helpers for the audio tests: a scratch folder, hand-built ADX and WAV files,
// and running a music stream for a number of frames.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/music.h"
#include "tempdir.h"

// Own namespace: test files share one binary.
namespace audiotest {

using Bytes = std::vector<unsigned char>;

inline void writefile(const std::string& path, const Bytes& b) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
  std::fclose(f);
}

// The first `limit` bytes of the file, or fewer if it is shorter.
inline Bytes readfile(const std::string& path, size_t limit = 1 << 30) {
  Bytes b;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return b;
  int c;
  while (b.size() < limit && (c = std::fgetc(f)) != EOF) b.push_back(static_cast<unsigned char>(c));
  std::fclose(f);
  return b;
}

inline void putbe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

// The header fields the game reads; the signature sits at d - 2, data at d + 4.
struct AdxHeader {
  int channels = 1;
  uint32_t rate = 44100;
  uint32_t samples = 32;  // per channel
  int d = 46;
  bool loop = false;
  uint32_t loopstart = 0;  // byte positions from the start of the file
  uint32_t loopend = 0;
};

inline Bytes adxfile(const AdxHeader& h, const Bytes& data) {
  Bytes b(size_t(h.d) + 4, 0);
  b[0] = 0x80;
  b[2] = static_cast<unsigned char>(h.d >> 8);
  b[3] = static_cast<unsigned char>(h.d & 0xff);
  b[4] = 3;
  b[5] = 18;
  b[6] = 4;
  b[7] = static_cast<unsigned char>(h.channels);
  putbe32(b, 8, h.rate);
  putbe32(b, 12, h.samples);
  if (h.loop) b[27] = 1;
  putbe32(b, 32, h.loopstart);
  putbe32(b, 40, h.loopend);
  const char* sig = "(c)CRI";
  for (int i = 0; i < 6; i++) b[size_t(h.d) - 2 + size_t(i)] = static_cast<unsigned char>(sig[i]);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// One 18-byte block: the scale, then nibbles (high half first), rest zero.
inline Bytes adxblock(int scale, const std::vector<int>& nibbles) {
  Bytes b(18, 0);
  b[0] = static_cast<unsigned char>(scale >> 8);
  b[1] = static_cast<unsigned char>(scale & 0xff);
  for (size_t i = 0; i < nibbles.size() && i < 32; i++) {
    unsigned n = unsigned(nibbles[i]) & 15u;
    b[2 + i / 2] |= static_cast<unsigned char>(i % 2 == 0 ? n << 4 : n);
  }
  return b;
}

inline Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Frames of the stream as interleaved left, right samples, in buffers of at
// most `buffer` frames.
inline std::vector<int16_t> play(Music& m, int frames, int buffer = 4096) {
  std::vector<int16_t> out;
  std::vector<unsigned char> stream(size_t(buffer) * 4);
  while (frames > 0) {
    int n = frames < buffer ? frames : buffer;
    m.audio_callback(stream.data(), n * 4);
    for (int i = 0; i < n * 2; i++)
      out.push_back(int16_t(uint16_t(stream[2 * size_t(i)] | stream[2 * size_t(i) + 1] << 8)));
    frames -= n;
  }
  return out;
}

// Signal-to-noise ratio in dB of b against the reference a, over their common length.
inline double snr(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  double s = 0, e = 0;
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; i++) {
    s += double(a[i]) * a[i];
    e += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
  }
  return e == 0 ? 200.0 : 10 * std::log10(s / e);
}

// A sum of sines, one channel: amplitudes in full scale, frequencies in Hz.
inline std::vector<int16_t> tones(int frames, int rate, std::vector<std::pair<double, double>> parts) {
  std::vector<int16_t> out(static_cast<size_t>(frames));
  for (int i = 0; i < frames; i++) {
    double v = 0;
    for (auto& p : parts) v += p.first * std::sin(2 * M_PI * p.second * i / rate);
    out[size_t(i)] = int16_t(std::lround(v * 32767));
  }
  return out;
}

}  // namespace audiotest
