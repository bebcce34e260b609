// Play scripts: replays turned into the real game's input, worked out by
// running the game's own shell and menu headless, frame by frame, on exactly
// the events the script will hand the game.
#include "kit/playscript.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "kit/scriptkeys.h"
#include "kit/snapshot.h"
#include "main/shell.h"
#include "menu/menu.h"
#include "world/world.h"

namespace {

constexpr int mostframes = 10000000;  // a script that runs longer has lost its way

// The shell loads levels by name from the folder the game runs in; the
// headless run reads them from the game folder instead, quietly.
// Loads are counted: a new world may well take the freed place of the old.
thread_local const std::string* gamefolder = nullptr;
thread_local int loads = 0;
thread_local std::string loaderror;  // what the game would stop on, if anything
World* loadheadless(const char* name) {
  loads++;
  World* w = new World(nopictures);
  const std::string path = *gamefolder + "/" + name;
  // The game stops on a level it cannot open (a folder plays as empty).
  if (w->loadfile(path.c_str(), nullptr).kind == LoadError::cannotopen && loaderror.empty())
    loaderror = std::string(name) + ": cannot be opened; the game stops here";
  return w;
}
void nomusic(const char*) {}
void nosound(bool) {}

// What getState would report now, left for the shell's own call.
int peekstate(World& w) {
  const int s = w.getState();
  if (s >= state_viewmaster) w.state = s;
  return s;
}

// The player at the keyboard and mouse: decides each frame's events from
// what the game shows, hands them to the headless shell and writes them down.
class Player {
 public:
  Player(Shell& shell, const std::vector<std::vector<ReplayLine>>& replays,
         const std::string& snappath, PlayScript& out)
      : shell(shell), replays(replays), snappath(snappath), out(out) {}

  bool run(std::string& err);

 private:
  Shell& shell;
  const std::vector<std::vector<ReplayLine>>& replays;
  const std::string& snappath;
  PlayScript& out;

  int frame = 0;
  uint32_t now = 0;       // the virtual clock
  int clockms = 0;        // what it moves at each swap
  int nextsteps = 0;      // world steps the next frame should run
  WorldSnapshot ahead;    // for looking ahead at them
  std::vector<SDL_Event> batch;  // this frame's events, for the shell

  // The level being played.
  int level = -1;         // index into replays and out.levels
  size_t line = 0;        // the replay line being played
  int left = 0;           // steps left on a step line
  bool ready = false;     // the next line starts in this frame
  bool fresh = false;     // a new world: the shell may still think keys are held
  bool arrowleft = false, arrowright = false, arrowup = false;  // keys held
  // A shift in progress: frames since space went down, keys for each axis.
  bool shifting = false;
  int shiftframes = 0, shiftx = 0, shifty = 0;
  SDLKey shiftkeyx = SDLK_a, shiftkeyy = SDLK_s;

