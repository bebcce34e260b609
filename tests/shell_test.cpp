// The shell's rules driven by scripted SDL events and tick counts: the step
// clock, the event tables, the shift control, the camera and the level states.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/shell.h"
#include "menu/menu.h"
#include "world/world.h"

namespace {

std::vector<std::string> loaded;  // level paths the shell asked for, in order
std::vector<std::string> songs;   // music files the shell switched to
std::vector<bool> shiftsounds;    // shift sound on/off requests

World* loadworld(const char* path) {
  loaded.push_back(path);
  World* w = new World(false);  // the built-in level, headless
  return w;
}
void playmusic(const char* path) { songs.push_back(path); }
void shiftsound(bool on) { shiftsounds.push_back(on); }

SDL_Event key(Uint8 type, SDLKey sym) {
  SDL_Event e{};
  e.type = type;
  e.key.type = type;
  e.key.keysym.sym = sym;
  return e;
}
SDL_Event button(Uint8 type, Uint8 which, int x, int y) {
  SDL_Event e{};
  e.type = type;
  e.button.type = type;
  e.button.button = which;
  e.button.x = static_cast<Uint16>(x);
  e.button.y = static_cast<Uint16>(y);
  return e;
}
SDL_Event motion(int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.type = SDL_MOUSEMOTION;
  e.motion.x = static_cast<Uint16>(x);
  e.motion.y = static_cast<Uint16>(y);
  return e;
}
SDL_Event quitevent() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  return e;
}

class ShellTest : public ::testing::Test {
 protected:
  Menu menu{false};
  Shell shell{&menu, nullptr, ShellPlatform{loadworld, playmusic, shiftsound, nullptr}, 1000};

  void SetUp() override {
    loaded.clear();
    songs.clear();
    shiftsounds.clear();
  }
  // A new game from the menu, as its command code arrives.
  World* newgame() {
    shell.command(command_newgame);
    return shell.world;
  }
  // The part of a play frame after drawing and stepping.
  void frame(const std::vector<SDL_Event>& events) {
    for (const SDL_Event& e : events) shell.playevent(e);
    shell.shiftcontrol();
    shell.placecamera();
    shell.levelstate();
  }
  // A world that may shift: standing free in the air of the built-in level.
  World* shiftready() {
    World* w = newgame();
    w->canshift = 1;
    w->shiftcount = 2;
    return w;
  }
};

TEST_F(ShellTest, StepClockRunsWholeStepsAndDropsBacklog) {
  World* w = newgame();
  // Steps are counted by the fade, which climbs by one per step from -32.
  shell.runsteps(1000 + 95);  // three owed: all run, 5 ms carry over
  EXPECT_EQ(w->fade, -29);
  EXPECT_EQ(shell.lasttick, 1090u);
  shell.runsteps(1090 + 29);  // not a whole step yet
  EXPECT_EQ(w->fade, -29);
  EXPECT_EQ(shell.lasttick, 1090u);
  shell.runsteps(1090 + 120);  // four owed: a hitch, dropped entirely
  EXPECT_EQ(w->fade, -29);
  EXPECT_EQ(shell.lasttick, 1210u);
  shell.runsteps(1210 + 200);
  EXPECT_EQ(w->fade, -29);
  EXPECT_EQ(shell.lasttick, 1410u);
}

TEST_F(ShellTest, StepClockAccountsTimeWhileShiftingWithoutStepping) {
  World* w = newgame();
  shell.shifting = true;
  shell.runsteps(1000 + 60);
  EXPECT_EQ(w->fade, -32);
  EXPECT_EQ(shell.lasttick, 1060u);
  shell.shifting = false;
  shell.runsteps(1060 + 30);  // no burst of catch-up steps after the shift
  EXPECT_EQ(w->fade, -31);
}

TEST_F(ShellTest, StepClockSurvivesTickWrapAround) {
  World* w = newgame();
  shell.lasttick = 0xFFFFFFF0u;
  shell.runsteps(0x0000000Eu);  // 30 ms later, across the wrap
  EXPECT_EQ(w->fade, -31);
  EXPECT_EQ(shell.lasttick, 0x0000000Eu);
}

