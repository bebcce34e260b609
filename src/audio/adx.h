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
constexpr int adxunityshift = 14;    // 16384 = 1 << 14

// The decoder floors by shifting: >> must be arithmetic on negative values,
// as it is in every compiler we build with (and in C++20 by definition).
static_assert((int64_t{-1} >> 1) == -1 && (int64_t{-16385} >> adxunityshift) == -2,
              "signed right shift must round toward minus infinity");
static_assert(adxunity == 1 << adxunityshift, "the shift must divide by the unity gain");

// One sample: (scale * gain * v + h1 * coef1 - h2 * coef2) / 16384, rounded
// toward minus infinity, clamped to 16 bits. Computed in 64 bits so that no
// scale, gain or history can overflow the sum. v is the nibble, -8..7.
inline int adxstep(int64_t scale, int64_t gain, int v, int h1, int h2) {
  int64_t sum = scale * gain * v + int64_t(h1) * adxcoef1 - int64_t(h2) * adxcoef2;
  // Floor division by 16384 as one arithmetic shift (checked below); it runs
  // twice per frame on the audio thread, where a branch and a divide showed.
  int64_t s = sum >> adxunityshift;
  if (s > 32767) return 32767;
  if (s < -32768) return -32768;
  return int(s);
}

// A nibble as a two's-complement number: 8..15 stand for -8..-1.
inline int adxnibble(unsigned n) { return n >= 8 ? int(n) - 16 : int(n); }
