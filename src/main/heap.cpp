// The heap on 2 MiB pages. Every picture the game shows becomes textures, tens
// of megabytes of memory new to the process, and the system fills new memory
// a page at a time, one fault a page. On virtual machines a fault can cost
// more than filling the page, so that start-up spends more time there than in
// decoding. The heap is made to grow in one large step whose pages the system
// is asked to fill 2 MiB at a time; big blocks come from it too, rather than
// from a mapping of their own. The advice changes no byte the game reads.
#include "main/heap.h"

#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__) && defined(__linux__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

// A build for measuring what this saves (bench/without.cmake) leaves it out.
void hugepageheap() {
#if defined(__GLIBC__) && defined(__linux__) && defined(MADV_HUGEPAGE) && \
    !defined(TWINFOLD_WITHOUT_HUGEPAGES)
  constexpr size_t hugepage = size_t(2) << 20;
  constexpr int step = 96 << 20;         // the menu's textures and pictures, with room
  mallopt(M_MMAP_THRESHOLD, 64 << 20);   // blocks up to 64 MiB from the heap
  mallopt(M_TRIM_THRESHOLD, 256 << 20);  // and the heap kept once grown
  mallopt(M_TOP_PAD, step);              // grown a step at a time
  const uintptr_t top = reinterpret_cast<uintptr_t>(sbrk(0));
  void* volatile grow = malloc(1 << 20);
  const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0));
  free(grow);
  const uintptr_t first = (top + hugepage - 1) & ~uintptr_t(hugepage - 1);
  // A heap that did not move (another allocator, or no room) is left alone.
  if (top != uintptr_t(-1) && end > first)
    madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#endif
}
