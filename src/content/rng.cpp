// SplitMix64 and xorshift64, and the numbers drawn from them.
#include "content/rng.h"

Rng::Rng(uint64_t seed, Kind k) : state(seed), kind(k) {
  if (kind == xorshift && state == 0) state = 0x9e3779b97f4a7c15ull;
}

uint64_t Rng::next() {
  if (kind == xorshift) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  }
  uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

float Rng::unit() { return float(next() >> 40) / float(1ull << 24); }

float Rng::range(float lo, float hi) { return lo + (hi - lo) * unit(); }
