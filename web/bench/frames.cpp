// bench/frames for the browser: the same plain drawing program, unchanged,
// whose loop waits for the browser's next frame after each swap, as the
// game's frame runs once per browser frame (requestAnimationFrame). A loop
// that never waits would never let the browser draw; waiting needs Asyncify,
// which unwinds and rewinds only main() here.
#include <SDL.h>
#include <emscripten.h>

// The rest of the frame (the browser shows the canvas) happens while main()
// is unwound; it goes on at the next animation frame.
EM_JS(void, twinfold_nextframe, (), {
  Asyncify.handleSleep(function(wakeUp) { requestAnimationFrame(function() { wakeUp(); }); });
});

static void swapandwait() {
  SDL_GL_SwapBuffers();
  twinfold_nextframe();
}

#define SDL_GL_SwapBuffers swapandwait
// The browser paces every frame to its display, which is what the desktop's
// swap control asks for; the browser's SDL has no such attribute, so the
// program asks for double buffering again in its place.
#define SDL_GL_SWAP_CONTROL SDL_GL_DOUBLEBUFFER
#include "../../bench/frames/frames.cpp"
