// The play tests' harness: the test display, the game run, screenshots and
// the audio capture. The X calls stay in this file.
#include "e2e.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "audio/music.h"
#include "audio/wave.h"
#include "graphics/bitmap.h"

namespace e2e {

std::string gamedata() { return std::string(TWINFOLD_BINARY_DIR) + "/game"; }
std::string gamebinary() { return std::string(TWINFOLD_BINARY_DIR) + "/twinfold"; }

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  std::string line;
  while (std::getline(s, line)) out.push_back(line);
  return out;
}

bool run(const std::string& command) { return system(command.c_str()) == 0; }

int count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
  return n;
}

long long elapsedms(long long since) {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count() - since;
}

bool pause20ms() {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return true;
}

// ---- colours and screenshots ----

bool near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

Rgb glcolour(double r, double g, double b) {
  return {int(r * 255 + 0.5), int(g * 255 + 0.5), int(b * 255 + 0.5)};
}

Rgb blend(Rgb over, double a, Rgb under) {
  auto mix = [a](int o, int u) { return int(o * a + u * (1 - a) + 0.5); };
  return {mix(over.r, under.r), mix(over.g, under.g), mix(over.b, under.b)};
}

Rgb Shot::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {-1000, -1000, -1000};
  const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
  return {p[0], p[1], p[2]};
}

double diff(const Shot& a, const Shot& b, int x0, int y0, int x1, int y1) {
  long total = 0, n = 0;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) {
      Rgb p = a.at(x, y), q = b.at(x, y);
      total += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
      n += 3;
    }
  return n ? double(total) / n : 0;
}

bool same(const Shot& a, const Shot& b) {
  return a.width == b.width && a.height == b.height && a.rgb == b.rgb;
}

long mismatches(const Shot& a, const Shot& b, int tolerance) {
  return mismatches(a, b, tolerance, Rect{0, 0, std::max(a.width, b.width), std::max(a.height, b.height)});
}

long mismatches(const Shot& a, const Shot& b, int tolerance, const Rect& r) {
  long n = 0;
  for (int y = r.y0; y < r.y1; y++)
    for (int x = r.x0; x < r.x1; x++) n += !near(a.at(x, y), b.at(x, y), tolerance);
  return n;
}

int displacement(const Shot& a, const Shot& b, bool horizontal, int range, Rect area, Rect hole,
                 double* err) {
  auto inhole = [&](int x, int y) { return x >= hole.x0 && x < hole.x1 && y >= hole.y0 && y < hole.y1; };
  int best = 0;
  double besterr = 1e9;
  if (a.empty() || b.empty()) return 0;
  for (int d = -range; d <= range; d++) {
    long total = 0, n = 0;
    // Every fourth pixel of every fourth row is plenty to place a picture.
    for (int y = std::max(area.y0, 0); y < std::min(area.y1, b.height); y += 4)
      for (int x = std::max(area.x0, 0); x < std::min(area.x1, b.width); x += 4) {
        int ax = horizontal ? x + d : x, ay = horizontal ? y : y + d;
        if (ax < 0 || ay < 0 || ax >= a.width || ay >= a.height) continue;
        if (inhole(x, y) || inhole(ax, ay)) continue;
        const uint8_t* p = &a.rgb[(size_t(ay) * a.width + ax) * 3];
        const uint8_t* q = &b.rgb[(size_t(y) * b.width + x) * 3];
        total += std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]);
        n += 3;
      }
    double e = n ? double(total) / n : 1e9;
    if (e < besterr) {
      besterr = e;
      best = d;
    }
  }
  if (err) *err = besterr;
  return best;
}

void overlay(Shot& base, const Shot& colour, const Shot* alpha, int x, int y, double opacity) {
  int top = base.height - y - colour.height;
  for (int j = 0; j < colour.height; j++) {
    int by = top + j;
    if (by < 0 || by >= base.height) continue;
    for (int i = 0; i < colour.width; i++) {
      int bx = x + i;
      if (bx < 0 || bx >= base.width) continue;
      double a = opacity * (alpha ? alpha->at(i, j).b / 255.0 : 1.0);
      Rgb c = blend(colour.at(i, j), a, base.at(bx, by));
      uint8_t* q = &base.rgb[(size_t(by) * base.width + bx) * 3];
      q[0] = uint8_t(c.r);
      q[1] = uint8_t(c.g);
      q[2] = uint8_t(c.b);
    }
  }
}

