// The music: a small text score parsed into voices, patterns and a song order,
// rendered by simple synthesis voices into a seamless stereo loop.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "content/rng.h"
#include "sound.h"

namespace {

const float twopi = 6.2831853f;

bool to_float(const std::string& s, float& v) {
  char* end = nullptr;
  v = std::strtof(s.c_str(), &end);
  return !s.empty() && end && *end == 0 && std::isfinite(v);
}

// Band-limited steps for the square and saw (polyBLEP), so high notes do not alias.
float blep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

// The waves, in the order of the names a score may use.
enum Wave { sine, triangle, square, saw, kick, snare, hat };
const char* wavenames[] = {"sine", "triangle", "square", "saw", "kick", "snare", "hat"};

Wave wave_of(const std::string& name) {
  int i = 0;
  while (i < hat && name != wavenames[i]) i++;
  return Wave(i);
}

bool is_drum(const std::string& name) { return wave_of(name) >= kick; }

// One oscillator sample at phase t (0 to 1) with phase step dt.
float oscillator(Wave wave, float t, float dt) {
  if (wave == sine) return std::sin(twopi * t);
  if (wave == triangle) return t < 0.5f ? 4 * t - 1 : 3 - 4 * t;
  if (wave == square) {
    float u = t + 0.5f;
    if (u >= 1) u -= 1;
    return (t < 0.5f ? 1.0f : -1.0f) + blep(t, dt) - blep(u, dt);
  }
  return 2 * t - 1 - blep(t, dt);  // saw
}

struct Note {
  int voice;
  float hz;        // 0 for a drum hit
  float velocity;  // 0 to 1
  long start;      // frame
  long length;     // frames held
};

// The envelope level at time t of a note held for `held` seconds.
float envelope(const Voice& v, float t, float held) {
  auto level = [&](float u) {
    if (u < v.attack) return u / v.attack;
    u -= v.attack;
    if (u < v.decay) return 1 - (1 - v.sustain) * u / v.decay;
    return v.sustain;
  };
  if (t < held) return level(t);
  float r = (t - held) / v.release;
  return r >= 1 ? 0 : level(held) * (1 - r);
}

// Adds one note into the looping buffer (interleaved stereo of `frames` frames).
void play_note(const Score& s, const Note& n, std::vector<float>& out, long frames, unsigned long long seed) {
  const Voice& v = s.voices[n.voice];
  float gl = std::sqrt(0.5f * (1 - v.pan)), gr = std::sqrt(0.5f * (1 + v.pan));
  float held = float(n.length) / samplerate;
  const Wave wave = wave_of(v.wave);
  long total = wave >= kick ? long(samplerate * (wave == kick ? 0.35f : wave == snare ? 0.25f : 0.08f))
                            : n.length + long(v.release * samplerate);
  Rng rng(seed, Rng::xorshift);
  float k = v.cutoff > 0 ? 1 - std::exp(-twopi * v.cutoff / samplerate) : 1;
  float lp1 = 0, lp2 = 0, hp = 0, ph1 = 0, ph2 = 0;
  float dt1 = n.hz / samplerate, dt2 = dt1 * std::pow(2.0f, v.detune / 1200);
  for (long i = 0; i < total; i++) {
    float t = float(i) / samplerate, x;
    if (wave == kick) {
      ph1 += (48 + 110 * std::exp(-t / 0.03f)) / samplerate;
      x = std::sin(twopi * ph1) * std::exp(-t / 0.12f) * std::min(1.0f, t / 0.001f);
    } else if (wave == snare) {
      float noise = rng.unit() * 2 - 1;
      hp += 0.15f * (noise - hp);
      ph1 += 185.0f / samplerate;
      x = (noise - hp) * std::exp(-t / 0.07f) + 0.5f * std::sin(twopi * ph1) * std::exp(-t / 0.04f);
    } else if (wave == hat) {
      float noise = rng.unit() * 2 - 1;
      hp += 0.5f * (noise - hp);
      x = (noise - hp) * std::exp(-t / 0.018f);
    } else {
      x = oscillator(wave, ph1, dt1);
      if (v.detune != 0) x = 0.6f * (x + oscillator(wave, ph2, dt2));
      ph1 += dt1;
      ph2 += dt2;
      ph1 -= std::floor(ph1);
      ph2 -= std::floor(ph2);
      x *= envelope(v, t, held);
    }
    lp1 += k * (x - lp1);
    lp2 += k * (lp1 - lp2);
    float y = lp2 * v.volume * n.velocity;
    long f = (n.start + i) % frames;  // what rings past the end sounds at the start
    out[2 * f] += y * gl;
    out[2 * f + 1] += y * gr;
  }
}

}  // namespace

