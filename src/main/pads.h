// Pads: the pad's rows of the event tables, and every pad read once a frame.
// Their changes reach the event tables as SDL's joystick events numbered by
// row, the same on every platform whatever its SDL numbers.
#pragma once
#include <cstdint>
#include <vector>

union SDL_Event;
typedef struct _SDL_Joystick SDL_Joystick;

// The pad's rows: a pad of the common layout, numbered as SDL2's
// game-controller mapping numbers it.
enum PadButton {
  pad_south = 0, pad_east = 1, pad_west = 2, pad_north = 3, pad_back = 4, pad_guide = 5,
  pad_start = 6, pad_leftstick = 7, pad_rightstick = 8, pad_leftshoulder = 9,
  pad_rightshoulder = 10, pad_up = 11, pad_down = 12, pad_left = 13, pad_right = 14
};
enum PadAxis { pad_leftx = 0, pad_lefty = 1, pad_rightx = 2, pad_righty = 3 };
constexpr int padbuttons = pad_right + 1, padaxes = pad_righty + 1;

// Where a platform's SDL shows each row on a pad (platform_padlayout).
struct PadLayout {
  int buttons[padbuttons];  // SDL's button index of each PadButton
  int axes[padaxes];        // SDL's axis index of each PadAxis
  bool listedlate;          // a pad may first be listed after start: look every frame
};

// One open pad and what it read last frame, by row.
struct PadReading {
  SDL_Joystick* joystick;       // open until SDL_Quit
  int device;                   // SDL's device index
  int16_t axes[padaxes];        // SDL units, y down
  uint8_t buttons[padbuttons];  // 1 held
  uint8_t hat;                  // the first hat's SDL_HAT_* bits, where the pad has one
};

// Every pad open. The shell owns it; the frame polls it, main thread only.
struct Pads {
  const PadLayout* layout = nullptr;  // borrowed: the platform's; none before openpads
  std::vector<PadReading> open;       // in the order opened: an event's which
};

// Start-up, right after SDL_Init: starts the joystick subsystem and opens
// every pad listed. A pad that will not start costs neither the screen nor
// the sound.
Pads openpads(const PadLayout& layout);

// Once a frame, before the event queue is drained: reads every open pad and
// adds to events one joystick event per row or hat that changed since the
// last frame.
void pollpads(Pads* pads, std::vector<SDL_Event>* events);
