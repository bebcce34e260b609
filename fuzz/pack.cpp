// Fuzz target: the pack's checking reader, on bytes as a page or a player
// hands them over.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kit/pack.h"
#include "world/world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PackContents pack;
  std::vector<std::string> refusals;
  const bool ok = readpack(std::string(reinterpret_cast<const char*>(data), size), "fuzz.pack",
                           pack, refusals);
  // A pack is taken whole or refused with a reason.
  if (ok == !refusals.empty()) __builtin_trap();
  if (!ok) return 0;
  // What it took: a manifest that writes back and reads the same, files of
  // the sizes it gives, and levels that load.
  PackManifest again;
  if (!parsemanifest(manifesttext(pack.manifest), again, refusals) ||
      again.files.size() != pack.manifest.files.size())
    __builtin_trap();
  for (size_t i = 0; i < pack.manifest.files.size(); i++)
    if (pack.data[i].size() != pack.manifest.files[i].size) __builtin_trap();
  for (const PackLevel& l : packchain(pack))
    if (!loadpacklevel(pack, l.name)) __builtin_trap();
  return 0;
}