TEST_F(ShellTest, NewGameLoadsFirstLevelAndSwitchesMusic) {
  shell.playing = false;
  World* w = newgame();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(loaded, std::vector<std::string>{"tutorial1.lvl"});
  EXPECT_EQ(songs, std::vector<std::string>{"song.adx"});
  EXPECT_TRUE(shell.playing);
  EXPECT_FALSE(shell.inmenu());
}

TEST_F(ShellTest, ArrowKeysAndJumpReachTheWorld) {
  World* w = newgame();
  frame({key(SDL_KEYDOWN, SDLK_RIGHT), key(SDL_KEYDOWN, SDLK_LEFT), key(SDL_KEYDOWN, SDLK_UP)});
  EXPECT_EQ(w->keyleft, 1);
  EXPECT_EQ(w->keyright, 1);
  EXPECT_EQ(w->jump, 1);
  frame({key(SDL_KEYUP, SDLK_RIGHT), key(SDL_KEYUP, SDLK_UP), key(SDL_KEYDOWN, SDLK_DOWN)});
  EXPECT_EQ(w->keyleft, 1);
  EXPECT_EQ(w->keyright, 0);
  EXPECT_EQ(w->jump, 0);
}

TEST_F(ShellTest, MenuClickReleaseInPlayStartsNoShift) {
  World* w = shiftready();
  // Escape to the menu, then click resume at (700, 768 - 530).
  frame({key(SDL_KEYDOWN, SDLK_ESCAPE)});
  ASSERT_TRUE(shell.inmenu());
  shell.menuevent(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 700, 238));
  ASSERT_FALSE(shell.inmenu());
  // The button's release arrives in play mode with no press counted there.
  shell.playevent(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 700, 238));
  EXPECT_EQ(shell.shiftheld, -1);
  shell.shiftcontrol();
  EXPECT_EQ(shell.shiftheld, 0);
  EXPECT_FALSE(shell.shifting);
  EXPECT_TRUE(shiftsounds.empty());
  // A later press is a real shift.
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});
  EXPECT_TRUE(shell.shifting);
  EXPECT_EQ(w->canshift, 1);
}

TEST_F(ShellTest, TwoShiftControlsHeldTogetherEnterOnlyWhenOneRemains) {
  shiftready();
  frame({key(SDL_KEYDOWN, SDLK_SPACE), button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 512, 384)});
  EXPECT_EQ(shell.shiftheld, 2);
  EXPECT_FALSE(shell.shifting);
  frame({key(SDL_KEYUP, SDLK_SPACE)});
  EXPECT_EQ(shell.shiftheld, 1);
  EXPECT_TRUE(shell.shifting);
  EXPECT_EQ(shiftsounds, std::vector<bool>{true});
}

TEST_F(ShellTest, ShiftRefusedWithoutCountOrPermission) {
  World* w = newgame();
  w->canshift = 1;
  w->shiftcount = 0;
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});
  EXPECT_FALSE(shell.shifting);
  w->shiftx = 7;  // whatever was there is reset every frame the control is held
  frame({motion(600, 384), key(SDL_KEYDOWN, SDLK_d)});
  EXPECT_EQ(w->shiftx, 0);
  EXPECT_EQ(w->shifty, 0);
  EXPECT_TRUE(shiftsounds.empty());
  // Steps go on while the refused control is held.
  shell.runsteps(1000 + 30);
  EXPECT_EQ(w->fade, -31);

  World* v = newgame();
  v->canshift = 0;
  v->shiftcount = 3;
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});
  EXPECT_FALSE(shell.shifting);
}