float note_frequency(const std::string& name) {
  static const int semis[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G from C
  if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return 0;
  int semi = semis[name[0] - 'A'];
  size_t i = 1;
  if (name[i] == '#') semi++, i++;
  else if (name[i] == 'b') semi--, i++;
  if (i + 1 != name.size() || name[i] < '0' || name[i] > '8') return 0;
  int midi = 12 * (name[i] - '0' + 1) + semi;
  return 440.0f * std::pow(2.0f, (midi - 69) / 12.0f);
}

bool parse_score(const std::string& text, const std::string& filename, Score& score, std::string& error) {
  std::istringstream in(text);
  std::string line;
  int n = 0;
  auto fail = [&](const std::string& what) {
    error = filename + ":" + std::to_string(n) + ": " + what;
    return false;
  };
  auto find_voice = [&](const std::string& name) {
    for (size_t i = 0; i < score.voices.size(); i++)
      if (score.voices[i].name == name) return int(i);
    return -1;
  };
  Pattern* open = nullptr;
  while (std::getline(in, line)) {
    n++;
    size_t semi = line.find(';');
    if (semi != std::string::npos) line.erase(semi);
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    if (w.empty()) continue;
    const std::string& cmd = w[0];
    if (open) {
      // Inside a pattern: lane lines "VOICE | tokens", closed by "end".
      if (cmd == "end" && w.size() == 1) {
        if (open->lanes.empty()) return fail("pattern \"" + open->name + "\" has no lanes");
        open = nullptr;
        continue;
      }
      int v = find_voice(cmd);
      if (v < 0) return fail("unknown voice \"" + cmd + "\" (or a missing \"end\")");
      if (w.size() < 2 || w[1] != "|") return fail("expected \"VOICE | steps\"");
      Lane lane{v, {}};
      for (size_t i = 2; i < w.size(); i++)
        if (w[i] != "|") lane.tokens.push_back(w[i]);  // bars may be marked with "|"
      if (int(lane.tokens.size()) != open->length)
        return fail("lane has " + std::to_string(lane.tokens.size()) + " steps, pattern \"" + open->name +
                    "\" has " + std::to_string(open->length));
      bool drum = is_drum(score.voices[v].wave);
      for (const std::string& t : lane.tokens) {
        bool ok = t == "-" || t == "." || (drum ? t == "x" || t == "X" : note_frequency(t) > 0);
        if (!ok) return fail("bad step \"" + t + "\" for voice \"" + cmd + "\"");
      }
      open->lanes.push_back(lane);
      continue;
    }
    float x;
    if (cmd == "tempo" || cmd == "peak") {
      if (w.size() != 2 || !to_float(w[1], x) || x <= 0 || x > (cmd == "tempo" ? 400 : 32767))
        return fail("expected \"" + cmd + " NUMBER\" in range");
      (cmd == "tempo" ? score.tempo : score.peak) = x;
    } else if (cmd == "steps") {
      if (w.size() != 2 || !to_float(w[1], x) || x < 1 || x > 16 || x != std::floor(x))
        return fail("expected \"steps N\", 1 to 16 steps per beat");
      score.steps = int(x);
    } else if (cmd == "echo") {
      float t, fb, m;
      if (w.size() != 4 || !to_float(w[1], t) || !to_float(w[2], fb) || !to_float(w[3], m) || t <= 0 ||
          fb < 0 || fb >= 1 || m < 0 || m > 1)
        return fail("expected \"echo BEATS FEEDBACK MIX\" (feedback below 1, mix 0 to 1)");
      score.echotime = t, score.echofeedback = fb, score.echomix = m;
    } else if (cmd == "voice") {
      if (w.size() < 3) return fail("expected \"voice NAME WAVE key=value...\"");
      if (std::none_of(std::begin(wavenames), std::end(wavenames), [&](const char* s) { return w[2] == s; }))
        return fail("unknown wave \"" + w[2] + "\"");
      if (find_voice(w[1]) >= 0) return fail("voice \"" + w[1] + "\" defined twice");
      Voice v;
      v.name = w[1];
      v.wave = w[2];
      for (size_t i = 3; i < w.size(); i++) {
        size_t eq = w[i].find('=');
        std::string key = w[i].substr(0, eq);
        if (eq == std::string::npos || !to_float(w[i].substr(eq + 1), x))
          return fail("expected key=number, got \"" + w[i] + "\"");
        if (key == "a" && x > 0) v.attack = x;
        else if (key == "d" && x > 0) v.decay = x;
        else if (key == "s" && x >= 0 && x <= 1) v.sustain = x;
        else if (key == "r" && x > 0) v.release = x;
        else if (key == "vol" && x >= 0 && x <= 1) v.volume = x;
        else if (key == "pan" && x >= -1 && x <= 1) v.pan = x;
        else if (key == "cut" && x >= 0 && x < samplerate / 2) v.cutoff = x;
        else if (key == "detune" && std::fabs(x) <= 100) v.detune = x;
        else return fail("bad setting \"" + w[i] + "\"");
      }
      score.voices.push_back(v);
    } else if (cmd == "pattern") {
      if (w.size() != 3 || !to_float(w[2], x) || x < 1 || x > 1024 || x != std::floor(x))
        return fail("expected \"pattern NAME STEPS\"");
      score.patterns.push_back({w[1], int(x), {}});
      open = &score.patterns.back();
    } else if (cmd == "song") {
      for (size_t i = 1; i < w.size(); i++) {
        auto it = std::find_if(score.patterns.begin(), score.patterns.end(),
                               [&](const Pattern& p) { return p.name == w[i]; });
        if (it == score.patterns.end()) return fail("unknown pattern \"" + w[i] + "\" in song");
        score.song.push_back(int(it - score.patterns.begin()));
      }
    } else {
      return fail("unknown line \"" + cmd + "\"");
    }
  }
  if (open) return fail("pattern \"" + open->name + "\" has no \"end\"");
  if (score.song.empty()) return fail("no \"song\" line");
  return true;
}

int frames_per_step(const Score& score) {
  float exact = samplerate * 60.0f / (score.tempo * score.steps);
  return std::max(32, int(std::lround(exact / 32)) * 32);
}

std::vector<float> render_score(const Score& score) {
  // 1. The notes: each lane's note runs on through its "-" steps.
  const long step = frames_per_step(score);
  std::vector<Note> notes;
  long at = 0;
  for (int p : score.song) {
    const Pattern& pat = score.patterns[p];
    for (const Lane& lane : pat.lanes) {
      for (int i = 0; i < pat.length; i++) {
        const std::string& t = lane.tokens[i];
        if (t == "-" || t == ".") continue;
        int len = 1;
        while (i + len < pat.length && lane.tokens[i + len] == "-") len++;
        float vel = t == "x" ? 0.6f : 1.0f;
        notes.push_back({lane.voice, note_frequency(t), vel, at + i * step, len * step});
      }
    }
    at += pat.length * step;
  }
  // 2. The dry mix, around the loop.
  const long frames = at;
  std::vector<float> dry(2 * frames, 0.0f);
  for (size_t i = 0; i < notes.size(); i++) play_note(score, notes[i], dry, frames, 9001 + i);
  // 3. A ping-pong echo, also around the loop: each repeat is the dry signal one
  // delay further back, alternating sides.
  std::vector<float> out = dry;
  if (score.echomix > 0) {
    long delay = long(score.echotime * 60 / score.tempo * samplerate);
    float gain = score.echomix;
    for (int tap = 1; tap <= 8 && gain > 0.01f; tap++, gain *= score.echofeedback) {
      long shift = tap * delay % frames;
      for (long f = 0; f < frames; f++) {
        long from = (f - shift + frames) % frames;
        float l = dry[2 * from], r = dry[2 * from + 1];
        if (tap % 2) std::swap(l, r);
        out[2 * f] += gain * l;
        out[2 * f + 1] += gain * r;
      }
    }
  }
  return out;
}
