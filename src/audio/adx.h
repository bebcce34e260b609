// ADX: the constants of the 4-bit ADPCM block format and the one decoding step
// that the music player and the encoder share, so both compute the same samples.
#pragma once
#include <cstdint>

constexpr int adxblock = 18;         // bytes per block: 2 scale + 16 nibble bytes
constexpr int adxblocksamples = 32;  // samples per block and channel
constexpr int adxheader = 44;        // header bytes read before the signature
constexpr int adxoutrate = 44100;    // the output rate the shell opens
constexpr int adxcoef1 = 29336;      // prediction from the last sample, 1/16384
constexpr int adxcoef2 = 13136;      // prediction from the one before, 1/16384
constexpr int adxunity = 16384;      // gain of 1.0

// One sample: (scale * gain * v + h1 * coef1 - h2 * coef2) / 16384, rounded
// toward minus infinity, clamped to 16 bits. Computed in 64 bits so that no
// scale, gain or history can overflow the sum. v is the nibble, -8..7.
inline int adxstep(int64_t scale, int64_t gain, int v, int h1, int h2) {
  int64_t sum = scale * gain * v + int64_t(h1) * adxcoef1 - int64_t(h2) * adxcoef2;
  // Floor division by 16384; a plain >> on a negative value is arithmetic in
  // the compilers we build with, but this says it without relying on that.
  int64_t s = sum >= 0 ? sum / adxunity : -((-sum + adxunity - 1) / adxunity);
  if (s > 32767) return 32767;
  if (s < -32768) return -32768;
  return int(s);
}

// A nibble as a two's-complement number: 8..15 stand for -8..-1.
inline int adxnibble(unsigned n) { return n >= 8 ? int(n) - 16 : int(n); }