  void key(SDLKey sym, bool down);
  void click(int x, int y);
  void setclock(int ms);
  void letgoarrows();
  void newlevel();
  bool startline(std::string& err);
  void shiftframe();
  bool decide(uint32_t tickbefore, bool held, bool& finished, std::string& err);
  bool playframe(std::string& err);
  int stepsahead();
  void menuframe();
  std::string where() const;
};

void Player::key(SDLKey sym, bool down) {
  SDL_Event e = {};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = sym;
  batch.push_back(e);
  out.events.push_back({down ? ScriptEvent::down : ScriptEvent::up, frame, sym, 0, 0, ""});
}

void Player::click(int x, int y) {
  SDL_Event e = {};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = static_cast<Uint16>(x);
  e.motion.y = static_cast<Uint16>(y);
  batch.push_back(e);
  e = {};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.x = static_cast<Uint16>(x);
  e.button.y = static_cast<Uint16>(y);
  batch.push_back(e);
  e.type = SDL_MOUSEBUTTONUP;
  batch.push_back(e);
  out.events.push_back({ScriptEvent::click, frame, 0, x, y, ""});
}

// Takes effect at the next frame's swap: written down for that frame.
void Player::setclock(int ms) {
  if (ms == clockms) return;
  clockms = ms;
  out.events.push_back({ScriptEvent::clock, frame + 1, ms, 0, 0, ""});
}

void Player::letgoarrows() {
  if (arrowleft) key(SDLK_LEFT, false);
  if (arrowright) key(SDLK_RIGHT, false);
  if (arrowup) key(SDLK_UP, false);
  arrowleft = arrowright = arrowup = false;
}

std::string Player::where() const {
  const std::string name = level >= 0 ? out.levels[level].name : std::string("title");
  return name + ": ";
}

// A world was built in this frame's level change or New game: its first
// line starts in the next frame, which runs no step.
void Player::newlevel() {
  level++;
  out.levels.push_back({level == 0 ? firstlevel : shell.levelname, frame, 0, 0});
  line = 0;
  left = 0;
  ready = true;
  fresh = true;
}

// Begins the next replay line in this frame: a step line's keys for the
// next frame's step, or a shift's first press. Shifts the game would refuse
// to start are passed over, as the replay player passes them.
bool Player::startline(std::string& err) {
  const std::vector<ReplayLine>& lines = replays[level];
  World& w = *shell.world;
  ready = false;
  while (line < lines.size() && lines[line].shift && !shiftcanstart(w)) line++;
  if (line >= lines.size()) {
    err = where() + "the replay ends before the level does";
    return false;
  }
  const ReplayLine& r = lines[line];
  // The shell keeps its held keys across a level change, the new world
  // starts with none: let go and press again. Every line ends with the jump
  // let go, as the replay player's does.
  if (fresh) letgoarrows();
  fresh = false;
  if (arrowup) key(SDLK_UP, false);
  arrowup = false;
  if (r.shift) {
    // Rightward and upward keys move the vector the other way: a positive
    // x is dragged with a, a positive y with s, two pixels a frame.
    key(SDLK_SPACE, true);
    shifting = true;
    shiftframes = 0;
    shiftx = std::abs(r.dx) / 2;
    shifty = std::abs(r.dy) / 2;
    shiftkeyx = r.dx > 0 ? SDLK_a : SDLK_d;
    shiftkeyy = r.dy > 0 ? SDLK_s : SDLK_w;
    return true;
  }
  if (arrowleft && !r.left) key(SDLK_LEFT, false);
  if (arrowright && !r.right) key(SDLK_RIGHT, false);
  if (!arrowleft && r.left) key(SDLK_LEFT, true);
  if (!arrowright && r.right) key(SDLK_RIGHT, true);
  arrowleft = r.left;
  arrowright = r.right;
  if (r.jump) key(SDLK_UP, true);
  arrowup = r.jump;
  left = r.steps;
  return true;
}

// One frame of a held shift: the drag keys go down in the frame after the
// space bar, each stays down for as many frames as its axis needs, and the
// space bar comes up with the last of them.
void Player::shiftframe() {
  shiftframes++;
  if (shiftframes == 1) {
    if (shiftx > 0) key(shiftkeyx, true);
    if (shifty > 0) key(shiftkeyy, true);
  }
  const int held = shiftframes - 1;  // frames the drag keys have counted so far
  if (shiftx > 0 && held == shiftx) key(shiftkeyx, false);
  if (shifty > 0 && held == shifty) key(shiftkeyy, false);
  if (held == std::max(shiftx, shifty)) {
    key(SDLK_SPACE, false);
    shifting = false;
    line++;
    ready = true;
  }
}

// The player's part of a play frame: after the steps, before the events are
// read. Writes the events of the frame into batch.
bool Player::decide(uint32_t tickbefore, bool held, bool& finished, std::string& err) {
  const int stepped = held ? 0 : static_cast<int>((shell.lasttick - tickbefore) / stepms);
  if (stepped != nextsteps) {
    err = where() + "the game ran other world steps than the script wants";
    return false;
  }
  bool paged = false;
  if (stepped > 0) {
    out.levels[level].steps += stepped;
    left -= stepped;
    const int s = peekstate(*shell.world);
    finished = s == state_finished;
    paged = s >= state_viewmaster;
    if (finished) out.levels[level].endframe = frame;
    if (paged) out.pages++;
    if (!finished && left == 0) {
      line++;
      ready = true;
    }
  }
  if (level >= static_cast<int>(replays.size())) {
    key(SDLK_F12, true);  // no replay for this level: the run is over
  } else if (!finished && !paged) {
    // A shift ends in the frame its space bar comes up; another shift can
    // only start in a later frame, one that runs no step.
    bool wait = false;
    if (shifting) {
      shiftframe();
      wait = !shifting && line < replays[level].size() && replays[level][line].shift;
    }
    if (ready && !wait && !startline(err)) return false;
  }
  return true;
}

// A play frame as the game runs it, with the player deciding when the shell
// first asks for the frame's events.
bool Player::playframe(std::string& err) {
  const uint32_t tickbefore = shell.lasttick;
  const bool held = shell.shifting;
  bool asked = false, ok = true, finished = false;
  size_t handed = 0;
  const Shell::Events next = [&](SDL_Event& e) {
    if (!asked) ok = decide(tickbefore, held, finished, err);
    asked = true;
    if (!ok || handed == batch.size()) return false;
    e = batch[handed++];
    return true;
  };
  const int before = loads;
  shell.playframe(now, next, [] {});
  if (!ok) return false;
  if (!loaderror.empty()) {
    err = loaderror;
    return false;
  }
  if (loads != before) newlevel();
  if (finished && loads == before && !shell.inmenu()) {
    err = where() + "finished, but the game did not leave it";
    return false;
  }
  return true;
}

// As many steps as the shell runs in one frame when the clock is ahead
// (fewer frames to draw), but never past the end of the line, nor past a
// step that ends the level or brings up a page: the shell would run the rest
// of them before it looks. Found by stepping ahead and putting the world back.
int Player::stepsahead() {
  const int most = std::min(left, static_cast<int>(maxbacklog));
  World& w = *shell.world;
  snapshot(w, ahead);
  int n = 1;
  for (; n < most; n++) {
    w.step();
    if (peekstate(w) != state_playing) break;
  }
  restore(w, ahead);
  return n;
}

void Player::menuframe() {
  Menu& menu = *shell.menu;
  const int before = loads;
  if (menu.page == 6) {
    out.ending = true;
    if (!snappath.empty()) out.events.push_back({ScriptEvent::snap, frame, 0, 0, 0, snappath});
  }
  int x = screencentrex, y = screencentrey;
  if (menu.page == 0) Menu::buttoncentre(out.ending ? command_quit : command_newgame, &x, &y);
  // The keys come up while the page shows; Resume lets go of them anyway.
  letgoarrows();
  click(x, y);
  size_t handed = 0;
  shell.menuframe([&](SDL_Event& e) {
    if (handed == batch.size()) return false;
    e = batch[handed++];
    return true;
  });
  if (loads != before) newlevel();
}

bool Player::run(std::string& err) {
  for (frame = 1; frame <= mostframes; frame++) {
    now += static_cast<uint32_t>(clockms);
    batch.clear();
    if (shell.inmenu()) {
      menuframe();
    } else if (!playframe(err)) {
      return false;
    }
    if (shell.quitting) {
      out.frames = frame;
      return true;
    }
    // The next frame steps only when a step line has steps left and nothing
    // (a page, a new level, a shift, or a shift about to start) stands between.
    const bool stepping = !shell.inmenu() && !shell.shifting && !shifting && !ready && left > 0 &&
                          level < static_cast<int>(replays.size());
    nextsteps = stepping ? stepsahead() : 0;
    setclock(nextsteps * static_cast<int>(stepms));
  }
  err = where() + "the script runs on without end";
  return false;
}

const char* keyname(int sym) {
  for (const ScriptKey& k : scriptkeys)
    if (k.sdl == sym) return k.name;
  return "?";
}

}  // namespace

