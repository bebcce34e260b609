// The game shell's rules: event tables, step clock, shift control, camera and
// level states. No SDL call happens here; SDL events arrive as plain data.
#include "main/shell.h"

#include <SDL.h>

#include <cstring>

#include "menu/menu.h"
#include "world/world.h"

Shell::Shell(Menu* menu, Mixer* mixer, ShellPlatform platform, uint32_t now)
    : menu(menu), mixer(mixer), platform(platform), world(nullptr), playing(true),
      quitting(false), shifting(false), shiftheld(0), nudgex(0), nudgey(0), mousenudgex(0),
      mousenudgey(0), leftheld(0), rightheld(0), padwalkx(0), padwalky(0), padnudgex(0),
      padnudgey(0), paddpad(0), padshifts(0), lasttick(now), levelwaiting(false),
      stepmemory{0, 0, false} {
  levelname[0] = '\0';
}

Shell::~Shell() { delete world; }

World* Shell::newworld(const char* path) {
  World* w = platform.loadworld(path);
  w->setMixer(mixer);
  w->stepmemory = stepmemory;
  return w;
}

void Shell::dropworld() {
  if (world != nullptr) stepmemory = world->stepmemory;
  delete world;
  world = nullptr;
}

void Shell::menuevent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_MOUSEMOTION:
      menu->setcursor(e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
      menu->setcursor(e.button.x, e.button.y);
      if (e.button.button == SDL_BUTTON_LEFT) command(menu->clickcommand());
      break;
    case SDL_QUIT:
      quitting = true;
      break;
    case SDL_JOYAXISMOTION:
    case SDL_JOYHATMOTION:
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      padevent(e, true);
      break;
    default:
      break;
  }
}

void Shell::command(int r) {
  switch (r) {
    case command_newgame:
      // Not taken before the first level's files are in (the browser
      // fetches them after the title): the title stays as it is.
      if (platform.levelready != nullptr && !platform.levelready(firstlevel)) break;
      // 1.-2. A fresh first level; 3. nothing held carries over, but shifting
      // stays so a shift left open is closed on the new world's first frame;
      // 4. the play music.
      dropworld();
      world = newworld(firstlevel);
      playing = true;
      leftheld = rightheld = 0;
      shiftheld = 0;
      padshifts = 0;
      world->setkeys(0, 0);
      platform.playmusic(playsong);
      break;
    case command_resume:
      if (world == nullptr) break;
      shifting = false;
      playing = true;
      leftheld = rightheld = 0;
      world->setkeys(0, 0);
      break;
    case command_quit:
      quitting = true;
      break;
    default:
      break;
  }
}

void Shell::playevent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
      switch (e.key.keysym.sym) {
        case SDLK_ESCAPE: playing = false; break;
        case SDLK_SPACE: shiftheld += 1; break;
        case SDLK_a: nudgex -= 1; break;
        case SDLK_d: nudgex += 1; break;
        case SDLK_s: nudgey -= 1; break;
        case SDLK_w: nudgey += 1; break;
        case SDLK_UP: world->setjump(1); break;
        case SDLK_RIGHT: rightheld = 1; world->setkeys(leftheld, rightheld); break;
        case SDLK_LEFT: leftheld = 1; world->setkeys(leftheld, rightheld); break;
        case SDLK_F12: quitting = true; break;
        default: break;
      }
      break;
    case SDL_KEYUP:
      switch (e.key.keysym.sym) {
        case SDLK_SPACE: shiftheld -= 1; break;
        case SDLK_a: nudgex += 1; break;
        case SDLK_d: nudgex -= 1; break;
        case SDLK_s: nudgey += 1; break;
        case SDLK_w: nudgey -= 1; break;
        case SDLK_UP: world->setjump(0); break;
        case SDLK_RIGHT: rightheld = 0; world->setkeys(leftheld, rightheld); break;
        case SDLK_LEFT: leftheld = 0; world->setkeys(leftheld, rightheld); break;
        default: break;
      }
      break;
    case SDL_MOUSEMOTION:
      // The pointer is warped to the centre every frame, so its offset is the
      // drag since then; halved, with y turned to point up. / truncates toward 0.
      if (shifting) {
        mousenudgex = (e.motion.x - screencentrex) / 2;
        mousenudgey = -((e.motion.y - screencentrey) / 2);
      }
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button == SDL_BUTTON_LEFT) shiftheld += 1;
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT) shiftheld -= 1;
      break;
    case SDL_QUIT:
      quitting = true;
      break;
    case SDL_JOYAXISMOTION:
    case SDL_JOYHATMOTION:
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      padevent(e, false);
      break;
    default:
      break;
  }
}

