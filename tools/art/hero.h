// The hero's sprite sheet and the two pickup pictures.
#pragma once
#include "image.h"

// 512 by 512: 8 by 8 cells of 60 by 60 texels from the top left; frame f in
// column f % 8, row f / 8. Each cell is shown 48 wide and 60 high, so the
// hero is drawn 1.25 times wider than it looks.
Image drawspritesheet();

// 32 by 32 pickup pictures: the stereo-viewer toy and the picture-reel card.
Image drawviewmaster();
Image drawcard();
