// Pads: opened at start and polled once a frame into joystick events.
//
// SDL 1.2 on SDL2 (sdl12-compat) shows each pad through SDL2's game-controller
// mapping when asked, so that button 0 is the south button on every make of
// pad; but then sdl12-compat 1.2.60 (on SDL2 2.26) keeps the pads' state up
// to date without ever queueing their events. The browser's SDL queues them,
// but numbered as the browser's own layout. Polling gives the same events on
// every SDL, numbered by the platform's layout; the queue's own joystick
// events are switched off where SDL allows, and the frame drops any others.
#include "main/pads.h"

#include <SDL.h>

namespace {

// Opens the pads listed that are not open yet.
void openlisted(Pads* pads) {
  for (int i = 0; i < SDL_NumJoysticks(); i++) {
    bool open = false;
    for (const PadReading& pad : pads->open) open = open || pad.device == i;
    if (open) continue;
    PadReading pad = {};
    pad.joystick = SDL_JoystickOpen(i);
    pad.device = i;
    if (pad.joystick != nullptr) pads->open.push_back(pad);
  }
}

// An SDL index the pad lacks reads as rest.
int16_t axis(SDL_Joystick* j, int index) {
  return index < SDL_JoystickNumAxes(j) ? SDL_JoystickGetAxis(j, index) : 0;
}
uint8_t button(SDL_Joystick* j, int index) {
  return index < SDL_JoystickNumButtons(j) ? SDL_JoystickGetButton(j, index) : 0;
}

}  // namespace

Pads openpads(const PadLayout& layout) {
  Pads pads;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0) return pads;
  pads.layout = &layout;
  SDL_JoystickEventState(SDL_IGNORE);  // pollpads makes the events
  openlisted(&pads);
  return pads;
}

void pollpads(Pads* pads, std::vector<SDL_Event>* events) {
  if (pads->layout == nullptr) return;
  const PadLayout& layout = *pads->layout;
  // 1. A browser lists a pad only once a button on it has been pressed.
  if (layout.listedlate) openlisted(pads);
  if (pads->open.empty()) return;
  // 2. The readings, each row compared with the last frame's.
  SDL_JoystickUpdate();
  for (size_t p = 0; p < pads->open.size(); p++) {
    PadReading& pad = pads->open[p];
    const Uint8 which = static_cast<Uint8>(p);
    SDL_Event e = {};
    for (int i = 0; i < padaxes; i++) {
      const int16_t v = axis(pad.joystick, layout.axes[i]);
      if (v == pad.axes[i]) continue;
      pad.axes[i] = v;
      e.type = e.jaxis.type = SDL_JOYAXISMOTION;
      e.jaxis.which = which;
      e.jaxis.axis = static_cast<Uint8>(i);
      e.jaxis.value = v;
      events->push_back(e);
    }
    for (int i = 0; i < padbuttons; i++) {
      const uint8_t v = button(pad.joystick, layout.buttons[i]);
      if (v == pad.buttons[i]) continue;
      pad.buttons[i] = v;
      e.type = e.jbutton.type = v ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
      e.jbutton.which = which;
      e.jbutton.button = static_cast<Uint8>(i);
      e.jbutton.state = v ? SDL_PRESSED : SDL_RELEASED;
      events->push_back(e);
    }
    const uint8_t hat = SDL_JoystickNumHats(pad.joystick) > 0 ? SDL_JoystickGetHat(pad.joystick, 0) : 0;
    if (hat != pad.hat) {
      pad.hat = hat;
      e.type = e.jhat.type = SDL_JOYHATMOTION;
      e.jhat.which = which;
      e.jhat.hat = 0;
      e.jhat.value = hat;
      events->push_back(e);
    }
  }
}
