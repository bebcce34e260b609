// The world's costs and how they grow: one step and one collidey on courses of
// 10 to 10,000 elements, loading level files of 10 to 10,000 commands, and a
// searched step (restore, step, save) on each shipped level.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "kit/snapshot.h"
#include "world/world.h"

namespace {

constexpr int32_t piecewidth = 300;

// A course of ground pieces, slopes, ledges and pickups: each 300-pixel piece
// has three solid elements and one item, plus a floor under all of it and
// spikes far below, so `elements` counts boxes and items together.
void buildcourse(World& w, int elements) {
  for (Box* b : w.boxes) delete b;
  for (Box* b : w.items) delete b;
  w.boxes.clear();
  w.items.clear();
  const int pieces = elements > 2 ? (elements - 2) / 4 : 0;
  const int32_t length = (pieces + 2) * piecewidth;
  w.boxes.push_back(new Box(0, 0, length, 250));
  for (int piece = 1; piece <= pieces; piece++) {
    const int32_t x = piece * piecewidth;
    w.boxes.push_back(new Box(x, 250, x + 150, 250 + piece % 7, false));
    w.boxes.push_back(new Box(x + 250, 250, x + 150, 262, true));  // rising to the right
    w.boxes.push_back(new Box(x + 40, 380, x + 200, 390, false, true, false));
    w.items.push_back(new Box(x + 100, 300, x + 132, 332, piece % 3 == 0 ? kind_checkpoint
                                                                          : kind_shift));
  }
  // Pad to the exact count with floor pieces under the course.
  while (w.boxes.size() + w.items.size() + 1 < size_t(elements))
    w.boxes.push_back(new Box(0, -400, length, -300));
  w.items.push_back(new Box(0, -1000, length, -900, kind_spikes));
}

// One step with the hero walking, running and jumping along the course; back
// to the start near the far end.
void BM_Step(benchmark::State& state) {
  World w(false);
  buildcourse(w, int(state.range(0)));
  const int32_t far = std::max<int32_t>(w.boxes[0]->x2 - 400, 900);
  w.stepmemory = {0, 54, false};
  w.setkeys(0, 1);
  int64_t n = 0;
  for (auto _ : state) {
    w.setjump(n % 40 == 0 ? 1 : 0);
    w.step();
    if (w.x > far) {
      w.x = 500;
      w.y = 400;
    }
    n++;
  }
  benchmark::DoNotOptimize(w.x);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Step)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000);

// One downward sweep over the floor, as the step's probes make them.
void BM_Collidey(benchmark::State& state) {
  World w(false);
  buildcourse(w, int(state.range(0)));
  int x = 500;
  for (auto _ : state) {
    benchmark::DoNotOptimize(w.collidey(x, 260, 259, true));
    x = x == 500 ? 520 : 500;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Collidey)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000);

// A level file of n commands: ground, slopes, ledges, pickups and spikes.
std::string writelevel(const std::string& dir, int n) {
  std::string path = dir + "/level" + std::to_string(n) + ".lvl";
  FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return path;
  std::fprintf(f, "setStartPosition(100, 300);\nsetNextLevel(\"next.lvl\");\n");
  for (int i = 2; i < n; i++) {
    const int x = (i / 5) * 300;
    switch (i % 5) {
      case 0: std::fprintf(f, "buildGround(%d, %d, 0, 250);\n", x, x + 300); break;
      case 1: std::fprintf(f, "buildTriangle(%d, %d, 250, 262);\n", x + 250, x + 150); break;
      case 2: std::fprintf(f, "buildLedge(%d, %d, 380, 390);\n", x + 40, x + 200); break;
      case 3: std::fprintf(f, "addShiftPickup(%d, 316);\n", x + 116); break;
      default: std::fprintf(f, "buildSpikes(%d, %d, -1000, -900);\n", x, x + 300); break;
    }
  }
  std::fclose(f);
  return path;
}

// Loading with the game's loader; its log lines (one per command) go to
// /dev/null for the measurement, as they cost what writing them costs.
void BM_LoadLevel(benchmark::State& state) {
  char pattern[] = "/tmp/twinfold-bench-XXXXXX";
  const std::string dir = mkdtemp(pattern) ? pattern : ".";
  const std::string path = writelevel(dir, int(state.range(0)));
  std::ofstream log("/dev/null");

  for (auto _ : state) {
    World w(nopictures);
    w.loadfile(path.c_str(), &log);
    benchmark::DoNotOptimize(w.boxes.size());
  }
  std::filesystem::remove_all(dir);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadLevel)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// What a search pays for each world step it tries on a shipped level: put a
// saved state back, set the keys, step, save the new state.
void BM_SearchStep(benchmark::State& state, const char* name) {
  const std::string path = std::string(TWINFOLD_SOURCE_DIR) + "/data/levels/" + name;
  World w(nopictures);
  w.loadfile(path.c_str(), nullptr);
  WorldSnapshot start, next;
  snapshot(w, start);
  int64_t n = 0;
  for (auto _ : state) {
    restore(w, n % 64 == 0 ? start : next);
    w.setkeys(n % 3 == 0, n % 3 == 1);
    w.setjump(n % 7 == 0);
    w.step();
    snapshot(w, next);
    n++;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_SearchStep, tutorial1, "tutorial1.lvl");
BENCHMARK_CAPTURE(BM_SearchStep, finale, "finale.lvl");

}  // namespace
