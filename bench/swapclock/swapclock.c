/* swapclock: a preload library that times a program's buffer swaps without
 * changing the program. Loaded with LD_PRELOAD, it wraps SDL_GL_SwapBuffers
 * and keeps, in the file named by TWINFOLD_SWAPCLOCK, four lines that any
 * reader may look at while the program runs:
 *
 *   swaps N     buffer swaps so far
 *   last T      wall-clock time of the latest swap, ns since the epoch
 *   first T     time of the first swap (0 until it happens)
 *   loaded T    time this library was loaded, before the program's main
 *
 * The file is a shared mapping rewritten in place after every swap, so a
 * reader costs the program nothing and needs no signal. Without the variable
 * the wrapper only passes the call on. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

enum { pagesize = 4096 };

static char* page;             /* the mapped file, or NULL */
static unsigned long long swaps, first, loaded;
static void (*realswap)(void);

static unsigned long long now(void) {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return (unsigned long long)t.tv_sec * 1000000000ull + (unsigned long long)t.tv_nsec;
}

/* Fixed-width numbers, so every rewrite covers the one before. */
static void publish(unsigned long long last) {
  if (page == NULL) return;
  snprintf(page, pagesize, "swaps %020llu\nlast %020llu\nfirst %020llu\nloaded %020llu\n", swaps,
           last, first, loaded);
}

__attribute__((constructor)) static void start(void) {
  loaded = now();
  const char* path = getenv("TWINFOLD_SWAPCLOCK");
  if (path == NULL || *path == '\0') return;
  int fd = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (ftruncate(fd, pagesize) == 0) {
    void* p = mmap(NULL, pagesize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p != MAP_FAILED) page = p;
  }
  close(fd);
  publish(0);
}

void SDL_GL_SwapBuffers(void) {
  if (realswap == NULL) *(void**)&realswap = dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
  if (realswap != NULL) realswap();
  unsigned long long t = now();
  swaps++;
  if (first == 0) first = t;
  publish(t);
}