bool makeplayscript(const std::string& folder, const std::vector<std::vector<ReplayLine>>& replays,
                    const std::string& snappath, PlayScript& out, std::string& err) {
  out = PlayScript{{}, {}, 0, false, 0};
  gamefolder = &folder;
  loaderror.clear();
  Menu menu(false);
  Shell shell(&menu, nullptr, ShellPlatform{loadheadless, nomusic, nosound, nullptr}, 0);
  Player player(shell, replays, snappath, out);
  const bool ok = player.run(err);
  gamefolder = nullptr;
  return ok;
}

std::string playscripttext(const PlayScript& script) {
  std::ostringstream text;
  text << "# twinfold play script: " << script.levels.size() << " levels, " << script.frames
       << " frames\n";
  for (const ScriptEvent& e : script.events) {
    text << e.frame << ' ';
    switch (e.kind) {
      case ScriptEvent::clock: text << "clock " << e.value; break;
      case ScriptEvent::down: text << "down " << keyname(e.value); break;
      case ScriptEvent::up: text << "up " << keyname(e.value); break;
      case ScriptEvent::click: text << "click " << e.x << ' ' << e.y; break;
      case ScriptEvent::snap: text << "snap " << e.path; break;
    }
    text << '\n';
  }
  return text.str();
}