TEST_F(ShellTest, DraggingMovesTheVectorOppositeAndClampsAt32) {
  World* w = shiftready();
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});
  ASSERT_TRUE(shell.shifting);
  // The pointer 11 pixels right and 5 down of the centre: nudge (5, -2),
  // truncated toward zero; rightward input makes the vector more negative.
  frame({motion(523, 389)});
  EXPECT_EQ(w->shiftx, -10);
  EXPECT_EQ(w->shifty, 4);
  // A later motion in the same batch overwrites an earlier one.
  frame({motion(300, 100), motion(513, 383)});
  EXPECT_EQ(w->shiftx, -10);
  EXPECT_EQ(w->shifty, 4);
  // The keyboard nudges by 2 a frame while held.
  frame({key(SDL_KEYDOWN, SDLK_a), key(SDL_KEYDOWN, SDLK_w)});
  EXPECT_EQ(w->shiftx, -8);
  EXPECT_EQ(w->shifty, 2);
  frame({});
  EXPECT_EQ(w->shiftx, -6);
  EXPECT_EQ(w->shifty, 0);
  frame({key(SDL_KEYUP, SDLK_a), key(SDL_KEYUP, SDLK_w)});
  EXPECT_EQ(w->shiftx, -6);
  // Far drags stop at the limit.
  frame({motion(1000, 0)});
  EXPECT_EQ(w->shiftx, -32);
  EXPECT_EQ(w->shifty, -32);
  frame({motion(0, 767)});
  frame({motion(0, 767)});
  EXPECT_EQ(w->shiftx, 32);
  EXPECT_EQ(w->shifty, 32);
}

TEST_F(ShellTest, MotionOutsideShiftIsIgnored) {
  World* w = shiftready();
  frame({motion(600, 300)});
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});
  EXPECT_EQ(w->shiftx, 0);
  EXPECT_EQ(w->shifty, 0);
}

TEST_F(ShellTest, ReleaseMovesHeroAndCameraFollowsInSameFrame) {
  World* w = shiftready();
  // The built-in level's open air above its first floor (0..400, 0..200).
  w->x = 100;
  w->y = 300;
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});
  frame({motion(522, 384)});  // nudge 5: vector (-10, 0)
  EXPECT_EQ(w->shiftx, -10);
  EXPECT_EQ(w->camx, 100 - 488);  // the drag does not move the camera
  frame({key(SDL_KEYUP, SDLK_SPACE)});
  EXPECT_FALSE(shell.shifting);
  // shiftcount 2 times (-10, 0), the other way: 20 pixels right.
  EXPECT_EQ(w->x, 120);
  EXPECT_EQ(w->y, 300);
  EXPECT_EQ(w->camx, 120 - 488);
  EXPECT_EQ(w->camy, 300 - 354);
  EXPECT_EQ(w->canshift, 0);
  EXPECT_EQ(w->plane, 0);
  EXPECT_EQ(w->shiftx, 0);
  EXPECT_EQ(shiftsounds, (std::vector<bool>{true, false}));
}

TEST_F(ShellTest, CameraCentresHeroBox) {
  World* w = newgame();
  w->x = 1000;
  w->y = -50;
  frame({});
  EXPECT_EQ(w->camx + 488 + 24, 1000 + 24);
  EXPECT_EQ(w->camx, 512);
  EXPECT_EQ(w->camy, -404);
}

TEST_F(ShellTest, FinishedLevelLoadsTheNextOne) {
  World* w = newgame();
  strcpy(w->nextlevel, "second.lvl");
  w->fade = 33;
  shell.shifting = false;
  frame({});
  ASSERT_NE(shell.world, nullptr);
  EXPECT_EQ(loaded, (std::vector<std::string>{"tutorial1.lvl", "second.lvl"}));
  EXPECT_TRUE(shell.playing);
  EXPECT_EQ(shell.world->fade, -32);
  EXPECT_EQ(songs.size(), 1u);  // the music goes on
}

// A platform that fetches levels while the game runs (the browser): New
// game is not taken before the first level is there, and a finished level's
// next one is loaded only once it is, with the step memory of the world
// that finished, as if it had been there at once.
const char* arrived = "";  // the one level there; every other is on its way
bool levelready(const char* path) { return strcmp(path, arrived) == 0; }

