// Pads: every joystick present at start, read once a frame. Their changes
// reach the event tables as SDL's joystick events, the same on every SDL.
#pragma once
#include <vector>

union SDL_Event;

// Start-up, right after SDL_Init: starts the joystick subsystem and opens
// every pad. A pad that will not start costs neither the screen nor the sound.
void openpads();

// Once a frame, before the event queue is drained: reads every open pad and
// adds to events one joystick event per axis, button or hat that changed
// since the last frame. Main thread only.
void pollpads(std::vector<SDL_Event>* events);
