// World snapshots: saving and restoring a world's mutable state whole.
#include "kit/snapshot.h"

void snapshot(const World& w, WorldSnapshot& s) {
  s.shiftx = w.shiftx;
  s.shifty = w.shifty;
  s.camx = w.camx;
  s.camy = w.camy;
  s.x = w.x;
  s.y = w.y;
  s.vx = w.vx;
  s.vy = w.vy;
  s.plane = w.plane;
  s.gravitytick = w.gravitytick;
  s.shiftcount = w.shiftcount;
  s.canshift = w.canshift;
  s.state = w.state;
  s.keyleft = w.keyleft;
  s.keyright = w.keyright;
  s.jump = w.jump;
  s.animstart = w.animstart;
  s.animlength = w.animlength;
  s.frame = w.frame;
  s.facing = w.facing;
  s.frametimer = w.frametimer;
  s.checkx = w.checkx;
  s.checky = w.checky;
  s.checkitems = w.checkitems;
  s.itemmask = w.itemmask;
  s.fade = w.fade;
  s.lastbox = -1;
  for (size_t i = 0; i < w.boxes.size(); i++)
    if (w.boxes[i] == w.lastbox) s.lastbox = static_cast<int32_t>(i);
  s.soundsasked = w.soundsasked;
  s.kinds.resize(w.items.size());
  for (size_t i = 0; i < w.items.size(); i++) s.kinds[i] = w.items[i] ? w.items[i]->kind : 0;
  s.latepickups = w.latepickups;
  s.memory = stepmemory;
}

void restore(World& w, const WorldSnapshot& s) {
  w.shiftx = s.shiftx;
  w.shifty = s.shifty;
  w.camx = s.camx;
  w.camy = s.camy;
  w.x = s.x;
  w.y = s.y;
  w.vx = s.vx;
  w.vy = s.vy;
  w.plane = s.plane;
  w.gravitytick = s.gravitytick;
  w.shiftcount = s.shiftcount;
  w.canshift = s.canshift;
  w.state = s.state;
  w.keyleft = s.keyleft;
  w.keyright = s.keyright;
  w.jump = s.jump;
  w.animstart = s.animstart;
  w.animlength = s.animlength;
  w.frame = s.frame;
  w.facing = s.facing;
  w.frametimer = s.frametimer;
  w.checkx = s.checkx;
  w.checky = s.checky;
  w.checkitems = s.checkitems;
  w.itemmask = s.itemmask;
  w.fade = s.fade;
  const bool known = s.lastbox >= 0 && static_cast<size_t>(s.lastbox) < w.boxes.size();
  w.lastbox = known ? w.boxes[s.lastbox] : nullptr;
  w.soundsasked = s.soundsasked;
  for (size_t i = 0; i < w.items.size() && i < s.kinds.size(); i++)
    if (w.items[i]) w.items[i]->kind = s.kinds[i];
  w.latepickups = s.latepickups;
  stepmemory = s.memory;
}
