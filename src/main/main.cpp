// The game's entry: start-up and shut-down around the frame loop. This thin
// driver makes the SDL and OpenGL calls; the rules it runs live in shell.cpp,
// one frame in frame.cpp, and what differs by platform in platform_*.cpp.
#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "audio/mixer.h"
#include "audio/music.h"
#include "graphics/screen.h"
#include "main/heap.h"
#include "main/pads.h"
#include "main/platform.h"
#include "main/shell.h"
#include "menu/menu.h"
#include "world/world.h"

static World* loadworld(const char* path) { return new World(path); }

static void shiftsound(bool on) {
  if (on)
    soundeffects->play(shiftslot, shiftchannel);
  else
    soundeffects->stop(shiftchannel);
}

static void glsetup() {
  glViewport(0, 0, screenwidth, screenheight);
  glClearColor(0.25f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glDepthFunc(GL_LESS);
  glShadeModel(GL_SMOOTH);
  // The projection stays the identity; drawing sets the model-view matrix.
  glMatrixMode(GL_PROJECTION);
  glMatrixMode(GL_MODELVIEW);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);
}

// A missing level or picture ends the game through exit() while the sound
// device plays. The device is paused first, so that its thread does not call
// back into libraries that exit() is already taking down.
static bool audioplaying = false;
static void pauseaudio() {
  if (audioplaying) SDL_PauseAudio(1);
}

// Without a screen there is no game: one line and out, where the frame loop
// would otherwise draw nowhere for ever. SDL's reason is kept on that line.
static void fatal_screen() {
  std::string why = SDL_GetError();
  for (char& c : why)
    if (c == '\n') c = ' ';
  std::cerr << "Error opening the screen: " << why << std::endl;
  exit(1);
}

// Shut-down: the world goes while its OpenGL context still exists; then the
// platform stops the audio callback and closes the screen. Menu, music and
// mixer end with the process.
static void endgame(Shell& shell) {
  delete shell.world;
  shell.world = nullptr;
  audioplaying = false;
  platform_quit();
}

extern "C" int SDL_main(int, char**) {
  hugepageheap();
  // Log lines reach a file or pipe as they are written, as on a terminal.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  // 1. The banner.
  std::cout << "Twinfold Engine starting" << std::endl;
  std::cout << "Made possible by the friends and supporters of the Twinfold project" << std::endl;

  // 2.-4. SDL and the OpenGL surface, full screen on the desktop. SDL gives up
  // on both when the sound fails to start: the game then goes on without sound.
  // The pads start beside them, each seen through SDL2's game-controller
  // mapping where SDL 1.2 runs on SDL2 (read as SDL starts, so set first).
  setenv("SDL12COMPAT_USE_GAME_CONTROLLERS", "1", 1);
  if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO) < 0 && SDL_Init(SDL_INIT_VIDEO) < 0) fatal_screen();
  Pads pads = openpads(platform_padlayout);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  if (!platform_videomode()) fatal_screen();

  // 5.-7. The menu needs the OpenGL context; then the pointer and GL state.
  // Static: like the music and the mixer it lives until the process ends.
  static Menu* menu = new Menu();
  SDL_ShowCursor(SDL_DISABLE);
  glsetup();

  // 8.-11. Music and effects exist before the device opens, so the first
  // callback finds both.
  SDL_AudioSpec desired = {};
  SDL_AudioSpec obtained;
  desired.freq = 44100;
  desired.format = AUDIO_S16LSB;
  desired.channels = 2;
  desired.samples = 4096;
  desired.callback = audio_callback_music;
  desired.userdata = nullptr;
  gamemusic = new Music(menusong);
  soundeffects = new Mixer();
  atexit(pauseaudio);
  printf("%d\n", SDL_OpenAudio(&desired, &obtained));
  SDL_PauseAudio(0);
  audioplaying = true;

  // 12. The step clock starts now. The shell outlives this function, as the
  // browser's main loop goes on after it has ended.
  static Shell* shell = new Shell(
      menu, soundeffects, ShellPlatform{loadworld, playmusic, shiftsound, platform_levelready},
      platform_ticks());
  shell->pads = pads;  // opened at start-up; the frame polls them from now on
  return platform_run(*shell, endgame);
}

int main(int argc, char** argv) { return SDL_main(argc, argv); }
