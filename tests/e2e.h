// Play tests: the real game on an X display of its own, driven with X input
// events, watched through screenshots and heard through SDL's disk audio
// driver. Each test plays in a folder of its own that links the game data
// made by the build (build/game), so it can add, break or leave out files.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tempdir.h"

namespace e2e {

std::string slurp(const std::string& path);
std::vector<std::string> lines(const std::string& text);
bool run(const std::string& command);  // a shell command; true when it exits 0
int count(const std::string& text, const std::string& what);  // occurrences

// Polls pred every 20 ms until it holds, for at most limit_ms of wall-clock
// time. The bounds are generous: a loaded machine is slow, not wrong.
bool pause20ms();                // the polling interval; always true
long long elapsedms(long long since = 0);  // a monotonic clock in ms, less since

template <class Pred>
bool waitfor(Pred pred, int limit_ms = 30000) {
  const long long start = elapsedms();
  while (elapsedms(start) < limit_ms) {
    if (pred()) return true;
    pause20ms();
  }
  return pred();
}

struct Rgb {
  int r, g, b;
};
bool near(Rgb a, Rgb b, int tolerance = 3);  // every component within tolerance
// A colour given as 0..1 fractions, as the game hands it to OpenGL.
Rgb glcolour(double r, double g, double b);
// over drawn with alpha a on top of under.
Rgb blend(Rgb over, double a, Rgb under);

struct Rect {
  int x0, y0, x1, y1;  // window pixels, origin top left, [x0, x1) by [y0, y1)
};

// One screenshot of the whole display: 8-bit red, green, blue, rows top first.
struct Shot {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;

  bool empty() const { return rgb.empty(); }
  // Window pixel (x, y), origin top left as X sees it.
  Rgb at(int x, int y) const;
  // Screen pixel (x, y) in the game's drawing space: origin lower left, y up.
  Rgb gl(int x, int y) const { return at(x, height - 1 - y); }
};

// Mean absolute difference per colour component over the window rectangle
// [x0, x1) by [y0, y1), origin top left.
double diff(const Shot& a, const Shot& b, int x0, int y0, int x1, int y1);
bool same(const Shot& a, const Shot& b);  // every pixel equal
// How many pixels of the rectangle differ in some component by more than
// tolerance; the whole picture when no rectangle is given.
long mismatches(const Shot& a, const Shot& b, int tolerance);
long mismatches(const Shot& a, const Shot& b, int tolerance, const Rect& r);

// The horizontal (or vertical) displacement d in [-range, range] that best
// lays a over b within the window rectangle: b(x, y) = a(x + d, y) for
// horizontal, b(x, y) = a(x, y + d) for vertical. Pixels inside the hole
// rectangle are not compared. err gets the mean difference at d.
int displacement(const Shot& a, const Shot& b, bool horizontal, int range, Rect area, Rect hole,
                 double* err);

// Draws a picture over base with its lower left corner at the screen point
// (x, y) of the game's drawing space, as a graphics layer does: each pixel
// with opacity times its alpha picture's first byte (the blue one) / 255,
// or opacity alone without an alpha picture.
void overlay(Shot& base, const Shot& colour, const Shot* alpha, int x, int y, double opacity = 1);
Shot screenof(Rgb c);  // a whole 1024 by 768 screen of one colour

// Where the camera puts the hero: the middle of its 48 by 60 box at the
// screen centre, so the sprite covers these window pixels in every frame.
constexpr Rect herobox{488, 354, 536, 414};

// A level without a foreground picture is drawn in the element view: flat
// colours, one copy per unit of the shift count along the shift vector.
struct Element {
  int x1, x2, y1, y2;  // level pixels, as the level file writes them
  int kind;            // solid, slippery, or an item's kind (0 taken .. 5)
};
constexpr int solid = -1, slippery = -2;
struct ElementView {
  std::vector<Element> elements;  // solid ones first, then the items, in file order
  int shiftcount = 0;
  // The colour at level point (x, y) with the shift vector (sx, sy); false
  // within two pixels of an element's edge, where outlines are drawn.
  bool colourat(int x, int y, int sx, int sy, Rgb* c) const;
  // The screen shows the view from the camera on a hero at (hx, hy), sampled
  // every 8 pixels outside the hero's box.
  bool shows(const Shot& shot, int hx, int hy, int sx = 0, int sy = 0) const;
  // The hero's x in [from, to] for which the screen shows the view, or -1.
  int findhero(const Shot& shot, int from, int to, int hy) const;
};

// A picture file as the game's own loader decodes it, turned into a Shot of
// its size; compared with a full-screen page this is what the player sees.
Shot picture(const std::string& path);

// Keeps a screenshot as a PNG in the folder named by TWINFOLD_SCREENSHOTS,
// when that is set (make screenshots); otherwise does nothing.
void keepshot(const Shot& shot, const std::string& name);

// An Xvfb server of the test's own: windows of tests running beside this one
// must not take the pointer or the keyboard from the game. Sets DISPLAY.
class TestDisplay {
 public:
  // Starts the server; ok() tells whether it answers. Without opengl the
  // server offers no OpenGL (no GLX), as some remote displays do.
  explicit TestDisplay(bool opengl = true);
  ~TestDisplay();
  TestDisplay(const TestDisplay&) = delete;
  TestDisplay& operator=(const TestDisplay&) = delete;

