// The game's entry: start-up, the frame loop and shut-down. This thin driver
// makes the SDL and OpenGL calls; the rules it runs live in shell.cpp.
#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "audio/mixer.h"
#include "audio/music.h"
#include "main/heap.h"
#include "main/shell.h"
#include "menu/menu.h"
#include "world/world.h"

static World* loadworld(const char* path) { return new World(path); }

static void shiftsound(bool on) {
  if (on)
    soundeffects->play(7, 7);
  else
    soundeffects->stop(7);
}

static void glsetup() {
  glViewport(0, 0, 1024, 768);
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

extern "C" int SDL_main(int, char**) {
  hugepageheap();
  // Log lines reach a file or pipe as they are written, as on a terminal.
  setvbuf(stdout, nullptr, _IOLBF, 0);
  // 1. The banner.
  std::cout << "Twinfold Engine starting" << std::endl;
  std::cout << "Made possible by the friends and supporters of the Twinfold project" << std::endl;

  // 2.-4. SDL and the full-screen OpenGL surface. Vertical sync keeps a loop
  // that redraws as fast as the swap allows from spinning a whole core.
  SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
  SDL_SetVideoMode(1024, 768, 0, SDL_FULLSCREEN | SDL_OPENGL | SDL_HWSURFACE);

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

  // 12. The step clock starts now.
  Shell shell(menu, soundeffects, ShellPlatform{loadworld, playmusic, shiftsound}, SDL_GetTicks());

  SDL_Event e;
  for (;;) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (shell.inmenu()) {
      soundeffects->stop(7);
      menu->render();
      SDL_GL_SwapBuffers();
      while (SDL_PollEvent(&e)) shell.menuevent(e);
    } else {
      // The picture shows the camera placed in the previous frame.
      shell.world->render();
      SDL_GL_SwapBuffers();
      shell.runsteps(SDL_GetTicks());
      while (SDL_PollEvent(&e)) shell.playevent(e);
      shell.shiftcontrol();
      SDL_WarpMouse(screencentrex, screencentrey);
      shell.placecamera();
      shell.levelstate();
    }
    if (shell.quitting) break;
  }

  // The world goes while its OpenGL context still exists; SDL_Quit then stops
  // the audio callback and closes the screen. Menu, music and mixer end with
  // the process.
  delete shell.world;
  shell.world = nullptr;
  audioplaying = false;
  SDL_Quit();
  return 0;
}

int main(int argc, char** argv) { return SDL_main(argc, argv); }
