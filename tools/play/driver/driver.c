/* driver: a preload library that plays the real, unchanged game from a play
 * script (the level makers' guide gives its form). Loaded with LD_PRELOAD it
 * wraps five calls:
 *
 *   SDL_GL_SwapBuffers  counts frames; moves the virtual clock; saves the
 *                       frame's picture where the script asks (snap)
 *   SDL_GetTicks        the virtual clock, so a run does the same on a
 *                       loaded machine as on an idle one
 *   SDL_PollEvent       the script's events of the frame first, then SDL's
 *   glGenTextures, glDeleteTextures   textures made and deleted
 *   fopen               a level file opened: the load is reported at the
 *                       next swap, with live textures and resident memory
 *
 * Environment: TWINFOLD_SCRIPT the script (without it every call is passed
 * on unchanged); TWINFOLD_REPORT a file for the report lines
 *   load FRAME NAME textures LIVE rss KB
 *   end FRAME textures LIVE
 * and TWINFOLD_SPEED N: 1 paces the virtual clock to the wall clock, N times
 * as fast for N > 1; 0 (the default) runs as fast as frames are drawn.
 *
 * Soak mode, TWINFOLD_SOAK="SEED SECONDS" in place of a script: random input
 * from a generator seeded with SEED (keys, mouse drags and clicks, Escape,
 * the menu's buttons but Quit), one step a frame, for SECONDS of wall-clock
 * time; then a quit request. The report gets "frame N loads L" every 300
 * frames, so a watcher sees a hang, and "soak SEED frames N loads L" at the end.
 * With a script as well, the script plays first (a level's replay, say, so
 * the soak reaches the levels behind it) and the random input takes over
 * after its last line, for SECONDS from then. */
#define _GNU_SOURCE
#include <SDL.h>
#include <SDL_opengl.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "kit/scriptkeys.h"

typedef struct {
  int frame;
  enum { clockline, downline, upline, clickline, snapline } kind;
  int value, x, y;
  char path[256];
} Line;

static Line* lines;
static int count, next;        /* script lines, and the first not yet handed out */
static int frame;              /* buffer swaps so far */
static Uint32 now, clockms;    /* the virtual clock and its pace */
static int speed;
static struct timespec started;
static FILE* report;
static long livetextures;
static char pendingload[256];  /* a level opened since the last swap */
static SDL_Event queued[3];    /* a click's three events, handed out in turn */
static int queuedcount, queuedat;
static int active;             /* a script or the soak drives the game */
static int soaking;            /* soak mode: random input instead of a script */
static unsigned long long soakseed, random_state;
static long soakseconds, loads;
static int randomframe;        /* the frame whose random events were handed out */
static int scriptend;          /* soak: the frame of the script's last line */
static struct timespec randomstart;  /* soak: when the random input began */
static int held[10];           /* soak: keys down, by their index in soakkeys */

static void* real(const char* name) {
  void* f = dlsym(RTLD_NEXT, name);
  if (f == NULL) {
    fprintf(stderr, "twinfold driver: %s not found\n", name);
    exit(1);
  }
  return f;
}

static int keycode(const char* name) {
  for (size_t i = 0; i < scriptkeycount; i++)
    if (strcmp(name, scriptkeys[i].name) == 0) return scriptkeys[i].sdl;
  return -1;
}

/* A wrong script ends the run at once: a half-played game proves nothing. */
static void bad(const char* path, int lineno, const char* what) {
  fprintf(stderr, "%s:%d: %s\n", path, lineno, what);
  exit(1);
}

static void readscript(const char* path) {
  FILE* f = fopen(path, "r");
  if (f == NULL) {
    fprintf(stderr, "%s: cannot be opened\n", path);
    exit(1);
  }
  char text[512];
  int lineno = 0, room = 0, last = 0;
  while (fgets(text, sizeof text, f) != NULL) {
    lineno++;
    if (text[0] == '#' || text[0] == '\n') continue;
    if (count == room) {
      room = room ? room * 2 : 1024;
      lines = realloc(lines, (size_t)room * sizeof *lines);
      if (lines == NULL) bad(path, lineno, "out of memory");
    }
    Line* l = &lines[count];
    memset(l, 0, sizeof *l);
    char word[16], arg[256];
    int n = sscanf(text, "%d %15s %255s %d", &l->frame, word, arg, &l->y);
    if (n < 2 || l->frame < 1 || l->frame < last) bad(path, lineno, "expected FRAME WORD ... in frame order");
    last = l->frame;
    if (strcmp(word, "clock") == 0 && n == 3) {
      l->kind = clockline;
      l->value = atoi(arg);
    } else if ((strcmp(word, "down") == 0 || strcmp(word, "up") == 0) && n == 3) {
      l->kind = word[0] == 'd' ? downline : upline;
      l->value = keycode(arg);
      if (l->value < 0) bad(path, lineno, "unknown key");
    } else if (strcmp(word, "click") == 0 && n == 4) {
      l->kind = clickline;
      l->x = atoi(arg);
    } else if (strcmp(word, "snap") == 0 && n == 3) {
      l->kind = snapline;
      snprintf(l->path, sizeof l->path, "%s", arg);
    } else {
      bad(path, lineno, "unknown line");
    }
    count++;
  }
  fclose(f);
}