  bool ok() const { return connection != nullptr; }
  Shot shot();
  // The screen once it has stopped changing (the same for 400 ms), or an
  // empty shot after limit_ms.
  Shot steady(int limit_ms = 30000);
  // Asks every top-level window to close, as a window manager's close
  // button does (WM_DELETE_WINDOW). Returns how many windows were asked.
  int closewindows();

  std::string name;  // ":N"

 private:
  pid_t server = -1;
  void* connection = nullptr;  // the X connection for screenshots and close requests
};

// One run of the real game in a folder of links to the build's game data.
class Game {
 public:
  // Links every file of build/game into a fresh folder, except those named
  // in leaveout; audio/ is linked as a whole.
  explicit Game(const std::vector<std::string>& leaveout = {});
  ~Game();  // kills a game still running
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  bool hasdata() const;  // build/game was made
  std::string write(const std::string& name, const std::string& text);  // a file of the test's own

  // The game, with sound going to audio. `preload` goes before any
  // LD_PRELOAD already set (the sanitizer runs keep Mesa's driver there, for
  // the leak check), and `env` is set for the game alone.
  void start(const std::string& preload = "",
             const std::vector<std::pair<std::string, std::string>>& env = {});
  bool exited(int* status);      // true once it has ended; status as from waitpid
  bool waitexit(int* status, int limit_ms = 30000);
  std::string out() const { return slurp(outpath); }
  std::string err() const { return slurp(errpath); }
  std::string logs() const { return "stdout:\n" + out() + "stderr:\n" + err(); }
  // Waits until standard output holds what at least n times.
  bool waitout(const std::string& what, int n = 1, int limit_ms = 30000);
  // The start-up is over when the audio device's result is printed: the
  // frame loop runs from then on.
  bool waitstarted();

  TempDir dir;  // the game's working folder
  std::string outpath, errpath, audiopath;
  pid_t pid = -1;
};

// The X input a player gives, through xdotool.
bool key(const std::string& keysym);  // press and release
bool keydown(const std::string& keysym);
bool keyup(const std::string& keysym);
// Places the game's pointer at window pixel (x, y). In full screen with its
// pointer hidden SDL reports relative motion: the pointer is pinned in the
// top left corner first, then moved by (x, y).
bool pointer(int x, int y);
bool click();  // left button, down and up
bool mousedown();
bool mouseup();
bool movemouse(int dx, int dy);

// Frames of the game's audio output: interleaved left and right samples.
using Samples = std::vector<int16_t>;
Samples capture(const std::string& path);  // the disk audio driver's file
Samples decodemusic(const std::string& path, size_t frames);  // with the game's own decoder
Samples wavesamples(const std::string& path);  // a sound effect as the mixer plays it
// The first frame f at or after from at which the music starts in the
// capture: from the music's first sound on, n of its frames are found there
// with nothing but the same on both sides added (sound effects), and at
// least a tenth of them exactly. -1 when there is no such frame.
long findmusic(const Samples& capture, const Samples& music, size_t from, size_t n);

// Where the game data is and where the game binary is.
std::string gamedata();
std::string gamebinary();

}  // namespace e2e
