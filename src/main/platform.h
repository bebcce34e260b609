// Platform: what differs between the desktop and the browser, one file each
// (platform_native.cpp, platform_web.cpp), chosen by the build. Everything else
// of the game, the frame above all, is the same code on both.
#pragma once
#include <cstdint>

struct PadLayout;
struct Shell;

// Where this platform's SDL shows each of the pad's rows (pads.h): on the
// desktop SDL2's game-controller mapping, in the browser the Gamepad API's
// standard layout.
extern const PadLayout platform_padlayout;

// Start-up step 4: the 1024 by 768 OpenGL surface. The desktop takes the full
// screen; in the browser it is the page's canvas, which the page puts full
// screen on the player's request (a page may not take the screen by itself).
// False when there is no such surface (no display, or no OpenGL on it).
bool platform_videomode();

// Once per play frame, after the shift control: the desktop warps the pointer
// back to the screen centre, so that the next motion is the drag since now.
void platform_pointer(const Shell& shell);

// The step clock's milliseconds. The desktop's are SDL's ticks; the browser
// leaves out the time the game stood waiting for a level's files.
uint32_t platform_ticks();

// Whether a level's files are all there (the shell's levelready). Always on
// the desktop; the browser fetches each level's files in the background and
// says on the page how far the one the game waits for has come.
bool platform_levelready(const char* path);

// Runs frame() until it returns false, then calls end(shell). The desktop
// loops and returns 0 when the player quits; the browser hands frame() to its
// main loop, which outlives main(), and never comes back here.
int platform_run(Shell& shell, void (*end)(Shell& shell));

// Shut-down after the world has gone: the screen and the sound device stop.
void platform_quit();
