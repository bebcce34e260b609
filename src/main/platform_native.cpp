// The desktop: a full-screen surface, the pointer warped through SDL and a
// plain loop over the frame.
#include <SDL.h>

#include "main/frame.h"
#include "main/platform.h"
#include "main/shell.h"

// Vertical sync keeps a loop that redraws as fast as the swap allows from
// spinning a whole core.
void platform_videomode() {
  SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
  SDL_SetVideoMode(1024, 768, 0, SDL_FULLSCREEN | SDL_OPENGL | SDL_HWSURFACE);
}

void platform_pointer(const Shell&) { SDL_WarpMouse(screencentrex, screencentrey); }

int platform_run(Shell& shell, void (*end)(Shell& shell)) {
  while (frame(shell)) {
  }
  end(shell);
  return 0;
}

// SDL_Quit stops the audio callback and closes the screen.
void platform_quit() { SDL_Quit(); }
