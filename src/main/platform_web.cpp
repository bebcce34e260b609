// The browser: the surface is the page's canvas, the frame runs from the
// browser's main loop, the pointer is locked while shifting (a page cannot
// warp it), and the end of the game, by a quit or by a fatal load, stops the
// loop and the sound and tells the page (index.html), which offers a restart.
#include <SDL.h>
#include <emscripten.h>

#include "main/frame.h"
#include "main/pads.h"
#include "main/platform.h"
#include "main/shell.h"

namespace {

Shell* running = nullptr;          // borrowed: the shell main() made
void (*endrunning)(Shell&) = nullptr;
uint32_t heldms = 0;     // SDL ticks spent waiting for levels' files, off the step clock
uint32_t waitsince = 0;  // SDL ticks at the first frame of the current wait
bool waiting = false;    // the last frame waited for a level's files

// The sound stops at once: the buffers already queued are dropped with the
// browser's audio context, not played out.
void stopsound() {
  SDL_PauseAudio(1);
  EM_ASM(if (typeof SDL == 'object' && SDL.audioContext) SDL.audioContext.suspend(););
}

// The page learns when the first frame, the title, is on the screen. While
// the next level's files are on their way no frame runs and the step clock
// stands still: the world goes on after them as if they had been there, with
// no steps owed for the wait nor dropped as a hitch.
void webframe() {
  static bool titleshown = false;
  if (!running->loadwaiting()) {
    if (!waiting) waitsince = SDL_GetTicks();
    waiting = true;
    return;
  }
  if (waiting) heldms += SDL_GetTicks() - waitsince;
  waiting = false;
  bool going = frame(*running);
  if (!titleshown) {
    titleshown = true;
    EM_ASM(if (Module.titleshown) Module.titleshown(););
  }
  if (going) return;
  emscripten_cancel_main_loop();
  endrunning(*running);
}

}  // namespace

// The browser's SDL reads pads through the Gamepad API, numbered by its
// standard layout: buttons 0 south, 1 east, 2 west, 3 north, 4 and 5 the left
// and right shoulders, 8 back, 9 start, 10 and 11 the sticks pressed, 12 to 15
// the d-pad up, down, left and right, 16 the guide; axes 0 and 1 the left
// stick, 2 and 3 the right. A browser lists a pad only once a button on it
// has been pressed, so pads are looked for every frame.
const PadLayout platform_padlayout = {
    // south, east, west, north, back, guide, start, left and right stick,
    // left and right shoulder, up, down, left, right
    {0, 1, 2, 3, 8, 16, 9, 10, 11, 4, 5, 12, 13, 14, 15},
    {0, 1, 2, 3},
    true};

// The canvas is the 1024 by 768 surface; the page scales it to the window.
bool platform_videomode() { return SDL_SetVideoMode(screenwidth, screenheight, 0, SDL_OPENGL) != nullptr; }

// While shifting the pointer is locked to the canvas and each motion arrives
// as a movement; putting SDL's idea of the pointer back at the centre is the
// desktop's warp, so the shell reads the drag since the last frame as there.
// The lock is asked for once a shift: a browser refuses a second request after
// the player has let the pointer go (Escape) until the next click or key.
void platform_pointer(const Shell& shell) {
  static bool locking = false;  // a lock was asked for in this shift
  if (shell.shifting != locking) {
    locking = shell.shifting;
    EM_ASM({
      if ($0) {
        var asked = Module.canvas.requestPointerLock();
        if (asked && asked.catch) asked.catch(function() {});
      } else if (document.pointerLockElement === Module.canvas) {
        document.exitPointerLock();
      }
    }, locking);
  }
  if (shell.shifting) {
    EM_ASM({
      SDL.mouseX = Browser.mouseX = $0;
      SDL.mouseY = Browser.mouseY = $1;
    }, screencentrex, screencentrey);
  }
}

uint32_t platform_ticks() { return SDL_GetTicks() - heldms; }

// The page's level fetcher (web/levels.js) answers, and shows the progress of
// a level it is asked for that is not in yet. A level it does not fetch (one
// from a pack, or none of the page's) is there or missing already: ready, so
// that the loader reports a missing file as it does on the desktop.
bool platform_levelready(const char* path) {
  return EM_ASM_INT({
    return Module.levelready ? (Module.levelready(UTF8ToString($0)) ? 1 : 0) : 1;
  }, path) != 0;
}

int platform_run(Shell& shell, void (*end)(Shell& shell)) {
  running = &shell;
  endrunning = end;
  // A missing or broken file ends the game through exit() in the middle of a
  // frame. In the browser that throws out of the frame and the main loop would
  // go on calling it, so the way out stops the loop and the sound and tells
  // the page (status 1) before it unwinds.
  EM_ASM({
    var quit = quit_;
    quit_ = function(status, thrown) {
      _emscripten_cancel_main_loop();
      _SDL_PauseAudio(1);
      if (SDL.audioContext) SDL.audioContext.suspend();
      if (Module.gameended) Module.gameended(status != 0);
      quit(status, thrown);
    };
  });
  // 0 frames a second: the browser's own display rate. Never returns.
  emscripten_set_main_loop(webframe, 0, 1);
  return 0;
}

void platform_quit() {
  stopsound();
  EM_ASM({
    if (document.pointerLockElement === Module.canvas) document.exitPointerLock();
    if (Module.gameended) Module.gameended(false);
  });
}
