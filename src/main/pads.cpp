// Pads: opened at start and polled once a frame into joystick events.
//
// SDL 1.2 on SDL2 (sdl12-compat) shows each pad through SDL2's game-controller
// mapping when asked, so that button 0 is the south button on every make of
// pad; but then sdl12-compat 1.2.60 (on SDL2 2.26) keeps the pads' state up
// to date without ever queueing their events. Polling gives the same events on every
// SDL. The queue's own joystick events are switched off, so none comes twice,
// and with them SDL_PushEvent's: the polled events go to the frame directly.
#include "main/pads.h"

#include <SDL.h>

#include <vector>

namespace {
constexpr int maxaxes = 8, maxbuttons = 32, maxhats = 4;  // more than any pad reports

struct PadReading {
  SDL_Joystick* joystick;  // open until SDL_Quit
  Sint16 axes[maxaxes];    // the last frame's readings, SDL units
  Uint8 buttons[maxbuttons];
  Uint8 hats[maxhats];
};

// What each pad read last frame; the main thread alone touches it.
std::vector<PadReading> pads;

int count(int reported, int most) { return reported < most ? reported : most; }
}  // namespace

void openpads() {
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0) return;
  SDL_JoystickEventState(SDL_IGNORE);  // pollpads makes the events
  for (int i = 0; i < SDL_NumJoysticks(); i++) {
    PadReading pad = {};
    pad.joystick = SDL_JoystickOpen(i);
    if (pad.joystick != nullptr) pads.push_back(pad);
  }
}

void pollpads(std::vector<SDL_Event>* events) {
  if (pads.empty()) return;
  SDL_JoystickUpdate();
  for (size_t p = 0; p < pads.size(); p++) {
    PadReading& pad = pads[p];
    const Uint8 which = static_cast<Uint8>(p);
    SDL_Event e = {};
    for (int i = 0; i < count(SDL_JoystickNumAxes(pad.joystick), maxaxes); i++) {
      const Sint16 v = SDL_JoystickGetAxis(pad.joystick, i);
      if (v == pad.axes[i]) continue;
      pad.axes[i] = v;
      e.type = e.jaxis.type = SDL_JOYAXISMOTION;
      e.jaxis.which = which;
      e.jaxis.axis = static_cast<Uint8>(i);
      e.jaxis.value = v;
      events->push_back(e);
    }
    for (int i = 0; i < count(SDL_JoystickNumButtons(pad.joystick), maxbuttons); i++) {
      const Uint8 v = SDL_JoystickGetButton(pad.joystick, i);
      if (v == pad.buttons[i]) continue;
      pad.buttons[i] = v;
      e.type = e.jbutton.type = v ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
      e.jbutton.which = which;
      e.jbutton.button = static_cast<Uint8>(i);
      e.jbutton.state = v ? SDL_PRESSED : SDL_RELEASED;
      events->push_back(e);
    }
    for (int i = 0; i < count(SDL_JoystickNumHats(pad.joystick), maxhats); i++) {
      const Uint8 v = SDL_JoystickGetHat(pad.joystick, i);
      if (v == pad.hats[i]) continue;
      pad.hats[i] = v;
      e.type = e.jhat.type = SDL_JOYHATMOTION;
      e.jhat.which = which;
      e.jhat.hat = static_cast<Uint8>(i);
      e.jhat.value = v;
      events->push_back(e);
    }
  }
}
