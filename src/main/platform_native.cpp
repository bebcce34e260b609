// The desktop: a full-screen surface, the pointer warped through SDL and a
// plain loop over the frame.
#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "main/frame.h"
#include "main/pads.h"
#include "main/platform.h"
#include "main/shell.h"

// SDL 1.2 on SDL2 shows every pad through SDL2's game-controller mapping
// (main.cpp asks for it), whose numbers the rows take; only the pads present
// at start are read.
const PadLayout platform_padlayout = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}, {0, 1, 2, 3}, false};

// Vertical sync keeps a loop that redraws as fast as the swap allows from
// spinning a whole core.
bool platform_videomode() {
  // SDL falls back to drawing off any screen when no display opens: a game
  // nobody sees, for ever. Only a driver asked for by name may do that.
  char driver[32] = "";
  SDL_VideoDriverName(driver, sizeof driver);
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  if ((!std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy")) && !(asked && *asked)) {
    SDL_SetError("no display (DISPLAY is not set or cannot be opened)");
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
  return SDL_SetVideoMode(screenwidth, screenheight, 0, SDL_FULLSCREEN | SDL_OPENGL | SDL_HWSURFACE) != nullptr;
}

void platform_pointer(const Shell&) { SDL_WarpMouse(screencentrex, screencentrey); }

int platform_run(Shell& shell, void (*end)(Shell& shell)) {
  while (frame(shell)) {
  }
  end(shell);
  return 0;
}

uint32_t platform_ticks() { return SDL_GetTicks(); }

// Every level is in the game folder.
bool platform_levelready(const char*) { return true; }

// SDL_Quit stops the audio callback and closes the screen.
void platform_quit() { SDL_Quit(); }
