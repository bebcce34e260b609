// World: one loaded level and its simulation state, elements, hero, camera,
// plane shift, respawn bookkeeping, fade, pictures and the borrowed mixer.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <vector>

#include "world/box.h"

class GraphicsLayer;

// What the loader saw at one opening parenthesis, for the level checker:
// where the command stood, what it read and what it made.
struct LevelCommand {
  std::string word;   // letters and digits collected, as compared with the keywords
  long wordat;        // file offset of the word's first letter; of the '(' when empty
  long at;            // file offset of the '('
  bool known;         // the word is a keyword
  int wanted;         // integer operands the command takes; 0 for names and unknown words
  int operands;       // integer operands that parsed
  std::string run;    // name commands: the run of non-blank characters read (first 256)
  int list;           // what it appended: 0 nothing, 1 boxes, 2 items
  int index;          // its index in that list
};
class Texture;
class Mixer;

// How a world makes and frees its pictures. The rules only hold them; the
// game's drawing part supplies the makers (gamepictures, built with the
// drawing), so the rules link without OpenGL or libpng. A world without one is
// headless: it records the names its level gives and reads no picture file.
struct PictureMaker {
  // A named picture cut into tiles; ends the program on a picture it cannot load.
  GraphicsLayer* (*layer)(const char* name, bool usealpha, bool usepng);
  // The hero's w by h sprite sheet from a colour picture and its alpha picture.
  Texture* (*sheet)(const char* colourpath, const char* alphapath, int w, int h);
  void (*freelayer)(GraphicsLayer* layer);
  void (*freesheet)(Texture* sheet);
};
extern const PictureMaker gamepictures;  // the game's: GraphicsLayer and load_spritesheet
constexpr const PictureMaker* nopictures = nullptr;  // a headless world's maker

// What kept a level file from loading. The game ends only on cannotopen: a
// folder opens and reads as nothing, and the game has always played that as an
// empty level, while a tool refuses both.
struct LoadError {
  enum Kind { none, cannotopen, cannotread };
  Kind kind = none;
  std::string message;  // "path: cannot be opened", for a tool to print; empty when none
  explicit operator bool() const { return kind != none; }
};

// The level format's sizes (twinfold-level format hands them to the level
// editor). Items a command names by one point: a checkpoint (and the picture
// offset's) and the end have that point as their lower left corner, a pickup
// its centre.
constexpr int32_t checkpointsize = 64;
constexpr int32_t endsize = 40;
constexpr int32_t pickupsize = 32;
// Longest keyword the lexer keeps; letters beyond it are dropped, so a longer
// word is its first 31 characters and matches nothing.
constexpr int wordroom = 31;
// Room of a picture name and of the next level's, terminator excluded.
constexpr int pictureroom = 127;
constexpr int nextlevelroom = 31;

// The hero box, in level pixels; its lower left corner is (World::x, World::y).
constexpr int herowidth = 48;
constexpr int heroheight = 60;
// The running speed, in pixels per step: no key, wall or slope moves the
// hero sideways faster.
constexpr int32_t runspeed = 12;
// The upward speed a jump gives, a ground jump and a wall jump alike.
constexpr int32_t jumpspeed = 9;

// Below this height the hero has fallen out of every level for good: the step
// counts it as a death, long before y or vy could leave the int32 range.
constexpr int32_t falldepth = -(1 << 30);

