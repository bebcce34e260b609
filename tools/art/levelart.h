// A level's two pictures, drawn from the level's own elements so that what
// the player sees is what collides.
#pragma once
#include <map>
#include <string>

#include "image.h"

class World;

// The colours of one level's pictures.
struct Palette {
  Colour skytop, skylow, farhills, nearhills, grass, dirt, stone, sun;
};

// Reads "name skytop skylow farhills nearhills grass dirt stone sun" lines
// (colours as RRGGBB, # starts a comment). Returns false with a message in
// err on a malformed line.
bool readpalettes(const std::string& path, std::map<std::string, Palette>& out, std::string& err);

// Picture size for a level: its elements' extent with the same margin on
// either side as the picture offset leaves below and left of it, rounded up
// to whole 256-pixel tiles so that no pixel is lost when the game cuts the
// picture into tiles.
void picturesize(const World& w, int* width, int* height);

// The foreground (elements with alpha) and the opaque background; the seed
// places the grass tufts and the hills and clouds.
Image drawforeground(const World& w, const Palette& p, int width, int height, uint64_t seed);
Image drawbackground(const Palette& p, int width, int height, uint64_t seed);