Shot screenof(Rgb c) {
  Shot s;
  s.width = 1024;
  s.height = 768;
  s.rgb.resize(size_t(s.width) * s.height * 3);
  for (size_t i = 0; i < s.rgb.size(); i += 3) {
    s.rgb[i] = uint8_t(c.r);
    s.rgb[i + 1] = uint8_t(c.g);
    s.rgb[i + 2] = uint8_t(c.b);
  }
  return s;
}

bool ElementView::colourat(int x, int y, int sx, int sy, Rgb* c) const {
  *c = glcolour(0.25, 0, 0);  // the clear colour
  // Copies k = shiftcount .. 0, moved by k times the vector, the first opaque
  // and the others at a quarter.
  for (int k = shiftcount; k >= 0; k--) {
    double a = k == shiftcount ? 1.0 : 0.25;
    for (const Element& e : elements) {
      int px = x - k * sx, py = y - k * sy;
      int x1 = std::min(e.x1, e.x2), x2 = std::max(e.x1, e.x2);
      int y1 = std::min(e.y1, e.y2), y2 = std::max(e.y1, e.y2);
      bool inx = px > x1 - 3 && px < x2 + 3, iny = py > y1 - 3 && py < y2 + 3;
      bool deepx = px > x1 + 2 && px < x2 - 2, deepy = py > y1 + 2 && py < y2 - 2;
      if (inx && iny && !(deepx && deepy)) return false;
      if (!(deepx && deepy)) continue;
      Rgb fill = e.kind == 0   ? glcolour(0.25, 0.25, 0.25)
                 : e.kind == 4 ? glcolour(1, 0, 0)
                 : e.kind > 0  ? glcolour(0.75, 0.75, 0.75)
                               : glcolour(0.75 - 0.25 * k, 0.5 + 0.25 * k,
                                          e.kind == slippery ? 0.75 : 0.25);
      *c = blend(fill, a, *c);
    }
  }
  return true;
}

bool ElementView::shows(const Shot& shot, int hx, int hy, int sx, int sy) const {
  if (shot.empty()) return false;
  int camx = hx - 488, camy = hy - 354;
  for (int y = 4; y < 764; y += 8)
    for (int x = 4; x < 1020; x += 8) {
      if (x >= 480 && x < 544 && y >= 346 && y < 422) continue;  // the hero and its edges
      Rgb want;
      if (!colourat(x + camx, y + camy, sx, sy, &want)) continue;
      if (!near(shot.gl(x, y), want, 3)) return false;
    }
  return true;
}

int ElementView::findhero(const Shot& shot, int from, int to, int hy) const {
  for (int hx = from; hx <= to; hx++)
    if (shows(shot, hx, hy)) return hx;
  return -1;
}

Shot picture(const std::string& path) {
  Bitmap b(path.c_str());  // rows top first, blue, green, red first in each pixel
  Shot s;
  s.width = b.width;
  s.height = b.height;
  s.rgb.resize(size_t(b.width) * b.height * 3);
  for (int y = 0; y < b.height; y++)
    for (int x = 0; x < b.width; x++) {
      const unsigned char* p = b.pixels + size_t(y) * b.pitch + size_t(x) * b.bytespp;
      uint8_t* q = &s.rgb[(size_t(y) * b.width + x) * 3];
      q[0] = p[2];
      q[1] = p[1];
      q[2] = p[0];
    }
  return s;
}

void keepshot(const Shot& shot, const std::string& name) {
  const char* folder = getenv("TWINFOLD_SCREENSHOTS");
  if (!folder || !*folder || shot.empty()) return;
  std::string path = std::string(folder) + "/" + name + ".png";
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(f);
    FAIL() << "could not write " << path;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, shot.width, shot.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < shot.height; y++)
    png_write_row(png, const_cast<png_bytep>(&shot.rgb[size_t(y) * shot.width * 3]));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  fclose(f);
}

// ---- the test display ----