// Positions worked out in 64 bits come back into the int32 range here, so a
// level near the edge of that range never wraps the hero to the far side.
inline int32_t clampcoord(int64_t v) {
  return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

// The fade counter after a load or a death: it climbs back to 0 in fadesteps
// steps; at the end it climbs from 1, and past fadesteps the level is finished.
constexpr int32_t fadesteps = 32;
constexpr int32_t fadestart = -fadesteps;

// itemmask's bits: the first items keep their bit, later pickups a list.
constexpr size_t itemmaskbits = 32;

// The step's own memory, three values of the hero's movement beyond its
// speeds. A world starts with them at rest; the shell hands them from each
// world to the next, so they carry over a level change as if the step kept
// them. Main thread only.
struct StepMemory {
  int aircontrol;  // countdown rationing speed changes in the air; 0 = may change
  int rundelay;    // grounded steps at full walking speed left before running
  int32_t running; // 1: target speed 12 instead of 6; an int, so the state has no padding
};

// The world's mutable state is declared here once, in two parts; a snapshot
// copies it whole and a search state is the first part. Level space: integer
// pixels, y up, speeds in pixels per 30 ms step. The initialisers are the
// values load_common starts a world with. Main thread only.

// What the hero's moves change: position, speeds, the pickups' count and the
// respawn bookkeeping, the animation, the fade and the step's memory.
struct HeroState {
  int32_t x = 500, y = 250;          // hero box lower left corner
  int32_t vx = 0;                    // horizontal speed
  int32_t vy = 0;                    // vertical speed, positive upward
  int32_t gravitytick = 0;           // 0 or 1, alternates while airborne
  int32_t shiftcount = 0;            // shift multiplier; 0 disables shifting
  int32_t canshift = 0;              // 1 while a shift may begin
  int32_t animstart = 0;             // first sheet frame of the current animation
  int32_t animlength = 0;            // frames in the current animation, 0 for none
  int32_t frame = 0;                 // sheet frame drawn now, 0..63
  int32_t facing = 1;                // negative: facing left, sprite mirrored
  int32_t frametimer = 1;            // steps until the next animation frame; 0 holds it
  int32_t checkx = 500, checky = 250;  // respawn point
  uint32_t checkitems = 0;           // itemmask when the respawn point was last set
  uint32_t itemmask = 0;             // pickups taken: bit i for items[i] (i < itemmaskbits)
  int32_t fade = fadestart;          // <0 fading in, 0 playing, >=1 ending; >32 finished
  // Footstep and pickup sounds the world has asked for since it was built,
  // counted with or without a mixer (wraps; only differences are meaningful).
  uint32_t soundsasked = 0;
  StepMemory stepmemory = {0, 0, false};  // the step's memory; the shell carries it on
};

// The rest: what the shell writes and the one-shot report. Between a
// search's moves these are at rest (keys as the move sets them, jump and the
// report taken, plane 0, shift vector 0, camera untouched), so a search takes
// them from where it started.
struct WorldState : HeroState {
  int32_t shiftx = 0, shifty = 0;    // shift vector, each -32..32; written by the shell
  int32_t camx = 0, camy = 0;        // level point at the screen's lower left; set by the shell
  int32_t plane = 0;                 // 0, or 1 between the two switchplane calls of a shift
  int32_t state = 0;                 // 0 none, 2 a viewmaster pickup was taken (reported once)
  int32_t keyleft = 0, keyright = 0;  // direction inputs held, 0 or 1
  int32_t jump = 0;                  // jump input, 0 or 1
};

// Results of World::getState.
enum LevelState : int {
  state_playing = 0,     // nothing to report
  state_finished = 1,    // the level is finished; reported on every call from then on
  state_viewmaster = 2,  // a viewmaster pickup was taken: the mid-game page (reported once)
};

// What one step did, so that no caller guesses it from the fields: step()
// returns it. The item effects fill it in as they happen.
struct StepReport {
  bool died = false;          // spikes or the fall: the hero was put back at the respawn point
  bool checkpoint = false;    // a checkpoint was touched: the respawn point was set
  int state = state_playing;  // state_viewmaster when a viewmaster pickup was taken in this
                              // step, else state_finished once the level is finished; getState
                              // still reports the pickup once, as before
};

class World : public WorldState {
 public:
  // The level's settings and parts, fixed once loaded, and what the world
  // owns or borrows; the mutable fields are WorldState's.
  int32_t imageshiftx, imageshifty;  // offset of both level pictures from the elements
  char nextlevel[nextlevelroom + 1];  // file name of the next level; empty = none
  std::vector<Box*> boxes;           // solid elements in file order; owned
  std::vector<Box*> items;           // touchable elements in file order; owned
  GraphicsLayer** layers;            // [0] background, [1] foreground, each may be null; owned
  GraphicsLayer* viewmastercard;     // drawn on every shift pickup; owned, null when headless
  GraphicsLayer* viewmaster;         // drawn on every viewmaster pickup; owned, null when headless
  Texture* spritesheet;              // the hero's 512 by 512 sheet; owned, null when headless
  Mixer* mixer;                      // borrowed, never deleted here; null = silent
  Box* lastbox;                      // borrowed view into boxes: what stopped the last sweep
  StepReport happened;               // the step's report so far: cleared as a step begins and
                                     // filled in by the item effects; a snapshot keeps it

  // Headless support: without pictures the world loads no picture file and
  // makes no OpenGL call; picture commands only record their names.
  const PictureMaker* pictures;      // borrowed; makes and frees the pictures; null: only named
  char backgroundname[pictureroom + 1];  // name given by the first setBackground, or empty
  char foregroundname[pictureroom + 1];  // name given by the first setForeground, or empty
  std::vector<std::string> unknownwords;  // loader: words that matched no command, file order
  std::vector<LevelCommand> commands;     // loader: every command in file order

  // Respawn bookkeeping for pickups past the 32 bits of itemmask: indices
  // (>= 32) of pickups taken since the last checkpoint touch. Cleared by a
  // checkpoint touch, given back by go_checkpoint; save it with itemmask.
  std::vector<int32_t> latepickups;

  // The game's constructors, built with the drawing (pictures.cpp): pictures
  // made by gamepictures, or none with pictures false (tests).
  // Loads the level file at path, one log line per command on standard output;
  // exits with "Error loading map: " if the file cannot be opened.
  explicit World(const char* path, bool pictures = true);
  // The built-in level; nothing is logged.
  explicit World(bool pictures = true);
  // A world with nothing loaded yet: load_common with its pictures made by
  // pictures (nopictures: headless). loadfile or builtin fills it in.
  explicit World(const PictureMaker* pictures);
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  void load_common();
  // Reads and runs a level file's commands, one log line each to log (none
  // when null). Never ends the program: a file that cannot be opened or read
  // comes back as the error, the commands read until then already run.
  LoadError loadfile(const char* path, std::ostream* log);
  // The same from an open file, which stays open; false on a read error.
  bool loadcommands(FILE* f, std::ostream* log);
  void builtin();                   // appends the built-in level's elements and pictures
  void setMixer(Mixer* m);
  void setkeys(int left, int right);
  void setjump(int j);
  int getState();
  StepReport step();
  int collidey(int x, int fromy, int toy, bool oneway);
  int collideitems(int x, int y, bool trigger);
  void collidecallback(int index, int x, int y);
  void go_checkpoint();
  int switchplane(int plane);
  // Where switchplane(1) would carry the hero now, worked out wide and clamped.
  void shiftdestination(int32_t* nx, int32_t* ny) const;
  // The hero box at (bx, by) overlaps no solid element, ledges included: a
  // one-pixel downward probe, so feet resting on a top are free.
  bool fitsat(int32_t bx, int32_t by);
  void render();
  void draw_objects(int dx, int dy, float opacity);
};

// ---------------------------------------------------------------------------
// Rules the shell and the level makers' kit call rather than restate.

// Values of LevelCommand::list: which list a command appended to.
enum CommandList : int {
  list_none = 0,   // made no element
  list_boxes = 1,  // a solid element, World::boxes
  list_items = 2,  // a touchable item, World::items
};

// The shell keeps each component of the shift vector within -32..32.
constexpr int32_t shiftlimit = 32;

// The shift control's start and release, as the shell works them and the
// replays play them. A shift starts only where the world allows one:
inline bool shiftcanstart(const World& w) { return w.canshift != 0 && w.shiftcount != 0; }
// The control taken: the vector back to 0; true when the shift starts (the
// world then stands still until the release).
bool startshift(World& w);
// The control let go: switchplane(1) carries the hero by the vector if the
// spot is free, the vector goes back to 0, switchplane(0) ends the shift.
void releaseshift(World& w);


// A rectangle of hero positions (lower left corners of the hero box), both
// ends included; 64 bits, so spans around int32 corners never wrap.
struct HeroSpan {
  int64_t x0, x1, y0, y1;
  bool empty() const { return x0 > x1 || y0 > y1; }
  bool holds(int64_t x, int64_t y) const { return x0 <= x && x <= x1 && y0 <= y && y <= y1; }
  HeroSpan overlap(const HeroSpan& o) const {
    return HeroSpan{std::max(x0, o.x0), std::min(x1, o.x1), std::max(y0, o.y0),
                    std::min(y1, o.y1)};
  }
};

// Where the hero box touches item b: its right and top edges meeting the
// item count, its left and bottom edges meeting it do not, so x runs from
// x1 - 48 to x2 - 1 and y from y1 - 60 to y2 - 1 (empty for corners reversed
// by more than the hero's size).
inline HeroSpan touchspan(const Box& b) {
  return HeroSpan{int64_t{b.x1} - herowidth, int64_t{b.x2} - 1, int64_t{b.y1} - heroheight,
                  int64_t{b.y2} - 1};
}
inline bool touches(int64_t x, int64_t y, const Box& b) { return touchspan(b).holds(x, y); }

// A wall the hero may slide down or kick off beside the hero box at (x, y):
// the one-pixel downward probe there ends more than 40 pixels above the feet,
// against an element that allows wall jumps. Writes w.lastbox.
bool wallat(World& w, int64_t x, int32_t y);

// A level-space rectangle, both ends included, in 64 bits.
struct LevelBounds {
  int64_t minx, miny, maxx, maxy;
  void add(int64_t x, int64_t y) {
    minx = std::min(minx, x);
    maxx = std::max(maxx, x);
    miny = std::min(miny, y);
    maxy = std::max(maxy, y);
  }
};

// The smallest rectangle holding the hero's position (the box's lower left
// corner) and both corners of every solid element and, with items, of every
// item.
LevelBounds levelbounds(const World& w, bool items);