TEST_F(ShellTest, LevelOnItsWayIsWaitedForWithNoWorld) {
  Shell waiting{&menu, nullptr, ShellPlatform{loadworld, playmusic, shiftsound, levelready}, 1000};
  arrived = "";
  waiting.playing = false;
  waiting.command(command_newgame);
  EXPECT_EQ(waiting.world, nullptr);
  EXPECT_FALSE(waiting.playing);
  EXPECT_TRUE(loaded.empty() && songs.empty());
  arrived = "tutorial1.lvl";
  waiting.command(command_newgame);
  ASSERT_NE(waiting.world, nullptr);
  waiting.world->stepmemory = StepMemory{7, 20, true};
  strcpy(waiting.world->nextlevel, "second.lvl");
  waiting.world->fade = 33;
  waiting.levelstate();
  EXPECT_EQ(waiting.world, nullptr);
  EXPECT_TRUE(waiting.levelwaiting);
  EXPECT_TRUE(waiting.playing);
  EXPECT_FALSE(waiting.loadwaiting());
  EXPECT_EQ(loaded, (std::vector<std::string>{"tutorial1.lvl"}));
  arrived = "second.lvl";
  EXPECT_TRUE(waiting.loadwaiting());
  ASSERT_NE(waiting.world, nullptr);
  EXPECT_FALSE(waiting.levelwaiting);
  EXPECT_EQ(waiting.world->stepmemory.rundelay, 20);
  EXPECT_EQ(loaded, (std::vector<std::string>{"tutorial1.lvl", "second.lvl"}));
  EXPECT_TRUE(waiting.loadwaiting());  // nothing waits: nothing loaded again
  EXPECT_EQ(loaded.size(), 2u);
}

TEST_F(ShellTest, LastLevelShowsTheEndingWithoutWorld) {
  World* w = newgame();
  w->nextlevel[0] = '\0';
  w->fade = 40;
  frame({});
  EXPECT_EQ(shell.world, nullptr);
  EXPECT_TRUE(shell.inmenu());
  EXPECT_FALSE(shell.playing);
  EXPECT_EQ(menu.page, 6);
  // Resume does nothing without a world.
  shell.command(command_resume);
  EXPECT_TRUE(shell.inmenu());
  EXPECT_EQ(shell.world, nullptr);
  // A new game starts at the first level again.
  shell.command(command_newgame);
  ASSERT_NE(shell.world, nullptr);
  EXPECT_EQ(loaded.back(), "tutorial1.lvl");
}

// The step's memory outlives worlds as if the step kept it: each new world
// starts with the memory the last one left, across the ending pages too.
TEST_F(ShellTest, StepMemoryGoesFromEachWorldToTheNext) {
  auto expectmemory = [](const World* w, int aircontrol, int rundelay, bool running) {
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->stepmemory.aircontrol, aircontrol);
    EXPECT_EQ(w->stepmemory.rundelay, rundelay);
    EXPECT_EQ(w->stepmemory.running, running);
  };
  World* w = newgame();
  expectmemory(w, 0, 0, false);
  // A finished level: the next one goes on from it.
  w->stepmemory = StepMemory{7, 20, true};
  strcpy(w->nextlevel, "second.lvl");
  w->fade = 33;
  frame({});
  expectmemory(shell.world, 7, 20, true);
  // The last level: no world while the ending shows, then a new game.
  shell.world->stepmemory = StepMemory{3, -1, false};
  shell.world->nextlevel[0] = '\0';
  shell.world->fade = 40;
  frame({});
  ASSERT_EQ(shell.world, nullptr);
  shell.command(command_newgame);
  expectmemory(shell.world, 3, -1, false);
  // A new game from the menu over a world still alive.
  shell.world->stepmemory = StepMemory{1, 54, true};
  shell.playevent(key(SDL_KEYDOWN, SDLK_ESCAPE));
  shell.command(command_newgame);
  expectmemory(shell.world, 1, 54, true);
  EXPECT_EQ(loaded, (std::vector<std::string>{"tutorial1.lvl", "second.lvl", "tutorial1.lvl",
                                              "tutorial1.lvl"}));
}