TestDisplay::TestDisplay(bool opengl) {
  // Xvfb picks a free display number itself and writes it to the pipe: tests
  // starting side by side never race for one.
  int fds[2];
  if (pipe(fds) != 0) return;
  server = fork();
  if (server < 0) return;
  if (server == 0) {
    close(fds[0]);
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    std::string fd = std::to_string(fds[1]);
    if (opengl)
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
    else
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp", "-extension", "GLX", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  std::string number;
  waitfor([&] {
    char c;
    while (read(fds[0], &c, 1) == 1) {
      if (c == '\n') return true;
      number += c;
    }
    int status;
    if (waitpid(server, &status, WNOHANG) == server) server = -1;  // it died
    return server < 0;
  }, 30000);
  close(fds[0]);
  if (server > 0 && !number.empty()) {
    name = ":" + number;
    waitfor([&] { return (connection = XOpenDisplay(name.c_str())) != nullptr; }, 30000);
  }
  if (connection) setenv("DISPLAY", name.c_str(), 1);
}

TestDisplay::~TestDisplay() {
  if (connection) XCloseDisplay(static_cast<::Display*>(connection));
  if (server > 0) {
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
  }
}

Shot TestDisplay::shot() {
  Shot s;
  ::Display* x = static_cast<::Display*>(connection);
  if (!x) return s;
  Window root = DefaultRootWindow(x);
  XWindowAttributes a;
  XGetWindowAttributes(x, root, &a);
  XImage* img = XGetImage(x, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
  if (!img) return s;
  s.width = a.width;
  s.height = a.height;
  s.rgb.resize(size_t(s.width) * s.height * 3);
  // Xvfb's 24-bit TrueColor visual: 32 bits a pixel with red, green and blue
  // in the masks; read the rows directly when it is so, pixel by pixel if not.
  bool direct = img->bits_per_pixel == 32 && img->red_mask == 0xff0000 &&
                img->green_mask == 0xff00 && img->blue_mask == 0xff && img->byte_order == LSBFirst;
  for (int y = 0; y < s.height; y++) {
    const unsigned char* row = reinterpret_cast<unsigned char*>(img->data) + size_t(y) * img->bytes_per_line;
    uint8_t* q = &s.rgb[size_t(y) * s.width * 3];
    for (int xx = 0; xx < s.width; xx++, q += 3) {
      if (direct) {
        q[0] = row[4 * xx + 2];
        q[1] = row[4 * xx + 1];
        q[2] = row[4 * xx];
      } else {
        unsigned long p = XGetPixel(img, xx, y);
        q[0] = uint8_t((p & img->red_mask) >> 16);
        q[1] = uint8_t((p & img->green_mask) >> 8);
        q[2] = uint8_t(p & img->blue_mask);
      }
    }
  }
  XDestroyImage(img);
  return s;
}

Shot TestDisplay::steady(int limit_ms) {
  // Alike for 400 ms: more than a dozen world steps, however slowly a loaded
  // machine draws them.
  Shot last = shot(), now;
  long long since = elapsedms();
  bool ok = waitfor([&] {
    now = shot();
    if (!same(now, last)) since = elapsedms();
    last = now;
    return elapsedms(since) >= 400;
  }, limit_ms);
  return ok ? now : Shot();
}

int TestDisplay::closewindows() {
  ::Display* x = static_cast<::Display*>(connection);
  if (!x) return 0;
  Atom protocols = XInternAtom(x, "WM_PROTOCOLS", False);
  Atom del = XInternAtom(x, "WM_DELETE_WINDOW", False);
  Window root = DefaultRootWindow(x), parent, *children = nullptr;
  unsigned int n = 0;
  int asked = 0;
  if (!XQueryTree(x, root, &root, &parent, &children, &n)) return 0;
  for (unsigned int i = 0; i < n; i++) {
    Atom* list = nullptr;
    int k = 0;
    bool wants = false;
    if (XGetWMProtocols(x, children[i], &list, &k)) {
      for (int j = 0; j < k; j++) wants = wants || list[j] == del;
      XFree(list);
    }
    if (!wants) continue;
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = children[i];
    e.xclient.message_type = protocols;
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(del);
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, children[i], False, NoEventMask, &e);
    asked++;
  }
  if (children) XFree(children);
  XFlush(x);
  return asked;
}

// ---- the game ----

Game::Game(const std::vector<std::string>& leaveout) {
  outpath = dir / "stdout.log";
  errpath = dir / "stderr.log";
  audiopath = dir / "audio.raw";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(gamedata(), ec)) {
    std::string name = entry.path().filename().string();
    bool skip = false;
    for (const std::string& l : leaveout) skip = skip || l == name;
    if (!skip) std::filesystem::create_symlink(entry.path(), dir / name, ec);
  }
}

