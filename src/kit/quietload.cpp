// Loading a level for a tool: headless, quiet, and refusing what the loader
// could not read.
#include "kit/quietload.h"

std::unique_ptr<World> loadquiet(const std::string& path, std::string& err) {
  std::unique_ptr<World> w(new World(nopictures));
  const LoadError loaded = w->loadfile(path.c_str(), nullptr);
  if (!loaded) return w;
  err = loaded.message;
  return nullptr;
}
