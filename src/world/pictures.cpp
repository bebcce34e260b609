// The game's side of a world: its pictures made as graphics layers and
// textures, and the constructors the game uses, which log on standard output
// and end the program on a level they cannot open. Built with the drawing.
#include <cstdlib>
#include <iostream>

#include "graphics/glayer.h"
#include "graphics/texture.h"
#include "world/world.h"

namespace {

GraphicsLayer* makelayer(const char* name, bool usealpha, bool usepng) {
  return new GraphicsLayer(name, usealpha, usepng);
}
void freelayer(GraphicsLayer* layer) { delete layer; }
void freesheet(Texture* sheet) { delete sheet; }

// A level is something the game cannot do without. Lines logged so far are
// out before the message.
[[noreturn]] void fatal_load(const char* path) {
  std::cout.flush();
  std::cerr << "Error loading map: " << path << std::endl;
  std::exit(1);
}

}  // namespace

const PictureMaker gamepictures = {makelayer, load_spritesheet, freelayer, freesheet};

World::World(const char* path, bool pictures)
    : World(pictures ? &gamepictures : nopictures) {
  // 3.-5. The file, its commands logged on standard output, where the picture
  // loader logs too: each picture's lines follow the line of its command.
  if (loadfile(path, &std::cout).kind == LoadError::cannotopen) fatal_load(path);
}

World::World(bool pictures) : World(pictures ? &gamepictures : nopictures) { builtin(); }
