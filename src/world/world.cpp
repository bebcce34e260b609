// World construction and destruction: the common set-up both constructors run,
// ownership, and the mixer hand-over.
#include "world/world.h"

#include <cstring>

World::World(const PictureMaker* pictures) : mixer(nullptr), pictures(pictures) {
  // 1. boxes and items start empty (members); 2. common set-up.
  load_common();
}

void World::load_common() {
  // 1. Every field to its start value: the mutable state to its initialisers,
  //    then the level's settings; boxes, items and mixer are left alone.
  static_cast<WorldState&>(*this) = WorldState{};
  imageshiftx = imageshifty = 0;
  nextlevel[0] = '\0';
  lastbox = nullptr;
  backgroundname[0] = '\0';
  foregroundname[0] = '\0';
  viewmaster = viewmastercard = nullptr;
  spritesheet = nullptr;

  // 2. The layer pair, both empty.
  layers = new GraphicsLayer*[2]{nullptr, nullptr};

  if (!pictures) return;
  // 3.-6. The sprite sheet from its colour and alpha pictures, then the two
  // pickup pictures (BMP with alpha pictures).
  spritesheet = pictures->sheet("orvik_spritesheet.bmp", "orvik_spritesheet_alpha.bmp", 512, 512);
  viewmaster = pictures->layer("viewmaster", true, false);
  viewmastercard = pictures->layer("viewmaster_card", true, false);
}

World::~World() {
  // load_common read backwards; mixer and lastbox are borrowed. Pictures exist
  // only where a maker made them (or a test handed them over with its maker).
  if (pictures) {
    pictures->freelayer(viewmastercard);
    pictures->freelayer(viewmaster);
    pictures->freelayer(layers[1]);
    pictures->freelayer(layers[0]);
  }
  delete[] layers;
  if (pictures) pictures->freesheet(spritesheet);
  for (Box* b : items) delete b;
  for (Box* b : boxes) delete b;
}

void World::setMixer(Mixer* m) { mixer = m; }