TEST_F(ShellTest, CutsceneRequestFreezesWorldUntilResume) {
  World* w = newgame();
  frame({key(SDL_KEYDOWN, SDLK_RIGHT), key(SDL_KEYDOWN, SDLK_LEFT)});
  w->state = state_viewmaster;  // as a taken viewmaster pickup leaves it
  w->x = 321;
  frame({});
  EXPECT_EQ(shell.world, w);
  EXPECT_FALSE(shell.playing);
  EXPECT_EQ(menu.page, 5);
  EXPECT_EQ(w->x, 321);
  shell.command(command_resume);
  EXPECT_FALSE(shell.inmenu());
  EXPECT_EQ(shell.world, w);
  EXPECT_EQ(w->keyleft, 0);
  EXPECT_EQ(w->keyright, 0);
  EXPECT_EQ(shell.leftheld, 0);
  // Reported once: the next frame plays on.
  frame({});
  EXPECT_TRUE(shell.playing);
}

TEST_F(ShellTest, QuittingRules) {
  // F12 means nothing in the menu; closing the window does.
  shell.playing = false;
  shell.menuevent(key(SDL_KEYDOWN, SDLK_F12));
  EXPECT_FALSE(shell.quitting);
  shell.menuevent(quitevent());
  EXPECT_TRUE(shell.quitting);

  shell.quitting = false;
  World* w = newgame();
  w->fade = 33;
  strcpy(w->nextlevel, "after.lvl");
  // F12 in play: the frame still places the camera and handles the level state.
  frame({key(SDL_KEYDOWN, SDLK_F12)});
  EXPECT_TRUE(shell.quitting);
  EXPECT_EQ(loaded.back(), "after.lvl");

  shell.quitting = false;
  frame({quitevent()});
  EXPECT_TRUE(shell.quitting);
  shell.quitting = false;
  shell.command(command_quit);
  EXPECT_TRUE(shell.quitting);
}

TEST_F(ShellTest, EscapeKeepsShiftingAndNewGameClosesItOnFirstFrame) {
  World* w = shiftready();
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});
  ASSERT_TRUE(shell.shifting);
  frame({key(SDL_KEYDOWN, SDLK_ESCAPE)});
  EXPECT_TRUE(shell.inmenu());
  EXPECT_TRUE(shell.shifting);
  EXPECT_EQ(shell.world, w);
  shell.command(command_newgame);
  EXPECT_TRUE(shell.shifting);
  EXPECT_EQ(shell.shiftheld, 0);
  World* fresh = shell.world;
  fresh->x = 100;
  fresh->y = 300;
  frame({});
  EXPECT_FALSE(shell.shifting);
  EXPECT_EQ(shiftsounds, (std::vector<bool>{true, false}));
  EXPECT_EQ(fresh->plane, 0);
  EXPECT_EQ(fresh->x, 100);  // a zero vector moves nobody
}

TEST_F(ShellTest, ResumeClearsShiftingWithoutSwitching) {
  World* w = shiftready();
  w->x = 100;
  w->y = 300;
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});
  frame({motion(530, 384)});
  frame({key(SDL_KEYDOWN, SDLK_ESCAPE)});
  shell.command(command_resume);
  EXPECT_FALSE(shell.shifting);
  EXPECT_EQ(w->x, 100);        // no switch happened
  EXPECT_EQ(w->shiftx, -18);   // the vector is left as it was
  EXPECT_EQ(shell.shiftheld, 1);
}

TEST_F(ShellTest, MenuEventsMoveTheCursor) {
  shell.playing = false;
  shell.menuevent(motion(10, 168));
  EXPECT_EQ(menu.cursorx, 10);
  EXPECT_EQ(menu.cursory, 600);
  // A right click only moves the pointer.
  shell.menuevent(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 700, 138));
  EXPECT_EQ(menu.cursory, 630);
  EXPECT_EQ(menu.page, 0);
  EXPECT_EQ(shell.world, nullptr);
}

// ---- The pad ----

SDL_Event axis(int which, int value) {
  SDL_Event e{};
  e.type = SDL_JOYAXISMOTION;
  e.jaxis.type = SDL_JOYAXISMOTION;
  e.jaxis.axis = static_cast<Uint8>(which);
  e.jaxis.value = static_cast<Sint16>(value);
  return e;
}
SDL_Event hat(int value) {
  SDL_Event e{};
  e.type = SDL_JOYHATMOTION;
  e.jhat.type = SDL_JOYHATMOTION;
  e.jhat.value = static_cast<Uint8>(value);
  return e;
}
SDL_Event pad(Uint8 type, int which) {
  SDL_Event e{};
  e.type = type;
  e.jbutton.type = type;
  e.jbutton.button = static_cast<Uint8>(which);
  e.jbutton.state = type == SDL_JOYBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
  return e;
}

