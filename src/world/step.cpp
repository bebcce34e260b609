// The hero's movement step: input, speeds, gravity, moves, walls, animation
// with footsteps, items and the fade, and what the step reports; plus the
// input setters and getState.
#include <cstdlib>

#include "audio/mixer.h"
#include "world/world.h"

namespace {

// Level pixels, y up; speeds in pixels per 30 ms step; / truncates toward zero.
constexpr int32_t walkspeed = 6;
constexpr int32_t walljumpspeed = 5;     // sideways, away from the wall
constexpr int32_t slidespeed = -3;       // fastest fall against a wall
constexpr int32_t slipspeed = 4;         // a slippery landing throws the hero off this fast
constexpr int32_t wallheight = 40;       // a wall must rise more than this above the feet
constexpr int32_t rundelayreload = 54;   // 55 grounded steps at full speed before running
constexpr int32_t finishedfade = fadesteps;  // fade beyond this: the level is finished

// Speed squares in 64 bits; the thresholds below are the rules' own.
int64_t sq(int32_t v) { return int64_t{v} * v; }

// Speed changes in the air come once every 64 steps up to walking speed,
// once every 8 steps above it.
int32_t aircontrolreload(int32_t vx) { return sq(vx) < 37 ? 63 : 7; }

// Hero animations: first sheet frame, frame count, steps the first frame is held.
struct Animation {
  int32_t start, length, timer;
};
constexpr Animation walk{0, 5, 4};
constexpr Animation idle{8, 3, 120};
constexpr Animation wallslide{11, 1, 2};
constexpr Animation walljump{16, 5, 2};
constexpr Animation run{24, 10, 2};
constexpr Animation airborne{40, 6, 2};

void start(World& w, const Animation& a) {
  w.animstart = a.start;
  w.frame = a.start;
  w.animlength = a.length;
  w.frametimer = a.timer;
}

// A frame chosen by the vertical speed, the last matching rule winning:
// rising fast, rising, falling, falling fast; vy = 0 keeps the given frame.
int32_t framebyspeed(int32_t vy, int32_t frame, int32_t rising, int32_t risingfast,
                     int32_t falling, int32_t fallingfast) {
  if (vy > 0) frame = rising;
  if (vy > 3) frame = risingfast;
  if (vy < 0) frame = falling;
  if (vy < -3) frame = fallingfast;
  return frame;
}

// The airborne rule: the frame after the take-off frame is kept, any other
// comes from the vertical speed.
int32_t airborneframe(int32_t vy, int32_t next) {
  return next == airborne.start + 1 ? next : framebyspeed(vy, next, 43, 42, 44, 45);
}

// One footstep. rand() is drawn whether or not there is a mixer, so a run
// takes the same random numbers with sound and without.
void footstep(World& w) {
  const int slot = rand() % footstepslots;
  w.soundsasked++;
  if (w.mixer) w.mixer->play(slot);
}

// Moves the animation on by one frame and reloads its timer.
void advance(World& w) {
  int32_t next = w.frame + 1;
  if (next >= w.animstart + w.animlength) next = w.animstart;
  bool step = false;
  switch (w.animstart) {
    case walk.start:
      w.frame = next;
      w.frametimer = 3;
      step = next % 6 == 4;
      break;
    case idle.start:
      // The idle animation ends on its last frame and holds it.
      w.frame = next;
      w.frametimer = next == idle.start + 2 ? 0 : 120;
      break;
    case wallslide.start:
      w.frame = wallslide.start;
      w.frametimer = 2;
      break;
    case walljump.start:
      // The wall-jump frame (17 to 20 by speed) goes through the airborne
      // rule on the same advance, which replaces it: after its first frame a
      // wall jump looks, sounds and times like any other airborne phase.
      w.frame = airborneframe(w.vy, framebyspeed(w.vy, next, 18, 17, 19, 20));
      w.frametimer = 2;
      step = w.frame % 3 == 2;
      break;
    case run.start:
      w.frame = next;
      w.frametimer = 2;
      step = next % 3 == 2;
      break;
    case airborne.start:
      w.frame = airborneframe(w.vy, next);
      w.frametimer = 2;
      step = w.frame % 3 == 2;
      break;
    default:
      w.frame = next;
      w.frametimer = 2;
      break;
  }
  if (step) footstep(w);
}

// The one-pixel downward probe every move and wall test uses: where the
// feet end up with the hero box at x, ledges passable from below.
int probe(World& w, int64_t x, int32_t y) {
  return w.collidey(clampcoord(x), y, clampcoord(int64_t{y} - 1), true);
}

}  // namespace

bool wallat(World& w, int64_t x, int32_t y) {
  return probe(w, x, y) > int64_t{y} + wallheight && w.lastbox && !w.lastbox->nowalljump;
}

void World::setkeys(int left, int right) {
  keyleft = left;
  keyright = right;
}

void World::setjump(int j) { jump = j; }

int World::getState() {
  // An event is reported once; a finished level on every call from then on.
  if (state > state_finished) {
    const int s = state;
    state = state_playing;
    return s;
  }
  return fade > finishedfade ? state_finished : state_playing;
}

