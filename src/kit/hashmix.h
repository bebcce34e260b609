// The kit's searches key their states by 64-bit hashes built a word at a time.
#pragma once
#include <cstdint>

// Folds v into the running hash h, every bit of v reaching every bit of the result.
inline uint64_t hashmix(uint64_t h, uint64_t v) {
  h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  h *= 0xbf58476d1ce4e5b9ULL;
  return h ^ (h >> 31);
}
