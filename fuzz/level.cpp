// Fuzz target: the level loader, headless, reading a level file from memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "world/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen wants at least one byte; the empty level is tested
  FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (!f) return 0;
  // A world with the defaults, headless and without a log; the commands then
  // run on top of them.
  World w(nopictures);
  w.loadcommands(f, nullptr);
  std::fclose(f);
  return 0;
}
