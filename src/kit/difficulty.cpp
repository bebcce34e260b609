// Difficulty: windows, the par and wide routes, seeded runs and the report.
#include "kit/difficulty.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <numeric>

#include "kit/quietload.h"
#include "kit/wideroute.h"
#include "world/world.h"

uint64_t SeededRandom::next() {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int timingoffset(SeededRandom& r) {
  // Where a normal spread of sigma 4/3 steps crosses k + 1/2 steps, for k
  // from -4 to 3, in 65536ths: 65536 * Phi((k + 0.5) * 3 / 4).
  static const uint32_t below[8] = {284, 1992, 8539, 23189, 42347, 56997, 63544, 65252};
  const uint32_t u = static_cast<uint32_t>(r.next() >> 48);
  int k = -4;
  for (uint32_t b : below) {
    if (u < b) return k;
    k++;
  }
  return 4;
}

namespace {

// The route's changes by the step they happen, the route's order kept.
std::vector<int> bytime(const Route& r) {
  std::vector<int> order(r.changes.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return r.changes[a].at < r.changes[b].at; });
  return order;
}

// Seeded runs of stretch k. Each change in it is timed from the one before
// it, with a player's timing error on every interval: the errors add up
// along the stretch, and the changes after it follow the last one. A run
// that dies or does not get through in time goes back to the stretch's start.
int passes(const RoutePlay& play, int k, int runs, uint64_t seed) {
  const Route& base = play.route();
  const Stretch& s = play.stretches[k];
  int first = -1;
  for (size_t j = 0; j < base.changes.size() && first < 0; j++)
    if (play.stretchof[j] == k) first = static_cast<int>(j);
  SeededRandom rng(seed ^ (0xD1B54A32D192ED03ull * static_cast<uint64_t>(k + 1)));
  int passed = 0;
  Route moved = base;
  for (int run = 0; run < runs; run++) {
    moved.changes = base.changes;
    for (size_t j = first < 0 ? base.changes.size() : first; j < base.changes.size(); j++) {
      if (play.stretchof[j] != k) break;
      follow(moved, static_cast<int>(j), timingoffset(rng));
    }
    for (size_t j = first < 0 ? base.changes.size() : first; j < base.changes.size(); j++)
      moved.changes[j].at = std::max(moved.changes[j].at, s.from);  // not before the respawn
    if (play.getsthrough(moved, s.from, k)) passed++;
  }
  return passed;
}

std::string jsonstring(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\', out += c;
    else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else out += c;
  }
  return out + "\"";
}

}  // namespace

namespace {

// A route's figures: its windows, the tightest, and the seeded runs of its
// stretches with the expected deaths.
struct RouteFigures {
  std::vector<ChangeFigures> changes;
  int tightest = -1;                // into changes; -1 none
  std::vector<StretchFigures> stretches;
  int64_t deathsmilli = 0;
  bool deathsfloor = false;
  int tightestwindow() const { return tightest >= 0 ? changes[tightest].window.steps() : 0; }
};

RouteFigures measureroute(const RoutePlay& play, const World& w, const DifficultyOptions& options) {
  RouteFigures r;
  const Route& route = play.route();
  // 1. Windows, the tightest first found.
  for (size_t i = 0; i < route.changes.size(); i++) {
    ChangeFigures c{route.changes[i], play.placex[i], play.placey[i], play.stretchof[i],
                    play.window(static_cast<int>(i))};
    if (c.change.at < play.length &&
        (r.tightest < 0 || c.window.steps() < r.changes[r.tightest].window.steps()))
      r.tightest = static_cast<int>(r.changes.size());
    r.changes.push_back(c);
  }
  // 2. Seeded runs of each stretch; expected deaths by the geometric law:
  // a stretch got through by a share p of runs costs (1 - p) / p deaths.
  for (size_t k = 0; k < play.stretches.size(); k++) {
    StretchFigures f;
    f.stretch = play.stretches[k];
    if (f.stretch.checkpoint >= 0) {
      const Box* b = w.items[f.stretch.checkpoint];
      f.checkpointx = std::min(b->x1, b->x2);
      f.checkpointy = std::min(b->y1, b->y2);
    } else if (f.stretch.death) {
      f.checkpointx = f.stretch.respawnx;
      f.checkpointy = f.stretch.respawny;
    }
    f.runs = options.runs;
    f.passed = passes(play, static_cast<int>(k), options.runs, options.seed);
    if (f.passed > 0) {
      f.deathsmilli = (int64_t{f.runs - f.passed} * 1000 + f.passed / 2) / f.passed;
    } else {
      f.deathsmilli = int64_t{f.runs} * 1000;
      r.deathsfloor = true;
    }
    r.deathsmilli += f.deathsmilli;
    r.stretches.push_back(f);
  }
  return r;
}

// Whether a person fares better on a than on b: a wider tightest window,
// then fewer expected deaths, then fewer steps.
bool kinder(const RouteFigures& a, int asteps, const RouteFigures& b, int bsteps) {
  if (a.tightestwindow() != b.tightestwindow()) return a.tightestwindow() > b.tightestwindow();
  if (a.deathsmilli != b.deathsmilli) return a.deathsmilli < b.deathsmilli;
  return asteps < bsteps;
}

}  // namespace