// ---- The pad ----
// Both tables keep the pad's state true in either mode, so a stick or button
// let go while the menu shows leaves nothing held; only play mode hands it to
// the world, and only the menu moves the pointer with it.

static int pastdeadzone(int value) {
  if (value > paddeadzone) return 1;
  if (value < -paddeadzone) return -1;
  return 0;
}

bool Shell::padheld(int hatbit) const {
  if (paddpad & hatbit) return true;
  switch (hatbit) {
    case SDL_HAT_LEFT: return padwalkx < 0;
    case SDL_HAT_RIGHT: return padwalkx > 0;
    case SDL_HAT_UP: return padwalky < 0;
    case SDL_HAT_DOWN: return padwalky > 0;
    default: return false;
  }
}

void Shell::padevent(const SDL_Event& e, bool inmenu) {
  // 1. What was held before, so that only a change acts.
  const bool wasleft = padheld(SDL_HAT_LEFT), wasright = padheld(SDL_HAT_RIGHT);
  const bool wasup = padheld(SDL_HAT_UP), wasdown = padheld(SDL_HAT_DOWN);
  // 2. The pad's state.
  switch (e.type) {
    case SDL_JOYAXISMOTION: {
      const int v = pastdeadzone(e.jaxis.value);
      if (e.jaxis.axis == pad_leftx) padwalkx = v;
      if (e.jaxis.axis == pad_lefty) padwalky = v;
      if (e.jaxis.axis == pad_rightx) padnudgex = v;
      if (e.jaxis.axis == pad_righty) padnudgey = -v;  // SDL's y points down, the nudge's up
      break;
    }
    case SDL_JOYHATMOTION:
      if (e.jhat.hat == 0) paddpad = e.jhat.value;
      break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      padbutton(e.jbutton.button, e.type == SDL_JOYBUTTONDOWN, inmenu);
      break;
    default:
      break;
  }
  // 3. Up and down step the menu's pointer; left and right walk as the arrows do.
  if (inmenu) {
    if (!wasup && padheld(SDL_HAT_UP)) padpoint(-1);
    if (!wasdown && padheld(SDL_HAT_DOWN)) padpoint(1);
    return;
  }
  const bool left = padheld(SDL_HAT_LEFT), right = padheld(SDL_HAT_RIGHT);
  if (left != wasleft) leftheld = left;
  if (right != wasright) rightheld = right;
  if (left != wasleft || right != wasright) world->setkeys(leftheld, rightheld);
}

void Shell::padbutton(int b, bool down, bool inmenu) {
  static const struct {
    int button, hatbit;
  } dpad[] = {{pad_up, SDL_HAT_UP}, {pad_down, SDL_HAT_DOWN}, {pad_left, SDL_HAT_LEFT},
              {pad_right, SDL_HAT_RIGHT}};
  for (const auto& d : dpad)
    if (b == d.button) paddpad = down ? paddpad | d.hatbit : paddpad & ~d.hatbit;
  switch (b) {
    case pad_south:
      // Jumps as the up arrow does; in the menu it clicks where the pointer
      // is, or turns a full-screen page, and its release lets go of a jump.
      if (!inmenu) {
        world->setjump(down);
      } else if (down) {
        command(menu->clickcommand());
      } else if (world != nullptr) {
        world->setjump(0);
      }
      break;
    case pad_east:
    case pad_rightshoulder: {
      // Counted with the space bar and the left button, but only a press seen
      // in play mode is ever taken back: a count never goes wrong by a
      // release that the menu swallowed the press of.
      const int bit = b == pad_east ? 1 : 2;
      if (down && !inmenu && !(padshifts & bit)) {
        padshifts |= bit;
        shiftheld += 1;
      } else if (!down && (padshifts & bit)) {
        padshifts &= ~bit;
        shiftheld -= 1;
      }
      break;
    }
    case pad_start:
      if (down && !inmenu) playing = false;
      break;
    default:
      break;
  }
}