static unsigned long long randomnext(void) {
  /* xorshift64*: small, fast and the same everywhere */
  random_state ^= random_state >> 12;
  random_state ^= random_state << 25;
  random_state ^= random_state >> 27;
  return random_state * 2685821657736338717ULL;
}
static int randombelow(int n) { return (int)(randomnext() >> 33) % n; }

__attribute__((constructor)) static void start(void) {
  const char* script = getenv("TWINFOLD_SCRIPT");
  const char* soak = getenv("TWINFOLD_SOAK");
  if (soak != NULL && sscanf(soak, "%llu %ld", &soakseed, &soakseconds) == 2) {
    soaking = 1;
    random_state = soakseed * 0x9E3779B97F4A7C15ULL + 1;
    clockms = 30;
    if (script != NULL && *script != '\0') {
      readscript(script);
      clockms = 0;  /* the script's clock stands still until it says otherwise */
      scriptend = count > 0 ? lines[count - 1].frame : 0;
    }
  } else if (script == NULL || *script == '\0') {
    return;
  } else {
    readscript(script);
  }
  active = 1;
  const char* path = getenv("TWINFOLD_REPORT");
  if (path != NULL && *path != '\0') {
    report = fopen(path, "w");
    if (report != NULL) setvbuf(report, NULL, _IOLBF, 0);
  }
  const char* pace = getenv("TWINFOLD_SPEED");
  speed = pace ? atoi(pace) : 0;
  clock_gettime(CLOCK_MONOTONIC, &started);
}

static long residentkb(void) {
  long pages = 0, resident = 0;
  FILE* f = fopen("/proc/self/statm", "r");
  if (f == NULL) return -1;
  if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
  fclose(f);
  return resident < 0 ? -1 : resident * 4;
}

/* The picture about to be shown, bottom row first as OpenGL reads it. */
static void snap(const char* path) {
  enum { w = 1024, h = 768 };
  static unsigned char pixels[w * h * 3];
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, pixels);
  FILE* f = fopen(path, "wb");
  if (f == NULL) return;
  fprintf(f, "P6\n%d %d\n255\n", w, h);
  for (int y = h - 1; y >= 0; y--) fwrite(pixels + (size_t)y * w * 3, 1, (size_t)w * 3, f);
  fclose(f);
}

static void pace(void) {
  if (speed <= 0) return;
  struct timespec due = started;
  long long ns = (long long)now * 1000000LL / speed;
  due.tv_sec += (time_t)(ns / 1000000000LL);
  due.tv_nsec += (long)(ns % 1000000000LL);
  if (due.tv_nsec >= 1000000000L) {
    due.tv_sec++;
    due.tv_nsec -= 1000000000L;
  }
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, NULL);
}

void SDL_GL_SwapBuffers(void) {
  static void (*swap)(void);
  if (swap == NULL) swap = (void (*)(void))real("SDL_GL_SwapBuffers");
  if (!active) {
    swap();
    return;
  }
  /* 1. The frame about to be shown; 2. what it tells; 3. the clock moves. */
  frame++;
  for (int i = next; i < count && lines[i].frame == frame; i++)
    if (lines[i].kind == snapline) snap(lines[i].path);
  if (pendingload[0] != '\0' && report != NULL)
    fprintf(report, "load %d %s textures %ld rss %ld\n", frame - 1, pendingload, livetextures,
            residentkb());
  if (pendingload[0] != '\0') loads++;
  pendingload[0] = '\0';
  if (soaking && frame % 300 == 0 && report != NULL)
    fprintf(report, "frame %d loads %ld\n", frame, loads);
  for (int i = next; i < count && lines[i].frame == frame; i++)
    if (lines[i].kind == clockline) clockms = (Uint32)lines[i].value;
  if (soaking && frame == scriptend + 1) {
    clockms = 30;  /* random play: a step a frame */
    clock_gettime(CLOCK_MONOTONIC, &randomstart);
  }
  now += clockms;
  pace();
  swap();
}

Uint32 SDL_GetTicks(void) {
  static Uint32 (*ticks)(void);
  if (!active) {
    if (ticks == NULL) ticks = (Uint32(*)(void))real("SDL_GetTicks");
    return ticks();
  }
  return now;
}

/* Soak: a few random events a frame, as an erratic player gives them. */
static const SDLKey soakkeys[] = {SDLK_LEFT, SDLK_RIGHT, SDLK_UP, SDLK_SPACE, SDLK_w,
                                  SDLK_a,    SDLK_s,     SDLK_d,  SDLK_ESCAPE};