DifficultyReport measuredifficulty(const std::string& path, const std::vector<ReplayLine>& lines,
                                   const DifficultyOptions& options) {
  DifficultyReport r;
  std::unique_ptr<World> w = loadquiet(path, r.err);
  if (!w) return r;
  WorldSnapshot fresh;
  snapshot(*w, fresh);

  // 1. The route as given: it must finish the level.
  Route route = routeof(lines);
  std::unique_ptr<RoutePlay> play(new RoutePlay(*w, route));
  if (!play->finished) {
    r.err = "the route does not finish the level (" + std::to_string(play->length) + " steps played)";
    return r;
  }
  r.par = play->length;
  std::vector<Window> parwindows;
  r.partightest = route.changes.empty() ? 0 : INT32_MAX;
  for (size_t i = 0; i < route.changes.size(); i++) {
    parwindows.push_back(play->window(static_cast<int>(i)));
    r.partightest = std::min(r.partightest, parwindows.back().steps());
  }

  // 2. The route as given, each change in turn aimed at the middle of its
  // window, kept when the whole route still finishes without a death more
  // than before. A player aims there, not at the edge the par route takes.
  if (options.widen) {
    bool changed = false;
    for (int i : bytime(route)) {
      const Window win = changed ? play->window(i) : parwindows[i];
      const int middle = (win.later - win.earlier) / 2;
      if (middle == 0) continue;
      Route candidate = play->route();
      follow(candidate, i, middle);
      restore(*w, fresh);
      std::unique_ptr<RoutePlay> next(new RoutePlay(*w, candidate));
      if (!next->finished || next->deaths > play->deaths) continue;
      play = std::move(next);
      changed = true;
      r.moved++;
    }
  }
  RouteFigures figures = measureroute(*play, *w, options);
  r.pardeathsmilli = figures.deathsmilli;
  r.pardeathsfloor = figures.deathsfloor;

  // 3. The wide route, moves from rest, measured the same way; it is the one
  // reported when a person fares better on it.
  if (options.widen) {
    restore(*w, fresh);
    const WideResult wide = wideroute(*w, WideOptions());
    r.widefound = wide.found;
    if (wide.found) {
      restore(*w, fresh);
      std::unique_ptr<RoutePlay> wideplay(new RoutePlay(*w, routeof(wide.lines)));
      if (wideplay->finished) {
        r.widesteps = wideplay->length;
        RouteFigures widefigures = measureroute(*wideplay, *w, options);
        r.widetightest = widefigures.tightestwindow();
        r.widedeathsmilli = widefigures.deathsmilli;
        if (kinder(widefigures, wideplay->length, figures, play->length)) {
          play = std::move(wideplay);
          figures = std::move(widefigures);
          r.wide = true;
          r.wholewide = wide.whole;
          r.widemoves = wide.moves;
          r.solverfrom = wide.solverfrom;
        }
      }
    }
  }
  r.routesteps = play->length;
  r.route = routelines(play->route(), 0, play->length);
  r.path = play->path;
  r.changes = std::move(figures.changes);
  r.tightest = figures.tightest;
  r.stretches = std::move(figures.stretches);
  r.deathsmilli = figures.deathsmilli;
  r.deathsfloor = figures.deathsfloor;
  r.ok = true;
  return r;
}