// Level pixels, y up, speeds in pixels per 30 ms step, / truncates toward
// zero. Every sweep passes oneway = true: ledges are passed from below.
// Positions are worked out in 64 bits and clamped into the int32 range.
StepReport World::step() {
  StepMemory& m = stepmemory;
  happened = StepReport{};

  // 1. Ground jump.
  if (vy == 0 && jump == 1) {
    vy = jumpspeed;
    m.aircontrol = aircontrolreload(vx);
    jump = 0;
  }

  // 2. Target speed; slow drift carries on in the air, faster speed brakes.
  const int32_t dir = keyright - keyleft;
  int32_t target = dir * (m.running ? runspeed : walkspeed);
  if (vy != 0 && target == 0 && sq(vx) <= 8) target = vx;

  // 3. Acceleration, rationed by aircontrol in the air.
  if (vx != target && (vy == 0 || m.aircontrol == 0)) vx += vx < target ? 1 : -1;

  // 4. Air control countdown.
  if (vy != 0 && vx != 0) {
    m.aircontrol -= 1;
    if (m.aircontrol < 0) m.aircontrol = aircontrolreload(vx);
  } else {
    m.aircontrol = 0;
  }

  // 5. Horizontal move: only the destination is probed. A move of n pixels
  // may climb n + 1; a higher obstacle costs a pixel and a unit of speed per
  // try until the hero stands flush against it.
  if (vx != 0) {
    const int32_t s = vx > 0 ? 1 : -1;
    int32_t move = vx;
    int64_t allowance = vx > 0 ? int64_t{vx} : -int64_t{vx};
    while (move != 0) {
      const int32_t nx = clampcoord(int64_t{x} + move);
      const int r = probe(*this, nx, y);
      if (r <= int64_t{y} + allowance + 1) {
        x = nx;
        y = r;
        break;
      }
      allowance -= 1;
      if (sq(move) > 1) vx -= s;
      move -= s;
    }
  }

  // 6. Ground following: walking downhill keeps contact; walking off an edge
  // drops the hero |vx| pixels at once.
  if (vy == 0) gravitytick = 0;
  if (vy == 0 && vx != 0) {
    const int64_t speed = vx > 0 ? int64_t{vx} : -int64_t{vx};
    const int r = collidey(x, y, clampcoord(y - speed), true);
    if (r <= y) y = r;
  }

  // 7. Gravity on every other airborne step; on the ground it makes every
  // step probe a pixel down.
  if (gravitytick == 0) vy -= 1;
  gravitytick = (gravitytick + 1) % 2;
  if (vy == 0) vy = -1;

  // 8. Vertical move.
  const int32_t goal = clampcoord(int64_t{y} + vy);
  y = collidey(x, y, goal, true);
  if (y == goal) {
    // Nothing touched: running ends with every jump or fall.
    m.running = false;
    m.rundelay = rundelayreload;
  } else if (vy < 0) {
    // Landed.
    vy = 0;
    if (sq(vx) <= 35) {
      m.running = false;
      m.rundelay = rundelayreload;
    } else if (m.rundelay > INT32_MIN) {
      m.rundelay -= 1;
    }
    if (m.rundelay < 0) m.running = true;
    if (lastbox && lastbox->slippery) {
      // Thrown off: downhill for the slope shapes.
      vy = -slipspeed;
      canshift = 0;
      vx = lastbox->x1 <= lastbox->x2 ? slipspeed : -slipspeed;
    } else {
      canshift = 1;
    }
  } else {
    // The head hit something.
    vy = -1;
  }

  // 9. Walls: probes a pixel to either side; walls on both sides cancel.
  if (vy != 0) {
    int32_t side = 0;
    if (wallat(*this, int64_t{x} - 1, y)) side = -1;
    if (wallat(*this, int64_t{x} + 1, y)) side += 1;
    if (side == 0) {
      if (animstart != airborne.start && animstart != walljump.start) start(*this, airborne);
    } else {
      if (vy < slidespeed) vy = slidespeed;
      if (animstart != wallslide.start) {
        facing = side;
        start(*this, wallslide);
      }
      if (jump != 0) {
        vy = jumpspeed;
        vx = -walljumpspeed * side;
        canshift = 1;
        if (animstart != walljump.start) start(*this, walljump);
      }
    }
  }

  // 10. Ground animations. A jump request is good for one step only. The
  // walk also starts when no animation runs yet (the first steps of a level).
  jump = 0;
  if (vx == 0) {
    if (vy == 0 && animstart != idle.start) start(*this, idle);
  } else {
    if (vy == 0 && animstart != run.start && m.running) {
      start(*this, run);
    } else if (vy == 0 && (animstart != walk.start || animlength == 0) && !m.running) {
      start(*this, walk);
    }
    facing = vx;
  }

  // 11. Frame advance; a timer of 0 holds the frame.
  if (frametimer > 0 && animlength > 0) {
    frametimer -= 1;
    if (frametimer == 0) advance(*this);
  }

  // 12. Items, at the position reached. A hero below every level dies as on
  // spikes; its fall speed has no meaning at the respawn point.
  collideitems(x, y, true);
  if (y < falldepth) {
    fade = fadestart;
    go_checkpoint();
    vy = 0;
    happened.died = true;
  }

  // 13. Fade, held at the top of its range once the level is long finished.
  if (fade != 0 && fade < INT32_MAX) fade += 1;

  // 14. The report; a viewmaster pickup outranks the finish, as in getState.
  if (happened.state != state_viewmaster && fade > finishedfade) happened.state = state_finished;
  return happened;
}
