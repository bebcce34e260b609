// Fuzz target: the replay reader.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "kit/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<ReplayLine> lines;
  std::string err;
  if (readreplay(in, "fuzz.replay", lines, err)) {
    // What was read must write back as text that reads the same.
    std::istringstream again(replaytext(lines, {}));
    std::vector<ReplayLine> reread;
    if (!readreplay(again, "again", reread, err) || reread.size() != lines.size()) __builtin_trap();
  }
  return 0;
}
