// World construction and destruction: the common set-up both constructors run,
// ownership, and the mixer hand-over.
#include "world/world.h"

#include <cstring>

StepMemory stepmemory = {0, 0, false};

World::World(const PictureMaker* pictures) : mixer(nullptr), pictures(pictures) {
  // 1. boxes and items start empty (members); 2. common set-up.
  load_common();
}

void World::load_common() {
  // 1. Every field to its start value; boxes, items and mixer are left alone.
  shiftx = shifty = 0;
  camx = camy = 0;
  x = 500;
  y = 250;
  vx = vy = 0;
  plane = 0;
  gravitytick = 0;
  shiftcount = 0;
  canshift = 0;
  imageshiftx = imageshifty = 0;
  nextlevel[0] = '\0';
  state = 0;
  keyleft = keyright = 0;
  jump = 0;
  animstart = 0;
  animlength = 0;
  frame = 0;
  facing = 1;
  frametimer = 1;
  checkx = 500;
  checky = 250;
  checkitems = 0;
  itemmask = 0;
  fade = -32;
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
