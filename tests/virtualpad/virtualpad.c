/* virtualpad: a preload library that plugs a pad into the real, unchanged
 * game, for the play tests. Where SDL 1.2 runs on SDL2 (sdl12-compat), SDL2
 * can make a virtual joystick: this library attaches one of the game
 * controller type (6 axes, 15 buttons, SDL2's controller order) just before
 * the game starts SDL's joystick subsystem, so the game finds it among the
 * pads present at start and reads it through SDL's own event path, mapping
 * included. Wraps two calls:
 *
 *   SDL_InitSubSystem   attaches the pad before SDL 1.2 lists the joysticks
 *   SDL_GL_SwapBuffers  once a frame, moves the pad as the command file says
 *
 * Environment: TWINFOLD_PAD a file the test appends whole lines to, one
 * line taken each frame, so a press and its release are seen apart:
 *   a AXIS VALUE      an axis to VALUE (-32768..32767, y down)
 *   b BUTTON 0|1      a button let go or pressed
 * Standard error gets "virtualpad: attached" or why not. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define JOYSTICK 0x200u        /* SDL_INIT_JOYSTICK, the same in SDL 1.2 and SDL2 */
#define TYPE_GAMECONTROLLER 1  /* SDL2's SDL_JOYSTICK_TYPE_GAMECONTROLLER */

typedef struct Joystick2 Joystick2;
static Joystick2* pad;
static int (*setaxis)(Joystick2*, int, short);
static int (*setbutton)(Joystick2*, int, unsigned char);
static FILE* commands;

static void* sdl2(void* lib, const char* name) { return lib ? dlsym(lib, name) : NULL; }

static void attach(void) {
  void* lib = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
  int (*init)(unsigned) = (int (*)(unsigned))sdl2(lib, "SDL_InitSubSystem");
  int (*attachvirtual)(int, int, int, int) =
      (int (*)(int, int, int, int))sdl2(lib, "SDL_JoystickAttachVirtual");
  Joystick2* (*open)(int) = (Joystick2 * (*)(int)) sdl2(lib, "SDL_JoystickOpen");
  const char* (*error)(void) = (const char* (*)(void))sdl2(lib, "SDL_GetError");
  setaxis = (int (*)(Joystick2*, int, short))sdl2(lib, "SDL_JoystickSetVirtualAxis");
  setbutton = (int (*)(Joystick2*, int, unsigned char))sdl2(lib, "SDL_JoystickSetVirtualButton");
  if (!init || !attachvirtual || !open || !setaxis || !setbutton) {
    fprintf(stderr, "virtualpad: SDL2 with virtual joysticks is not loaded\n");
    return;
  }
  int index = init(JOYSTICK) == 0 ? attachvirtual(TYPE_GAMECONTROLLER, 6, 15, 0) : -1;
  if (index >= 0) pad = open(index);
  if (pad)
    fprintf(stderr, "virtualpad: attached\n");
  else
    fprintf(stderr, "virtualpad: %s\n", error ? error() : "no pad");
}

int SDL_InitSubSystem(unsigned flags) {
  int (*real)(unsigned) = (int (*)(unsigned))dlsym(RTLD_NEXT, "SDL_InitSubSystem");
  if ((flags & JOYSTICK) && !pad) attach();
  return real(flags);
}

/* Whole lines only: a line the test is still writing is read next frame. */
static void readcommand(void) {
  const char* path = getenv("TWINFOLD_PAD");
  if (!commands && path) commands = fopen(path, "r");
  if (!commands || !pad) return;
  char line[64] = "";
  long at = ftell(commands);
  if (fgets(line, sizeof line, commands) && !strchr(line, '\n')) fseek(commands, at, SEEK_SET);
  clearerr(commands);
  char kind = 0;
  int which = 0, value = 0;
  if (!strchr(line, '\n') || sscanf(line, " %c %d %d", &kind, &which, &value) != 3) return;
  if (kind == 'a') setaxis(pad, which, (short)value);
  if (kind == 'b') setbutton(pad, which, (unsigned char)(value != 0));
}

void SDL_GL_SwapBuffers(void) {
  static void (*real)(void);
  if (!real) real = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
  readcommand();
  real();
}
