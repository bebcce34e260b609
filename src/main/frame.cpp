// The frame loop's body: menu mode or play mode, then the quit check.
#include "main/frame.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <vector>

#include "audio/mixer.h"
#include "main/pads.h"
#include "main/platform.h"
#include "main/shell.h"
#include "menu/menu.h"
#include "world/world.h"

bool frame(Shell& shell) {
  // The pads' changes since the last frame come first, then SDL's queue, of
  // which only the pads' own events are left out: they came first, by row.
  std::vector<SDL_Event> padevents;
  pollpads(&shell.pads, &padevents);
  size_t handed = 0;
  const Shell::Events poll = [&](SDL_Event& e) {
    if (handed < padevents.size()) {
      e = padevents[handed++];
      return true;
    }
    while (SDL_PollEvent(&e) != 0)
      if (e.type < SDL_JOYAXISMOTION || e.type > SDL_JOYBUTTONUP) return true;
    return false;
  };
  // 1. A clean screen.
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (shell.inmenu()) {
    // 2. Menu mode: the shift loop is silenced every menu frame.
    soundeffects->stop(shiftchannel);
    shell.menu->render();
    SDL_GL_SwapBuffers();
    shell.menuframe(poll);
  } else {
    // 3. Play mode. The picture shows the camera placed in the previous frame.
    shell.world->render();
    SDL_GL_SwapBuffers();
    shell.playframe(platform_ticks(), poll, [&shell] { platform_pointer(shell); });
  }
  // 4. A quit ends the loop after the whole frame.
  return !shell.quitting;
}
