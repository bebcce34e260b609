// Deterministic random numbers for the content makers: the same seed gives
// the same numbers on every machine and every build, so the same sources
// always make the same pictures and sounds.
#pragma once
#include <cstdint>

// Two generators behind one face. The level pictures draw from SplitMix64,
// the menu pictures, the sound effects and the music from xorshift64
// (shifts 13, 7, 17); each file is made from the stream it was made from,
// so neither can take the other's place without changing the game's data.
class Rng {
 public:
  enum Kind { splitmix, xorshift };

  // A xorshift64 seed of 0 would give 0 for ever; it is replaced by a fixed one.
  explicit Rng(uint64_t seed, Kind kind = splitmix);

  uint64_t next();                  // the next 64-bit word
  float unit();                     // its top 24 bits as 0 <= u < 1
  float range(float lo, float hi);  // lo <= v < hi

 private:
  uint64_t state;
  Kind kind;
};