std::string thousandths(int64_t milli) {
  char buf[32];
  const int64_t a = milli < 0 ? -milli : milli;
  std::snprintf(buf, sizeof buf, "%s%" PRId64 ".%03" PRId64, milli < 0 ? "-" : "", a / 1000,
                a % 1000);
  return buf;
}

namespace {

int64_t sharemilli(const StretchFigures& f) {
  return f.runs ? (int64_t{f.passed} * 1000 + f.runs / 2) / f.runs : 0;
}

std::string sidetext(int steps, bool open) {
  return std::to_string(steps) + (open ? "+" : "");
}

std::string stepsword(int n) { return std::to_string(n) + (n == 1 ? " step" : " steps"); }

}  // namespace

std::string difficultytext(const std::string& name, const DifficultyReport& r,
                           const DifficultyOptions& options) {
  std::string out;
  char buf[512];
  const std::string measured =
      !r.wide ? "the par route (" + std::to_string(r.moved) +
                    " key changes moved to the middle of their windows)"
      : r.wholewide ? "the wide route (" + std::to_string(r.widemoves) + " moves from rest)"
                    : "the wide route (" + std::to_string(r.widemoves) +
                          " moves from rest, the solver's route from step " +
                          std::to_string(r.solverfrom) + ")";
  std::snprintf(buf, sizeof buf,
                "%s: par %d steps (tightest window %s, expected deaths %s%s); wide route %s\n"
                "measured: %s, %d steps\n",
                name.c_str(), r.par, stepsword(r.partightest).c_str(),
                r.pardeathsfloor ? "at least " : "", thousandths(r.pardeathsmilli).c_str(),
                r.widefound ? stepsword(r.widesteps).c_str() : "not found", measured.c_str(),
                r.routesteps);
  out += buf;
  if (r.tightest >= 0) {
    // The five tightest, tightest first, earliest first among equals.
    std::vector<int> order(r.changes.size());
    std::iota(order.begin(), order.end(), 0);
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](int i) { return r.changes[i].change.at >= r.routesteps; }),
                order.end());
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return r.changes[a].window.steps() < r.changes[b].window.steps();
    });
    out += "tightest windows (steps the key change may come earlier / later, + where no failure "
           "bounds it):\n";
    for (size_t n = 0; n < order.size() && n < 5; n++) {
      const ChangeFigures& c = r.changes[order[n]];
      std::snprintf(buf, sizeof buf, "  %-9s %-13s at step %5d, hero at (%d, %d): -%s / +%s\n",
                    stepsword(c.window.steps()).c_str(), changename(c.change), c.change.at, c.x,
                    c.y, sidetext(c.window.earlier, c.window.openearly).c_str(),
                    sidetext(c.window.later, c.window.openlate).c_str());
      out += buf;
    }
  }
  std::snprintf(buf, sizeof buf, "stretches (%d seeded runs each, seed %llu):\n", options.runs,
                static_cast<unsigned long long>(options.seed));
  out += buf;
  for (size_t k = 0; k < r.stretches.size(); k++) {
    const StretchFigures& f = r.stretches[k];
    const std::string at =
        "(" + std::to_string(f.checkpointx) + ", " + std::to_string(f.checkpointy) + ")";
    const std::string goal = f.stretch.checkpoint >= 0 ? "checkpoint at " + at
                             : f.stretch.death     ? "the route's death, respawn at " + at
                                                   : std::string("the end");
    std::snprintf(buf, sizeof buf,
                  "  %zu: steps %d-%d to %s: %d of %d got through (%s), expected deaths %s%s\n",
                  k + 1, f.stretch.from, f.stretch.to, goal.c_str(), f.passed, f.runs,
                  thousandths(sharemilli(f)).c_str(), f.passed ? "" : "at least ",
                  thousandths(f.deathsmilli).c_str());
    out += buf;
  }
  out += "expected deaths before finishing: " + std::string(r.deathsfloor ? "at least " : "") +
         thousandths(r.deathsmilli) + "\n";
  return out;
}

