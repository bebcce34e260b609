// Speed of one world step on a level of a few hundred elements, with the hero
// walking, running and jumping along it.
#include <benchmark/benchmark.h>

#include "world/world.h"

namespace {

constexpr int32_t courselength = 30000;

// A course of ground pieces, slopes, ledges, walls, spikes out of reach and
// pickups: about 100 pieces of 300 pixels, each with three solid elements
// and one item, plus a floor under all of it.
void buildcourse(World& w) {
  for (Box* b : w.boxes) delete b;
  for (Box* b : w.items) delete b;
  w.boxes.clear();
  w.items.clear();
  w.boxes.push_back(new Box(0, 0, courselength, 250));
  for (int32_t x = 300; x < courselength - 300; x += 300) {
    const int32_t piece = x / 300;
    w.boxes.push_back(new Box(x, 250, x + 150, 250 + piece % 7, false));
    w.boxes.push_back(new Box(x + 250, 250, x + 150, 262, true));  // rising to the right
    w.boxes.push_back(new Box(x + 40, 380, x + 200, 390, false, true, false));
    w.items.push_back(new Box(x + 100, 300, x + 132, 332, piece % 3 == 0 ? kind_checkpoint
                                                                          : kind_shift));
  }
  w.items.push_back(new Box(0, -1000, courselength, -900, kind_spikes));
}

void BM_WorldStep(benchmark::State& state) {
  World w(false);
  buildcourse(w);
  stepmemory = {0, 54, false};
  w.setkeys(0, 1);
  int64_t n = 0, laps = 0;
  for (auto _ : state) {
    // Jump every 40 steps; back to the start at the far end.
    w.setjump(n % 40 == 0 ? 1 : 0);
    w.step();
    if (w.x > courselength - 400) {
      w.x = 500;
      w.y = 400;
      laps++;
    }
    n++;
  }
  benchmark::DoNotOptimize(w.x);
  state.SetItemsProcessed(state.iterations());
  state.counters["laps"] = static_cast<double>(laps);
  state.counters["elements"] = static_cast<double>(w.boxes.size() + w.items.size());
}
BENCHMARK(BM_WorldStep);

}  // namespace

BENCHMARK_MAIN();
