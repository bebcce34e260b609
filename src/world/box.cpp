// Box constructors: corners arrive as (x1, y1, x2, y2), stored as x1, x2, y1, y2.
#include "world/box.h"

// A solid rectangle never reads its kind; it is still zeroed so no byte of a
// Box is ever undefined.
Box::Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2)
    : x1(x1), x2(x2), y1(y1), y2(y2), triangle(false), ledge(false), slippery(false),
      nowalljump(false), kind(0) {}

Box::Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool triangle)
    : x1(x1), x2(x2), y1(y1), y2(y2), triangle(triangle), ledge(false), slippery(false),
      nowalljump(false), kind(0) {}

Box::Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool triangle, bool ledge,
         bool slippery)
    : x1(x1), x2(x2), y1(y1), y2(y2), triangle(triangle), ledge(ledge), slippery(slippery),
      nowalljump(false), kind(0) {}

Box::Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t kind)
    : x1(x1), x2(x2), y1(y1), y2(y2), triangle(false), ledge(false), slippery(false),
      nowalljump(false), kind(kind) {}

Box::Box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool triangle, bool ledge,
         bool slippery, bool nowalljump)
    : x1(x1), x2(x2), y1(y1), y2(y2), triangle(triangle), ledge(ledge), slippery(slippery),
      nowalljump(nowalljump), kind(0) {}