TEST_F(ShellTest, PadLeftStickAndDpadWalkPastTheDeadZoneOnly) {
  World* w = newgame();
  frame({axis(pad_leftx, -8000)});  // on the edge: still rest
  EXPECT_EQ(w->keyleft, 0);
  frame({axis(pad_leftx, -8001)});
  EXPECT_EQ(w->keyleft, 1);
  EXPECT_EQ(shell.leftheld, 1);
  frame({axis(pad_leftx, 8000)});
  EXPECT_EQ(w->keyleft, 0);
  EXPECT_EQ(w->keyright, 0);
  frame({axis(pad_leftx, 32767)});
  EXPECT_EQ(w->keyright, 1);
  // The d-pad, as a hat or as buttons, holds a side while the stick lets go.
  frame({hat(SDL_HAT_RIGHT), axis(pad_leftx, 0)});
  EXPECT_EQ(w->keyright, 1);
  frame({hat(SDL_HAT_CENTERED)});
  EXPECT_EQ(w->keyright, 0);
  frame({pad(SDL_JOYBUTTONDOWN, pad_left)});
  EXPECT_EQ(w->keyleft, 1);
  frame({pad(SDL_JOYBUTTONUP, pad_left)});
  EXPECT_EQ(w->keyleft, 0);
  // The stick's other axes never walk.
  frame({axis(pad_lefty, -32768), axis(pad_rightx, -32768)});
  EXPECT_EQ(w->keyleft, 0);
}

TEST_F(ShellTest, PadSouthJumpsAndStartGoesToTheMenu) {
  World* w = newgame();
  frame({pad(SDL_JOYBUTTONDOWN, pad_south)});
  EXPECT_EQ(w->jump, 1);
  frame({pad(SDL_JOYBUTTONUP, pad_south), pad(SDL_JOYBUTTONDOWN, pad_west)});
  EXPECT_EQ(w->jump, 0);
  EXPECT_FALSE(shell.inmenu());
  frame({pad(SDL_JOYBUTTONDOWN, pad_start)});
  EXPECT_TRUE(shell.inmenu());
  EXPECT_EQ(shell.world, w);
}

TEST_F(ShellTest, PadRightStickDragsTheVectorAsTheKeysDo) {
  World* w = shiftready();
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});
  ASSERT_TRUE(shell.shifting);
  // Right and up past the dead zone: 2 pixels a frame each, the other way.
  frame({axis(pad_rightx, 8001), axis(pad_righty, -8001)});
  EXPECT_EQ(w->shiftx, -2);
  EXPECT_EQ(w->shifty, -2);
  frame({});  // held, not counted per event
  EXPECT_EQ(w->shiftx, -4);
  EXPECT_EQ(w->shifty, -4);
  frame({axis(pad_rightx, 8000), axis(pad_righty, 32767)});
  EXPECT_EQ(w->shiftx, -4);
  EXPECT_EQ(w->shifty, -2);
  // With a key held the same way the drag adds up, as two keys would.
  frame({axis(pad_rightx, -32768), key(SDL_KEYDOWN, SDLK_a)});
  EXPECT_EQ(w->shiftx, 0);
  EXPECT_EQ(w->shifty, 0);
  // The left stick's axes never drag.
  frame({axis(pad_rightx, 0), axis(pad_righty, 0), key(SDL_KEYUP, SDLK_a),
         axis(pad_leftx, 30000), axis(pad_lefty, 30000)});
  EXPECT_EQ(w->shiftx, 0);
  EXPECT_EQ(w->shifty, 0);
}

