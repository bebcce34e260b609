// Collision: the vertical sweep of the hero box against the solid elements,
// the touch test against the items, what each item does, and the respawn.
#include <algorithm>

#include "audio/mixer.h"
#include "world/world.h"

namespace {


// a * h / w truncated, for 0 <= a < w and 0 <= h, each below 2^32 (differences
// of int32 corners): the product stays below 2^64, so unsigned 64 bits hold it.
int64_t slopedrop(int64_t a, int64_t h, int64_t w) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(h) /
                              static_cast<uint64_t>(w));
}

}  // namespace

// Level pixels, y up. The hero box stands at x (left edge) and moves its
// bottom edge from fromy toward toy. All element arithmetic runs in 64 bits:
// corners may lie anywhere in the int32 range, so their differences may not.
int World::collidey(int x, int fromy, int toy, bool oneway) {
  // 1. Nothing in the way yet: the whole move d is allowed.
  lastbox = nullptr;
  const int64_t hx = x, from = fromy, to = toy;
  int64_t d = to - from;
  const size_t count = boxes.size();
  // 2. Each element may shorten the move; only a strictly better stop
  // replaces d, so of equal stops the first element in the list wins.
  for (size_t i = 0; i < count; i++) {
    Box* b = boxes[i];
    if (!b) continue;
    const int64_t xmin = std::min(b->x1, b->x2), xmax = std::max(b->x1, b->x2);
    int64_t ymin = std::min(b->y1, b->y2), ymax = std::max(b->y1, b->y2);
    // 2.1 Edges that only meet do not overlap.
    if (!(xmin - herowidth < hx && hx < xmax)) continue;
    // 2.2 A slope is sampled where it reaches furthest into the hero's span.
    // Both branches of each shape need w > 0, given the overlap above.
    if (b->triangle) {
      const int64_t w = xmax - xmin, h = ymax - ymin;
      const bool floor = b->y1 < b->y2, highleft = b->x1 < b->x2;
      const int64_t fromleft = hx - xmin, fromright = xmax - hx - herowidth;
      if (floor && highleft && fromleft > 0) ymax -= slopedrop(fromleft, h, w);
      if (floor && !highleft && fromright > 0) ymax -= slopedrop(fromright, h, w);
      if (!floor && highleft && fromleft > 0) ymin += slopedrop(fromleft, h, w);
      if (!floor && !highleft && fromright > 0) ymin += slopedrop(fromright, h, w);
    }
    if (from > to) {
      // 2.3 Down: the feet stop on the highest top between start and end. A
      // one-way ledge only counts when the feet start at or above its top.
      if (to < ymax && from + heroheight > ymin && !(b->ledge && oneway && from < ymax) &&
          ymax - from > d) {
        d = ymax - from;
        lastbox = b;
      }
    } else {
      // 2.4 Up (or not at all): the head stops at the lowest bottom above it.
      if (to + heroheight > ymin && from < ymin && !(b->ledge && oneway) &&
          ymin - heroheight - from < d) {
        d = ymin - heroheight - from;
        lastbox = b;
      }
    }
  }
  // 3.
  return clampcoord(from + d);
}

// Touch test: the hero box's right and top edges meeting an item count as a
// touch, its left and bottom edges meeting one do not. The length of items is
// read again before each test; effects run the moment an item is found.
int World::collideitems(int x, int y, bool trigger) {
  int count = 0;
  for (size_t i = 0; i < items.size(); i++) {
    const Box* b = items[i];
    if (!b) continue;
    if (touches(x, y, *b)) {
      count++;
      if (trigger) collidecallback(static_cast<int>(i), x, y);
    }
  }
  return count;
}

// The effect of touching items[index]. It works on the hero as it stands now;
// the tested position (x, y) does not change it.
void World::collidecallback(int index, int, int) {
  if (index < 0 || static_cast<size_t>(index) >= items.size() || !items[index]) return;
  Box* item = items[index];
  switch (item->kind) {
    case kind_checkpoint:
      // The hero's position, not the checkpoint's: it respawns where it last touched it.
      checkx = x;
      checky = y;
      checkitems = itemmask;
      latepickups.clear();
      happened.checkpoint = true;
      break;
    case kind_end:
      if (fade == 0) fade = 1;
      break;
    case kind_shift:
    case kind_viewmaster: {
      const bool viewmasterpickup = item->kind == kind_viewmaster;
      item->kind = kind_taken;
      shiftcount += 1;
      // The first items keep their bit; later ones go to their own list so
      // a death gives back exactly what was taken, however long the list.
      if (static_cast<size_t>(index) < itemmaskbits) {
        itemmask |= uint32_t{1} << index;
      } else {
        latepickups.push_back(index);
      }
      soundsasked++;
      if (mixer) mixer->play(pickupslot);
      if (viewmasterpickup) state = happened.state = state_viewmaster;
      break;
    }
    case kind_spikes:
      fade = fadestart;
      go_checkpoint();
      happened.died = true;
      break;
    default:
      break;
  }
}

// Back to the respawn point; every pickup taken since the last checkpoint
// touch becomes a shift pickup again and takes its unit of shiftcount back.
void World::go_checkpoint() {
  // 1.
  x = checkx;
  y = checky;
  // 2. Bits set since the checkpoint, in increasing order, then the later items.
  const uint32_t since = itemmask & ~checkitems;
  for (size_t i = 0; i < itemmaskbits; i++) {
    if (!(since & (uint32_t{1} << i))) continue;
    if (i < items.size() && items[i]) items[i]->kind = kind_shift;
    shiftcount -= 1;
  }
  for (int32_t i : latepickups) {
    if (static_cast<size_t>(i) < items.size() && items[i]) items[i]->kind = kind_shift;
    shiftcount -= 1;
  }
  latepickups.clear();
  // 3.
  itemmask = checkitems;
}