void Shell::padpoint(int step) {
  // The title's buttons are found by their middles, so the order follows the
  // menu's layout. With none that way the pointer goes to the last one: a
  // player who holds on pressing up always ends on the top button.
  const int pointery = 2 * screencentrey - menu->cursory;  // window pixels, y down
  const int commands[] = {command_none, command_newgame, command_resume, command_quit};
  int x = 0, y = 0, nextx = 0, nexty = 0, lastx = 0, lasty = 0;
  bool found = false;
  for (size_t i = 0; i < sizeof commands / sizeof commands[0]; i++) {
    Menu::buttoncentre(commands[i], &x, &y);
    const bool ahead = step * (y - pointery) > 0;  // the button lies the way asked
    if (ahead && (!found || step * (y - nexty) < 0)) {
      found = true;
      nextx = x;
      nexty = y;
    }
    if (i == 0 || step * (y - lasty) > 0) {
      lastx = x;
      lasty = y;
    }
  }
  if (found)
    menu->setcursor(nextx, nexty);
  else
    menu->setcursor(lastx, lasty);
}

void Shell::runsteps(uint32_t now) {
  // Unsigned difference: correct across the tick counter's wrap-around.
  uint32_t owed = (now - lasttick) / stepms;
  if (owed > maxbacklog) {
    lasttick = now;
    return;
  }
  // While shifting the world stands still, but time is still accounted so no
  // burst of catch-up steps follows the shift.
  for (uint32_t i = 0; i < owed; i++) {
    if (!shifting) world->step();
    lasttick += stepms;
  }
}

static int clampshift(int v) {
  if (v < -shiftlimit) return -shiftlimit;
  if (v > shiftlimit) return shiftlimit;
  return v;
}

void Shell::shiftcontrol() {
  // 1. The release of the button that clicked a menu command arrives here
  //    without its press: never count below zero.
  if (shiftheld < 0) shiftheld = 0;
  // 2.-4. Rightward and upward input moves the vector the other way; the
  //    right stick past its dead zone drags as a held w, a, s or d key.
  int dx = -2 * (mousenudgex + nudgex + padnudgex);
  int dy = -2 * (mousenudgey + nudgey + padnudgey);
  if (shifting) {
    world->shiftx = clampshift(world->shiftx + dx);
    world->shifty = clampshift(world->shifty + dy);
  }
  mousenudgex = mousenudgey = 0;
  // 5. Entering: exactly one control held.
  if (shiftheld == 1 && !shifting && startshift(*world)) {
    platform.shiftsound(true);
    shifting = true;
  }
  // 6. Leaving: the hero jumps planes if the spot is free.
  if (shiftheld == 0 && shifting) {
    releaseshift(*world);
    shifting = false;
    platform.shiftsound(false);
  }
}

void Shell::menuframe(const Events& next) {
  SDL_Event e;
  while (next(e)) menuevent(e);
}

void Shell::playframe(uint32_t now, const Events& next, const std::function<void()>& pointer) {
  // 1. Steps owed; 2. input; 3. the shift control; 4. the pointer back to
  // the centre (the platform's); 5. the camera on the hero; 6. the level's state.
  runsteps(now);
  SDL_Event e;
  while (next(e)) playevent(e);
  shiftcontrol();
  pointer();
  placecamera();
  levelstate();
}

void Shell::placecamera() {
  world->camx = world->x - cameraoffsetx;
  world->camy = world->y - cameraoffsety;
}

void Shell::levelstate() {
  int s = world->getState();
  if (s == state_finished) {
    // The name is copied out before the world that holds it goes.
    size_t n = strnlen(world->nextlevel, sizeof world->nextlevel - 1);
    memcpy(levelname, world->nextlevel, n);
    levelname[n] = '\0';
    dropworld();
    if (levelname[0] != '\0') {
      levelwaiting = true;
      loadwaiting();
    } else {
      menu->startcutscene(1);
      playing = false;
    }
  } else if (s >= state_viewmaster) {
    menu->startcutscene(s);
    playing = false;
  }
}

bool Shell::loadwaiting() {
  if (!levelwaiting) return true;
  if (platform.levelready != nullptr && !platform.levelready(levelname)) return false;
  levelwaiting = false;
  world = newworld(levelname);
  return true;
}