static int randomevent(SDL_Event* e) {
  if (randomframe == frame || e == NULL) return 0;
  if (randombelow(3) == 0) {
    randomframe = frame;  /* this frame's input is over */
    return 0;
  }
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  memset(e, 0, sizeof *e);
  if (t.tv_sec - randomstart.tv_sec >= soakseconds) {
    e->type = SDL_QUIT;
    randomframe = frame;
    return 1;
  }
  const int what = randombelow(100);
  if (what < 70) {
    /* A key: Escape rarely (a trip to the menu), the others often. */
    int k = randombelow(what < 2 ? 9 : 8);
    e->type = held[k] ? SDL_KEYUP : SDL_KEYDOWN;
    e->key.state = held[k] ? SDL_RELEASED : SDL_PRESSED;
    e->key.keysym.sym = soakkeys[k];
    held[k] = !held[k];
  } else if (what < 85) {
    e->type = SDL_MOUSEMOTION;
    e->motion.x = (Uint16)randombelow(1024);
    e->motion.y = (Uint16)randombelow(768);
  } else {
    /* A button: anywhere but on Quit (x 600..856, y 404..468 from the top),
     * often on New game, Resume or Credits; up after down. */
    static int buttondown;
    static const int targets[][2] = {{728, 136}, {728, 236}, {728, 336}};
    int x = randombelow(1024), y = randombelow(768);
    if (randombelow(2)) {
      x = targets[randombelow(3)][0];
      y = targets[randombelow(3)][1];
    }
    if (x > 590 && x < 866 && y > 394 && y < 478) y = 100;
    e->type = buttondown ? SDL_MOUSEBUTTONUP : SDL_MOUSEBUTTONDOWN;
    e->button.state = buttondown ? SDL_RELEASED : SDL_PRESSED;
    e->button.button = SDL_BUTTON_LEFT;
    e->button.x = (Uint16)x;
    e->button.y = (Uint16)y;
    buttondown = !buttondown;
  }
  return 1;
}

int SDL_PollEvent(SDL_Event* e) {
  static int (*poll)(SDL_Event*);
  if (poll == NULL) poll = (int (*)(SDL_Event*))real("SDL_PollEvent");
  if (!active) return poll(e);
  if (queuedat < queuedcount) {
    if (e) *e = queued[queuedat];
    if (e) queuedat++;
    return 1;
  }
  if (soaking && frame > scriptend) return randomevent(e) ? 1 : poll(e);
  while (next < count && lines[next].frame < frame) next++;
  while (next < count && lines[next].frame == frame) {
    Line* l = &lines[next];
    if (l->kind == clockline || l->kind == snapline) {
      next++;
      continue;
    }
    if (e == NULL) return 1;
    next++;
    memset(e, 0, sizeof *e);
    if (l->kind == clickline) {
      SDL_Event m;
      memset(&m, 0, sizeof m);
      m.type = SDL_MOUSEBUTTONDOWN;
      m.button.button = SDL_BUTTON_LEFT;
      m.button.state = SDL_PRESSED;
      m.button.x = (Uint16)l->x;
      m.button.y = (Uint16)l->y;
      queued[0] = m;
      m.type = SDL_MOUSEBUTTONUP;
      m.button.state = SDL_RELEASED;
      queued[1] = m;
      queuedcount = 2;
      queuedat = 0;
      e->type = SDL_MOUSEMOTION;
      e->motion.x = (Uint16)l->x;
      e->motion.y = (Uint16)l->y;
      return 1;
    }
    e->type = l->kind == downline ? SDL_KEYDOWN : SDL_KEYUP;
    e->key.state = l->kind == downline ? SDL_PRESSED : SDL_RELEASED;
    e->key.keysym.sym = (SDLKey)l->value;
    return 1;
  }
  return poll(e);
}

void glGenTextures(GLsizei n, GLuint* names) {
  static void (*gen)(GLsizei, GLuint*);
  if (gen == NULL) gen = (void (*)(GLsizei, GLuint*))real("glGenTextures");
  gen(n, names);
  livetextures += n;
}

void glDeleteTextures(GLsizei n, const GLuint* names) {
  static void (*del)(GLsizei, const GLuint*);
  if (del == NULL) del = (void (*)(GLsizei, const GLuint*))real("glDeleteTextures");
  for (GLsizei i = 0; i < n; i++)
    if (names[i] != 0) livetextures--;
  del(n, names);
}

FILE* fopen(const char* path, const char* mode) {
  static FILE* (*open)(const char*, const char*);
  if (open == NULL) open = (FILE * (*)(const char*, const char*)) real("fopen");
  size_t n = path ? strlen(path) : 0;
  if (active && n > 4 && strcmp(path + n - 4, ".lvl") == 0)
    snprintf(pendingload, sizeof pendingload, "%s", path);
  return open(path, mode);
}

__attribute__((destructor)) static void finish(void) {
  if (report == NULL) return;
  if (soaking) fprintf(report, "soak %llu frames %d loads %ld\n", soakseed, frame, loads);
  fprintf(report, "end %d textures %ld\n", frame, livetextures);
}
