// World drawing: background, foreground with its pickups and shift copies (or
// the flat-colour element view), then the hero sprite. OpenGL 1.x, immediate.
#include <GL/gl.h>

#include "graphics/glayer.h"
#include "graphics/screen.h"
#include "graphics/texture.h"
#include "world/world.h"

namespace {

// Screen mapping: one level pixel per window pixel.
constexpr float xscale = 1.0f / screenwidth;  // exact: a power of two
constexpr float ydivisor = screenheight;
constexpr float fadestep = 1.0f / fadesteps;  // the fade's opacity moves by this a step
constexpr float faintcopy = 0.5f;          // foreground copies behind the last one
constexpr float faintelements = 0.25f;     // element-view copies behind the first one
constexpr float cell = 0.1171875f;         // 60 / 512: one sprite cell in texture units
constexpr float sheetrow7 = 0.9375f;       // 480 / 512: bottom of the sheet's row 7
constexpr float refusedshift = 0.5f;       // hero opacity when a shift would fail

// A vertex at level point (x, y) seen from the camera (cx, cy).
void vertex(int x, int y, int cx, int cy) {
  glVertex2f(static_cast<float>(x - cx) * xscale, static_cast<float>(y - cy) / ydivisor);
}

// The strip through (x1, y1), (x1, y2), (x2, y1) and, for a rectangle, (x2, y2).
void corners(const Box& b, bool rectangle, int cx, int cy) {
  vertex(b.x1, b.y1, cx, cy);
  vertex(b.x1, b.y2, cx, cy);
  vertex(b.x2, b.y1, cx, cy);
  if (rectangle) vertex(b.x2, b.y2, cx, cy);
}

void fill(const Box& b, bool rectangle, int cx, int cy) {
  glBegin(GL_TRIANGLE_STRIP);
  corners(b, rectangle, cx, cy);
  glEnd();
}

// One copy of the element view, offset by (ox, oy) level pixels.
void draw_elements(const World& w, int k, int ox, int oy, float a) {
  int cx = w.camx - ox, cy = w.camy - oy;
  for (const Box* b : w.boxes) {
    if (!b) continue;
    glColor4f(0.75f - 0.25f * k, 0.5f + 0.25f * k, b->slippery ? 0.75f : 0.25f, a);
    fill(*b, !b->triangle, cx, cy);
    glBegin(GL_LINE_LOOP);
    if (b->triangle) {
      glColor4f(0, 0, 0, a);
      corners(*b, false, cx, cy);
    } else if (b->ledge) {
      // A ledge shows only its walking edge, the one at y2, in white.
      glColor4f(1, 1, 1, a);
      vertex(b->x2, b->y2, cx, cy);
      vertex(b->x1, b->y2, cx, cy);
    } else {
      glColor4f(0, 0, 0, a);
      vertex(b->x2, b->y2, cx, cy);
      vertex(b->x1, b->y2, cx, cy);
      vertex(b->x1, b->y1, cx, cy);
      vertex(b->x2, b->y1, cx, cy);
    }
    glEnd();
  }
  for (const Box* b : w.items) {
    if (!b) continue;
    if (b->kind == kind_taken)
      glColor4f(0.25f, 0.25f, 0.25f, a);
    else if (b->kind == kind_spikes)
      glColor4f(1, 0, 0, a);
    else
      glColor4f(0.75f, 0.75f, 0.75f, a);
    fill(*b, true, cx, cy);
  }
}

}  // namespace

void World::render() {
  // 1. The unit square fills the window.
  glLoadIdentity();
  glTranslatef(-1, -1, 0);
  glScalef(2, 2, 1);

  // 2. Level opacity: 0 at fade -32 (fading in), 1 at 0.
  int absfade = fade < 0 ? -fade : fade;
  float o = 1 - absfade * fadestep;

  // 3. Background, never moved by the shift vector.
  GraphicsLayer* background = layers ? layers[0] : nullptr;
  GraphicsLayer* foreground = layers ? layers[1] : nullptr;
  if (background) background->render(imageshiftx - camx, imageshifty - camy, o);

  if (foreground) {
    // 4. Foreground and pickups; while shifting one copy per shift unit, the
    // full-opacity copy last so it lies on top.
    if (shiftx == 0 && shifty == 0) {
      foreground->render(imageshiftx - camx, imageshifty - camy, o);
      draw_objects(-camx, -camy, o);
    } else {
      for (int i = 0; i <= shiftcount; i++) {
        float a = i == shiftcount ? o : o * faintcopy;
        foreground->render(i * shiftx + imageshiftx - camx, i * shifty + imageshifty - camy, a);
        draw_objects(i * shiftx - camx, i * shifty - camy, a);
      }
    }
  } else {
    // 5. Element view: no texture, no fade; the full copy first, the faint
    // copies over it.
    for (int k = shiftcount; k >= 0; k--)
      draw_elements(*this, k, k * shiftx, k * shifty, k == shiftcount ? 1.0f : faintelements);
  }

  // 6. The hero, at its own position and unfaded.
  if (!spritesheet) return;
  int c = frame % 8, r = frame / 8;
  float leftu = 60.0f * c / 512;
  float rightu = leftu + cell;
  float bottomv = sheetrow7 - (7 - r) * 60.0f / 512;
  float topv = bottomv - cell;
  if (facing < 0) {
    float t = leftu;
    leftu = rightu;
    rightu = t;
  }
  // Where a shift now would put the hero: half transparent if that spot is
  // taken, the same test by which switchplane refuses.
  float h = 1.0f;
  if (shiftx != 0 || shifty != 0) {
    int32_t px, py;
    shiftdestination(&px, &py);
    if (!fitsat(px, py)) h = refusedshift;
  }
  spritesheet->apply();
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, h);
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(leftu, bottomv);
  vertex(x, y, camx, camy);
  glTexCoord2f(leftu, topv);
  vertex(x, y + heroheight, camx, camy);
  glTexCoord2f(rightu, bottomv);
  vertex(x + herowidth, y, camx, camy);
  glTexCoord2f(rightu, topv);
  vertex(x + herowidth, y + heroheight, camx, camy);
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

void World::draw_objects(int dx, int dy, float opacity) {
  for (const Box* b : items) {
    if (!b) continue;
    GraphicsLayer* picture = nullptr;
    if (b->kind == kind_shift) picture = viewmastercard;
    if (b->kind == kind_viewmaster) picture = viewmaster;
    if (picture) picture->render(b->x1 + dx, b->y1 + dy, opacity);
  }
}
