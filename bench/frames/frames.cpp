// twinfold_frames: the plainest OpenGL program that draws what one game frame
// draws, for comparing frame rates with the game on the same display.
//
//   twinfold_frames menu         the title page, its four buttons and the pointer
//   twinfold_frames play LEVEL   the level's background, foreground, pickups and hero
//
// Run it in the game's data folder. It opens the screen as the game does and
// loads the same pictures into the same tiles (with the game's own loaders),
// then loops: clear, one bound texture and one four-vertex strip per tile,
// swap, drain the event queue. Nothing else: no steps, no sound, no input
// handling. It ends on a quit event (closing the window, or SIGTERM).
// Exit status: 0 after a quit event, 2 on a wrong command line.
#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstring>

#include "graphics/glayer.h"
#include "graphics/texture.h"
#include "main/heap.h"
#include "menu/menu.h"
#include "world/world.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: twinfold_frames menu | twinfold_frames play LEVEL\n"
               "Draws the pictures of a game frame until told to quit; exit status 0, "
               "2 on a wrong command line.\n");
  return 2;
}

// The strip of one quad from window pixels, the way every layer tile and
// the hero are drawn.
void quad(float l, float b, float r, float t, float ul, float vb, float ur, float vt) {
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(ul, vt);
  glVertex2f(l / 1024, t / 768);
  glTexCoord2f(ul, vb);
  glVertex2f(l / 1024, b / 768);
  glTexCoord2f(ur, vt);
  glVertex2f(r / 1024, t / 768);
  glTexCoord2f(ur, vb);
  glVertex2f(r / 1024, b / 768);
  glEnd();
}

// Every tile of a layer with its lower left corner at (x, y).
void draw(const GraphicsLayer* layer, int x, int y, float opacity) {
  if (!layer) return;
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, opacity);
  for (int i = 0; i < layer->tilesy; i++) {
    for (int j = 0; j < layer->tilesx; j++) {
      const Texture* t = layer->tiles[i * layer->tilesx + j];
      glBindTexture(GL_TEXTURE_2D, t->texname);
      const float l = float(x + 256 * j), top = float(layer->height + y - 256 * i);
      quad(l, top - float(t->height), l + float(t->width), top, 0, 1, 1, 0);
    }
  }
  glDisable(GL_TEXTURE_2D);
}

void drawmenu(const Menu& m) {
  draw(m.title, 0, 0, 1);
  draw(m.b1, 600, 600, 1);
  draw(m.b3, 600, 500, 1);
  draw(m.b4, 600, 400, 1);
  draw(m.b2, 600, 300, 1);
  draw(m.arrow, m.cursorx, m.cursory - 32, 1);
}

// The level at rest where it starts, the camera on the hero.
void drawlevel(const World& w) {
  const int cx = w.x - 488, cy = w.y - 354;
  draw(w.layers[0], w.imageshiftx - cx, w.imageshifty - cy, 1);
  draw(w.layers[1], w.imageshiftx - cx, w.imageshifty - cy, 1);
  for (const Box* b : w.items) {
    if (b && b->kind == kind_shift) draw(w.viewmastercard, b->x1 - cx, b->y1 - cy, 1);
    if (b && b->kind == kind_viewmaster) draw(w.viewmaster, b->x1 - cx, b->y1 - cy, 1);
  }
  // The hero's standing frame, 8, from the sheet.
  glBindTexture(GL_TEXTURE_2D, w.spritesheet->texname);
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  const float ul = 0, ur = 60.0f / 512, vb = 120.0f / 512, vt = 60.0f / 512;
  const float sx = float(w.x - cx), sy = float(w.y - cy);
  quad(sx, sy, sx + 48, sy + 60, ul, vb, ur, vt);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace

int main(int argc, char** argv) {
  const bool menu = argc == 2 && std::strcmp(argv[1], "menu") == 0;
  const bool play = argc == 3 && std::strcmp(argv[1], "play") == 0;
  if (!menu && !play) return usage();
  hugepageheap();  // the game's heap, so that start-ups compare like with like

  // The game's screen and OpenGL state.
  SDL_Init(SDL_INIT_VIDEO);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
  SDL_SetVideoMode(1024, 768, 0, SDL_FULLSCREEN | SDL_OPENGL | SDL_HWSURFACE);
  SDL_ShowCursor(SDL_DISABLE);
  glViewport(0, 0, 1024, 768);
  glClearColor(0.25f, 0.0f, 0.0f, 0.0f);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
  glLoadIdentity();
  glTranslatef(-1, -1, 0);
  glScalef(2, 2, 1);

  Menu* m = menu ? new Menu() : nullptr;
  World* w = play ? new World(argv[2]) : nullptr;
  for (bool quit = false; !quit;) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (m) drawmenu(*m);
    if (w) drawlevel(*w);
    SDL_GL_SwapBuffers();
    SDL_Event e;
    while (SDL_PollEvent(&e))
      if (e.type == SDL_QUIT) quit = true;
  }
  delete w;
  delete m;
  SDL_Quit();
  return 0;
}
