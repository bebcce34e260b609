/* The keys a play script names: the one table of their names, for the script
 * writer (playscript.cpp), the input driver (tools/play/driver, in C) and the
 * browser tests (twinfold-playscript --keys hands it to them). Plain C, so
 * the driver includes it too. */
#pragma once
#include <SDL.h>

struct ScriptKey {
  const char* name;  /* as the script writes it */
  int sdl;           /* SDL 1.2's key symbol */
  int browser;       /* the browser's keyCode, which the browser's SDL turns into sdl */
};

static const struct ScriptKey scriptkeys[] = {
    {"left", SDLK_LEFT, 37},     {"right", SDLK_RIGHT, 39}, {"up", SDLK_UP, 38},
    {"space", SDLK_SPACE, 32},   {"w", SDLK_w, 87},         {"a", SDLK_a, 65},
    {"s", SDLK_s, 83},           {"d", SDLK_d, 68},         {"escape", SDLK_ESCAPE, 27},
    {"f12", SDLK_F12, 123}};
#define scriptkeycount (sizeof scriptkeys / sizeof scriptkeys[0])