TEST_F(ShellTest, PadShiftButtonsAreCountedWithTheSpaceBar) {
  World* w = shiftready();
  w->x = 100;
  w->y = 300;
  frame({pad(SDL_JOYBUTTONDOWN, pad_east), key(SDL_KEYDOWN, SDLK_SPACE),
         pad(SDL_JOYBUTTONDOWN, pad_east)});  // a repeated press counts once
  EXPECT_EQ(shell.shiftheld, 2);
  EXPECT_FALSE(shell.shifting);
  frame({key(SDL_KEYUP, SDLK_SPACE)});
  EXPECT_EQ(shell.shiftheld, 1);
  EXPECT_TRUE(shell.shifting);
  frame({pad(SDL_JOYBUTTONDOWN, pad_rightshoulder), pad(SDL_JOYBUTTONUP, pad_east)});
  EXPECT_EQ(shell.shiftheld, 1);
  EXPECT_TRUE(shell.shifting);
  frame({pad(SDL_JOYBUTTONUP, pad_east), pad(SDL_JOYBUTTONUP, pad_rightshoulder)});
  EXPECT_EQ(shell.shiftheld, 0);
  EXPECT_FALSE(shell.shifting);
  EXPECT_EQ(shiftsounds, (std::vector<bool>{true, false}));
}

TEST_F(ShellTest, PadStepsTheMenuPointerFromButtonToButton) {
  shell.playing = false;
  // Every button's middle, top to bottom, in the pointer's own units.
  int x = 0, y = 0, ys[4];
  const int order[] = {command_newgame, command_resume, command_none, command_quit};
  for (int i = 0; i < 4; i++) {
    Menu::buttoncentre(order[i], &x, &y);
    ys[i] = 768 - y;
  }
  // The pointer starts below every button: down goes to the bottom one.
  shell.menuevent(hat(SDL_HAT_DOWN));
  EXPECT_EQ(menu.cursorx, 728);
  EXPECT_EQ(menu.cursory, ys[3]);
  EXPECT_EQ(menu.cursory, 332);
  EXPECT_TRUE(menu.hitbutton(600, 300));  // the hover picture shows
  shell.menuevent(hat(SDL_HAT_UP | SDL_HAT_LEFT));
  EXPECT_EQ(menu.cursory, ys[2]);
  shell.menuevent(hat(SDL_HAT_UP));        // still held: no step
  EXPECT_EQ(menu.cursory, ys[2]);
  shell.menuevent(hat(SDL_HAT_CENTERED));
  shell.menuevent(hat(SDL_HAT_UP));
  shell.menuevent(hat(SDL_HAT_CENTERED));
  shell.menuevent(hat(SDL_HAT_UP));
  EXPECT_EQ(menu.cursory, ys[0]);
  EXPECT_EQ(menu.cursory, 632);
  shell.menuevent(hat(SDL_HAT_CENTERED));
  shell.menuevent(hat(SDL_HAT_UP));  // no further than the top
  EXPECT_EQ(menu.cursory, ys[0]);
  shell.menuevent(hat(SDL_HAT_CENTERED));
  shell.menuevent(pad(SDL_JOYBUTTONDOWN, pad_down));
  EXPECT_EQ(menu.cursory, ys[1]);
  // The stick steps once per push past its dead zone.
  shell.menuevent(pad(SDL_JOYBUTTONUP, pad_down));
  shell.menuevent(axis(pad_lefty, 8000));
  EXPECT_EQ(menu.cursory, ys[1]);
  shell.menuevent(axis(pad_lefty, 8001));
  shell.menuevent(axis(pad_lefty, 32767));
  EXPECT_EQ(menu.cursory, ys[2]);
  shell.menuevent(axis(pad_lefty, 0));
  shell.menuevent(axis(pad_lefty, 9000));
  EXPECT_EQ(menu.cursory, ys[3]);
  shell.menuevent(axis(pad_lefty, 0));
  shell.menuevent(axis(pad_lefty, -9000));
  EXPECT_EQ(menu.cursory, ys[2]);
  shell.menuevent(axis(pad_lefty, 0));
  // Up from wherever the mouse left it: the nearest button above.
  shell.menuevent(motion(700, 768 - 480));
  shell.menuevent(hat(SDL_HAT_UP));
  EXPECT_EQ(menu.cursory, ys[1]);
  shell.menuevent(hat(SDL_HAT_CENTERED));
  shell.menuevent(motion(700, 10));  // down from above every button: the top one
  shell.menuevent(axis(pad_lefty, 8001));
  EXPECT_EQ(menu.cursory, ys[0]);
  // Nothing walks in the menu.
  EXPECT_EQ(shell.leftheld, 0);
}