std::string difficultyjson(const std::string& name, const DifficultyReport& r,
                           const DifficultyOptions& options) {
  std::string out = "{\"level\": " + jsonstring(name);
  out += ", \"par\": " + std::to_string(r.par);
  out += ", \"route_steps\": " + std::to_string(r.routesteps);
  out += ", \"par_tightest_window\": " + std::to_string(r.partightest);
  out += ", \"par_expected_deaths\": " + thousandths(r.pardeathsmilli);
  out += std::string(", \"par_expected_deaths_floor\": ") + (r.pardeathsfloor ? "true" : "false");
  out += std::string(", \"measured\": ") +
         (!r.wide ? "\"par\"" : r.wholewide ? "\"wide\"" : "\"wide+solver\"");
  out += std::string(", \"wide_found\": ") + (r.widefound ? "true" : "false");
  out += ", \"wide_steps\": " + std::to_string(r.widesteps);
  out += ", \"wide_tightest_window\": " + std::to_string(r.widetightest);
  out += ", \"wide_expected_deaths\": " + thousandths(r.widedeathsmilli);
  out += ", \"wide_moves\": " + std::to_string(r.widemoves);
  out += ", \"solver_from\": " + std::to_string(r.solverfrom);
  out += ", \"runs\": " + std::to_string(options.runs);
  out += ", \"seed\": " + std::to_string(options.seed);
  out += ", \"expected_deaths\": " + thousandths(r.deathsmilli);
  out += std::string(", \"expected_deaths_floor\": ") + (r.deathsfloor ? "true" : "false");
  out += ", \"tightest_window\": " +
         std::to_string(r.tightest >= 0 ? r.changes[r.tightest].window.steps() : 0);
  auto change = [&](const ChangeFigures& c) {
    return "{\"kind\": " + jsonstring(changename(c.change)) +
           ", \"step\": " + std::to_string(c.change.at) + ", \"x\": " + std::to_string(c.x) +
           ", \"y\": " + std::to_string(c.y) + ", \"stretch\": " + std::to_string(c.stretch) +
           ", \"window\": " + std::to_string(c.window.steps()) +
           ", \"earlier\": " + std::to_string(c.window.earlier) +
           ", \"later\": " + std::to_string(c.window.later) +
           ", \"open_earlier\": " + (c.window.openearly ? "true" : "false") +
           ", \"open_later\": " + (c.window.openlate ? "true" : "false") + "}";
  };
  out += ", \"tightest\": " + (r.tightest >= 0 ? change(r.changes[r.tightest]) : "null");
  out += ", \"stretches\": [";
  for (size_t k = 0; k < r.stretches.size(); k++) {
    const StretchFigures& f = r.stretches[k];
    out += k ? ", " : "";
    out += "{\"from\": " + std::to_string(f.stretch.from) + ", \"to\": " +
           std::to_string(f.stretch.to) + ", \"goal\": " +
           (f.stretch.checkpoint >= 0 ? "\"checkpoint\""
            : f.stretch.death       ? "\"death\""
                                    : "\"end\"") +
           ", \"x\": " + std::to_string(f.checkpointx) + ", \"y\": " +
           std::to_string(f.checkpointy) + ", \"runs\": " + std::to_string(f.runs) +
           ", \"passed\": " + std::to_string(f.passed) +
           ", \"pass_share\": " + thousandths(sharemilli(f)) +
           ", \"expected_deaths\": " + thousandths(f.deathsmilli) + "}";
  }
  out += "], \"changes\": [";
  for (size_t i = 0; i < r.changes.size(); i++) out += (i ? ", " : "") + change(r.changes[i]);
  out += "], \"path\": [";
  for (size_t p = 0; p < r.path.size(); p++) {
    out += p ? ", [" : "[";
    for (size_t q = 0; q < r.path[p].size(); q++)
      out += (q ? ", [" : "[") + std::to_string(r.path[p][q].first) + ", " +
             std::to_string(r.path[p][q].second) + "]";
    out += "]";
  }
  out += "]}\n";
  return out;
}
