// World snapshots: saving and restoring a world's mutable state whole.
#include "kit/snapshot.h"

void snapshot(const World& w, WorldSnapshot& s) {
  s.world = w;
  s.lastbox = -1;
  for (size_t i = 0; i < w.boxes.size(); i++)
    if (w.boxes[i] == w.lastbox) s.lastbox = static_cast<int32_t>(i);
  s.kinds.resize(w.items.size());
  for (size_t i = 0; i < w.items.size(); i++) s.kinds[i] = w.items[i] ? w.items[i]->kind : 0;
  s.latepickups = w.latepickups;
  s.happened = w.happened;
}

void restore(World& w, const WorldSnapshot& s) {
  static_cast<WorldState&>(w) = s.world;
  const bool known = s.lastbox >= 0 && static_cast<size_t>(s.lastbox) < w.boxes.size();
  w.lastbox = known ? w.boxes[s.lastbox] : nullptr;
  for (size_t i = 0; i < w.items.size() && i < s.kinds.size(); i++)
    if (w.items[i]) w.items[i]->kind = s.kinds[i];
  w.latepickups = s.latepickups;
  w.happened = s.happened;
}