Game::~Game() {
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

bool Game::hasdata() const {
  struct stat st;
  return stat((gamedata() + "/tutorial1.lvl").c_str(), &st) == 0;
}

std::string Game::write(const std::string& name, const std::string& text) {
  std::error_code ec;
  std::filesystem::remove(dir / name, ec);  // a link to the build's file goes, the build's file stays
  return dir.write(name, text);
}

void Game::start(const std::string& preload, const std::vector<std::pair<std::string, std::string>>& env) {
  pid = fork();
  if (pid != 0) return;
  if (!preload.empty()) {
    const char* already = getenv("LD_PRELOAD");
    setenv("LD_PRELOAD", (already && *already ? preload + ":" + already : preload).c_str(), 1);
  }
  for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
  if (chdir(dir.path.c_str()) != 0) _exit(127);
  freopen(outpath.c_str(), "w", stdout);
  freopen(errpath.c_str(), "w", stderr);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", audiopath.c_str(), 1);
  // Tests run side by side on two cores: one drawing thread per game.
  setenv("LP_NUM_THREADS", "1", 1);
  std::string exe = gamebinary();
  execl(exe.c_str(), "twinfold", static_cast<char*>(nullptr));
  _exit(127);
}

bool Game::exited(int* status) {
  if (pid <= 0) return true;
  if (waitpid(pid, status, WNOHANG) == pid) {
    pid = -1;
    return true;
  }
  return false;
}

bool Game::waitexit(int* status, int limit_ms) {
  return waitfor([&] { return exited(status); }, limit_ms);
}

bool Game::waitout(const std::string& what, int n, int limit_ms) {
  return waitfor([&] { return count(out(), what) >= n; }, limit_ms);
}

bool Game::waitstarted() {
  return waitfor([&] {
    std::vector<std::string> l = lines(out());
    return !l.empty() && (l.back() == "0" || l.back() == "-1");
  }, 60000);
}

// ---- input ----

bool key(const std::string& keysym) { return run("xdotool key --delay 0 " + keysym); }
bool keydown(const std::string& keysym) { return run("xdotool keydown " + keysym); }
bool keyup(const std::string& keysym) { return run("xdotool keyup " + keysym); }
bool pointer(int x, int y) {
  return run("xdotool mousemove_relative -- -4000 -4000 && xdotool mousemove_relative -- " +
             std::to_string(x) + " " + std::to_string(y));
}
bool click() { return run("xdotool click 1"); }
bool mousedown() { return run("xdotool mousedown 1"); }
bool mouseup() { return run("xdotool mouseup 1"); }
bool movemouse(int dx, int dy) {
  return run("xdotool mousemove_relative -- " + std::to_string(dx) + " " + std::to_string(dy));
}

// ---- sound ----

Samples capture(const std::string& path) {
  std::string bytes = slurp(path);
  Samples s(bytes.size() / 2);
  for (size_t i = 0; i < s.size(); i++)
    s[i] = int16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
  if (s.size() % 2) s.pop_back();
  return s;
}

Samples decodemusic(const std::string& path, size_t frames) {
  Music m;
  Samples s(frames * 2);
  if (m.load(path.c_str()) != 0) return {};
  m.audio_callback(reinterpret_cast<unsigned char*>(s.data()), int(frames * 4));
  return s;
}

Samples wavesamples(const std::string& path) {
  Wave w;
  std::vector<std::string> notes;
  readwave(path.c_str(), w, notes);
  return w.samples;
}

long findmusic(const Samples& cap, const Samples& music, size_t from, size_t n) {
  size_t frames = cap.size() / 2, mframes = music.size() / 2;
  size_t z = 0;  // the music's first sound: silence matches anywhere
  while (z < mframes && music[2 * z] == 0 && music[2 * z + 1] == 0) z++;
  if (z + n > mframes) return -1;
  // Sound effects add the same to both sides, so over the music the capture
  // less the music is the same left and right; where no effect plays (a
  // tenth of the frames at least) it is exactly the music.
  for (size_t f = from; f + z + n <= frames; f++) {
    size_t i = 0, exact = 0;
    for (; i < n; i++) {
      const int16_t* c = &cap[2 * (f + z + i)];
      const int16_t* m = &music[2 * (z + i)];
      if (int16_t(c[0] - m[0]) != int16_t(c[1] - m[1])) break;
      exact += c[0] == m[0] && c[1] == m[1];
    }
    if (i == n && exact * 10 >= n) return long(f);
  }
  return -1;
}

}  // namespace e2e