TEST_F(ShellTest, PadSouthClicksThroughTheMenuAndItsPages) {
  shell.playing = false;
  int x = 0, y = 0;
  Menu::buttoncentre(command_resume, &x, &y);
  shell.menuevent(motion(x, y));
  shell.menuevent(pad(SDL_JOYBUTTONDOWN, pad_south));  // resume without a world
  EXPECT_TRUE(shell.inmenu());
  shell.menuevent(pad(SDL_JOYBUTTONUP, pad_south));
  shell.menuevent(hat(SDL_HAT_UP));  // to new game, then four pages of the introduction
  ASSERT_EQ(menu.cursory, 632);
  for (int page = 1; page <= 4; page++) {
    shell.menuevent(pad(SDL_JOYBUTTONDOWN, pad_south));
    shell.menuevent(pad(SDL_JOYBUTTONUP, pad_south));
    EXPECT_EQ(menu.page, page);
  }
  EXPECT_EQ(shell.world, nullptr);
  shell.menuevent(pad(SDL_JOYBUTTONDOWN, pad_south));
  ASSERT_NE(shell.world, nullptr);
  EXPECT_EQ(loaded, std::vector<std::string>{"tutorial1.lvl"});
  EXPECT_FALSE(shell.inmenu());
  EXPECT_EQ(menu.page, 0);
  // The release of the click arrives in play: no jump is left held.
  shell.playevent(pad(SDL_JOYBUTTONUP, pad_south));
  EXPECT_EQ(shell.world->jump, 0);
}

TEST_F(ShellTest, PadLetGoWhileTheMenuShowsLeavesNothingHeld) {
  World* w = shiftready();
  frame({axis(pad_leftx, -20000), pad(SDL_JOYBUTTONDOWN, pad_east),
         pad(SDL_JOYBUTTONDOWN, pad_south), axis(pad_rightx, 20000)});
  ASSERT_TRUE(shell.shifting);
  ASSERT_EQ(w->keyleft, 1);
  ASSERT_EQ(w->jump, 1);
  frame({pad(SDL_JOYBUTTONDOWN, pad_start)});
  ASSERT_TRUE(shell.inmenu());
  shell.menuevent(axis(pad_leftx, 0));
  shell.menuevent(pad(SDL_JOYBUTTONUP, pad_east));
  shell.menuevent(pad(SDL_JOYBUTTONUP, pad_south));
  shell.menuevent(axis(pad_rightx, 0));
  // A press seen only by the menu is never counted, nor its release in play.
  shell.menuevent(pad(SDL_JOYBUTTONDOWN, pad_rightshoulder));
  EXPECT_EQ(shell.menu->cursory, 200);  // none of that moved the pointer
  shell.command(command_resume);
  frame({pad(SDL_JOYBUTTONUP, pad_rightshoulder)});
  EXPECT_EQ(shell.shiftheld, 0);
  EXPECT_EQ(w->keyleft, 0);
  EXPECT_EQ(w->jump, 0);
  EXPECT_FALSE(shell.shifting);
  w->shiftx = 0;
  frame({key(SDL_KEYDOWN, SDLK_SPACE)});  // a fresh shift is not dragged by the stick
  ASSERT_TRUE(shell.shifting);
  frame({});
  EXPECT_EQ(w->shiftx, 0);
  // After a new game a shift button still down is not counted either.
  frame({pad(SDL_JOYBUTTONDOWN, pad_east), pad(SDL_JOYBUTTONDOWN, pad_start)});
  EXPECT_EQ(shell.shiftheld, 2);
  shell.command(command_newgame);
  shell.playevent(pad(SDL_JOYBUTTONUP, pad_east));
  EXPECT_EQ(shell.shiftheld, 0);
  EXPECT_EQ(shell.padshifts, 0);
}

}  // namespace
