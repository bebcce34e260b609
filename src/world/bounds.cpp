// Level bounds: the rectangle a level's elements and start span, for the
// tools that lay a grid over a level or draw it.
#include "world/world.h"

LevelBounds levelbounds(const World& w, bool items) {
  LevelBounds b{w.x, w.y, w.x, w.y};
  auto corners = [&b](const std::vector<Box*>& list) {
    for (const Box* e : list) {
      if (!e) continue;
      b.add(e->x1, e->y1);
      b.add(e->x2, e->y2);
    }
  };
  corners(w.boxes);
  if (items) corners(w.items);
  return b;
}
