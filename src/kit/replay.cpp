// Replays: reading, writing and playing scripted input as a player would.
#include "kit/replay.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "world/world.h"

namespace {

// A whole word as a decimal integer within lo..hi, sign allowed.
bool parseint(const std::string& word, long lo, long hi, int* out) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

std::string where(const std::string& name, int lineno) {
  return name + ":" + std::to_string(lineno) + ": ";
}

}  // namespace

bool readreplay(std::istream& in, const std::string& name, std::vector<ReplayLine>& out,
                std::string& err) {
  std::string text;
  int lineno = 0;
  while (std::getline(in, text)) {
    lineno++;
    const size_t hash = text.find('#');
    if (hash != std::string::npos) text.erase(hash);
    std::istringstream words(text);
    std::string first;
    if (!(words >> first)) continue;
    ReplayLine r{0, false, false, false, false, 0, 0, lineno};
    if (first == "SHIFT") {
      r.shift = true;
      std::string a, b;
      words >> a >> b;
      if (!parseint(a, -shiftlimit, shiftlimit, &r.dx) ||
          !parseint(b, -shiftlimit, shiftlimit, &r.dy)) {
        err = where(name, lineno) + "SHIFT needs two numbers within -" +
              std::to_string(shiftlimit) + ".." + std::to_string(shiftlimit);
        return false;
      }
      // The shell drags the vector two pixels at a time.
      if (r.dx % 2 != 0 || r.dy % 2 != 0) {
        err = where(name, lineno) + "shift vector " + a + " " + b +
              " cannot be dragged: both numbers must be even";
        return false;
      }
    } else {
      std::string keys;
      if (!parseint(first, 1, replaymaxsteps, &r.steps) || !(words >> keys)) {
        err = where(name, lineno) + "expected STEPS KEYS (steps 1.." +
              std::to_string(replaymaxsteps) + ") or SHIFT DX DY";
        return false;
      }
      for (char c : keys) {
        if (c == 'L') r.left = true;
        else if (c == 'R') r.right = true;
        else if (c == 'J') r.jump = true;
        else if (c != '-') {
          err = where(name, lineno) + "unknown key '" + std::string(1, c) +
                "' (keys are L, R, J or -)";
          return false;
        }
      }
    }
    std::string rest;
    if (words >> rest) {
      err = where(name, lineno) + "unexpected '" + rest + "'";
      return false;
    }
    out.push_back(r);
  }
  return true;
}

bool readreplayfile(const std::string& path, std::vector<ReplayLine>& out, std::string& err) {
  std::ifstream in(path);
  if (!in) {
    err = path + ": cannot be opened";
    return false;
  }
  return readreplay(in, path, out, err);
}

std::string replaytext(const std::vector<ReplayLine>& lines,
                       const std::vector<std::string>& comments) {
  std::string text;
  for (const std::string& c : comments) text += "# " + c + "\n";
  for (const ReplayLine& r : lines) {
    if (r.shift) {
      text += "SHIFT " + std::to_string(r.dx) + " " + std::to_string(r.dy) + "\n";
      continue;
    }
    std::string keys;
    if (r.left) keys += 'L';
    if (r.right) keys += 'R';
    if (r.jump) keys += 'J';
    if (keys.empty()) keys = "-";
    text += std::to_string(r.steps) + " " + keys + "\n";
  }
  return text;
}

bool writereplayfile(const std::string& path, const std::vector<ReplayLine>& lines,
                     const std::vector<std::string>& comments, std::string& err) {
  const std::string text = replaytext(lines, comments);
  const std::string temp = path + ".part";
  std::FILE* f = std::fopen(temp.c_str(), "w");
  if (!f) {
    err = path + ": cannot be written";
    return false;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    err = path + ": cannot be written";
    return false;
  }
  return true;
}

bool playershift(World& w, int dx, int dy) {
  // Without the world's leave the vector stays at 0 and the release does nothing.
  if (!startshift(w)) return false;
  const int32_t x = w.x, y = w.y;
  w.shiftx = dx;
  w.shifty = dy;
  releaseshift(w);
  return w.x != x || w.y != y;
}

ReplayResult playreplay(World& w, const std::vector<ReplayLine>& lines,
                        const std::function<void(const World&, const ReplayEvent&)>& watch) {
  ReplayResult result{false, 0, 0, 0, 0, 0};
  for (const ReplayLine& r : lines) {
    result.lineno = r.lineno;
    if (r.shift) {
      ReplayEvent e{ReplayEvent::shifted, result.steps, 0, r.lineno, shiftcanstart(w), false,
                    w.x, w.y};
      e.carried = playershift(w, r.dx, r.dy);
      if (!e.started) result.idleshifts++;
      if (e.carried) result.shifts++;
      if (watch) watch(w, e);
      continue;
    }
    w.setkeys(r.left ? 1 : 0, r.right ? 1 : 0);
    if (r.jump) w.setjump(1);
    for (int i = 0; i < r.steps; i++) {
      w.step();
      result.steps++;
      const int state = w.getState();
      if (watch) watch(w, ReplayEvent{ReplayEvent::stepped, result.steps, state, r.lineno,
                                      false, false, 0, 0});
      if (state == state_finished) {
        result.finished = true;
        return result;
      }
      if (state >= state_viewmaster) {
        // The mid-game page: Resume lets go of both arrow keys.
        result.pages++;
        w.setkeys(0, 0);
        if (watch) watch(w, ReplayEvent{ReplayEvent::paged, result.steps, state, r.lineno,
                                        false, false, 0, 0});
      }
    }
    w.setjump(0);
  }
  return result;
}
