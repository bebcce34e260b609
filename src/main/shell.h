// Shell: the game shell's rules, free of screen and sound calls: both event
// tables, the fixed step clock, the shift control, the camera and the level
// states. The driver (main.cpp) feeds it SDL events and tick counts.
#pragma once
#include <cstdint>
#include <functional>

#include "graphics/screen.h"
#include "main/pads.h"
#include "world/world.h"

union SDL_Event;
class Menu;
class Mixer;

constexpr uint32_t stepms = 30;     // one world step is 30 ms of game time
constexpr uint32_t maxbacklog = 3;  // a hitch must not fling the hero through floors:
                                    // more owed steps than this are dropped
constexpr int screencentrex = screenwidth / 2;  // the pointer is warped back here every play frame
constexpr int screencentrey = screenheight / 2;
constexpr int cameraoffsetx = 488;  // puts the middle of the 48 by 60 hero box
constexpr int cameraoffsety = 354;  // at the screen centre
constexpr const char* firstlevel = "tutorial1.lvl";
constexpr const char* menusong = "menu.adx";
constexpr const char* playsong = "song.adx";

constexpr int paddeadzone = 8000;  // stick readings within this of rest count as rest:
                                   // a worn stick never quite centres

// Menu command codes.
enum MenuCommand { command_none = 0, command_newgame = 1, command_resume = 2, command_quit = 3 };

// What the shell asks of the world around it. The game fills these with the
// real loaders and SDL audio; tests fill them with recorders.
struct ShellPlatform {
  World* (*loadworld)(const char* path);  // a new world from a level file
  void (*playmusic)(const char* path);    // replace the music (audio paused and locked)
  void (*shiftsound)(bool on);            // the looping plane-shift sound on channel 7
  bool (*levelready)(const char* path);   // the level's files are all there; null: always.
                                          // The browser fetches them while the game runs
};

struct Shell {
  Menu* menu;              // borrowed: lives for the whole run
  Mixer* mixer;            // borrowed: handed to every new world
  ShellPlatform platform;  // the effects above
  World* world;            // owned; null when no level is loaded
  bool playing;            // play mode wanted; the menu shows when false or without a world
  bool quitting;           // end the loop after this frame
  bool shifting;           // plane-shift mode is on
  int shiftheld;           // held shift controls (space bar, left button)
  int nudgex, nudgey;      // keyboard nudge of the shift vector (w, a, s, d held)
  int mousenudgex, mousenudgey;  // mouse nudge since the last frame
  int leftheld, rightheld;       // arrow keys held, 0 or 1
  int padwalkx, padwalky;        // left stick beyond its dead zone: -1, 0 or 1, y down as SDL's
  int padnudgex, padnudgey;      // right stick beyond its dead zone: -1, 0 or 1, y up as nudgey
  int paddpad;                   // d-pad directions held, SDL_HAT_* bits (hat or its buttons)
  int padshifts;                 // a bit per pad shift button (east, right shoulder) held
                                 // and counted in shiftheld
  Pads pads;                     // every pad open and its last readings; the frame polls them
  uint32_t lasttick;       // SDL ticks up to which world steps are accounted
  char levelname[64];      // copy of the finished level's nextlevel
  bool levelwaiting;       // levelname is to be loaded once the platform has its files;
                           // no world meanwhile, and the frame must not run
  StepMemory stepmemory;   // the last world's step memory, handed to the next one: it
                           // outlives worlds, across the ending pages and the menu too

  Shell(Menu* menu, Mixer* mixer, ShellPlatform platform, uint32_t now);
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  bool inmenu() const { return !playing || world == nullptr; }

  void menuevent(const SDL_Event& e);  // the menu event table
  void command(int r);                 // acts on a menu command code
  void playevent(const SDL_Event& e);  // the play event table
  void padevent(const SDL_Event& e, bool inmenu);  // the pad's rows of either table
  void runsteps(uint32_t now);         // the fixed step clock
  void shiftcontrol();                 // once per play frame, after the event batch
  void placecamera();
  void levelstate();                   // polls the world's state and acts on it
  bool loadwaiting();                  // loads levelname if it waits and its files are
                                       // in; false while it still waits

  // The rules of one frame once its picture is shown, in their order; next
  // hands out the frame's events one at a time (false when there are no
  // more), as SDL's queue does. The game's frame and the play scripts, which
  // work out what the game will do, both run them.
  using Events = std::function<bool(SDL_Event& e)>;
  void menuframe(const Events& next);
  void playframe(uint32_t now, const Events& next, const std::function<void()>& pointer);

 private:
  void padbutton(int b, bool down, bool inmenu);
  bool padheld(int hatbit) const;      // a direction held on the left stick or the d-pad
  void padpoint(int step);             // the pointer to the next button down (1) or up (-1),
                                       // or to the last that way when it is past it
  World* newworld(const char* path);   // loads, hands over the mixer and the step memory
  void dropworld();                    // keeps the step memory, deletes the world
};
