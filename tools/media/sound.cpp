// The WAV writer and the sound effects: footsteps, the plane-shift loop and the pickup chime.
#include "sound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/wave.h"
#include "content/rng.h"

namespace {

const float twopi = 6.2831853f;

// A one-pole low-pass: each call moves the state a fraction of the way to the input.
struct Lowpass {
  float k, state = 0;
  explicit Lowpass(float hz) : k(1 - std::exp(-twopi * hz / samplerate)) {}
  float operator()(float x) { return state += k * (x - state); }
};

float seconds(int frames) { return float(frames) / samplerate; }

// One footstep: a heel strike (a low thump and a burst of filtered grit) and a
// softer toe scuff; each variant has its own filter, decay and timing.
std::vector<float> footstep(int variant) {
  Rng rng(1000 + variant * 7919, Rng::xorshift);
  float heelcut = 700 + 180 * variant + 300 * rng.unit();
  float heeldecay = 0.018f + 0.004f * (variant % 4) + 0.01f * rng.unit();
  float thumphz = 70 + 9 * ((variant * 3) % 7);
  float toedelay = 0.045f + 0.006f * ((variant * 5) % 7);
  float toegain = 0.3f + 0.05f * ((variant * 2) % 5);
  float toecut = heelcut * (1.4f + 0.15f * (variant % 3));
  int n = int(samplerate * (0.15f + 0.01f * variant));
  std::vector<float> out(n);
  Lowpass heel1(heelcut), heel2(heelcut), heelhp(140), toe1(toecut), toe2(toecut), toehp(300);
  float phase = 0;
  for (int i = 0; i < n; i++) {
    float t = seconds(i);
    float attack = std::min(1.0f, t / 0.0015f);
    float noise = rng.unit() * 2 - 1;
    float grit = heel2(heel1(noise));
    grit -= heelhp(grit);
    float heel = grit * attack * std::exp(-t / heeldecay) * 2.5f;
    phase += twopi * thumphz * (1 + 0.6f * std::exp(-t / 0.01f)) / samplerate;
    float thump = std::sin(phase) * attack * std::exp(-t / 0.028f) * 0.6f;
    float toe = 0;
    float tt = t - toedelay;
    float scuff = toe2(toe1(noise));
    scuff -= toehp(scuff);
    if (tt > 0) toe = scuff * std::min(1.0f, tt / 0.003f) * std::exp(-tt / (heeldecay * 0.8f)) * 2.5f * toegain;
    float tail = std::min(1.0f, (n - 1 - i) / (0.005f * samplerate));  // end on silence
    out[i] = (heel + thump + toe) * tail;
  }
  return out;
}

// The plane-shift hum: every partial and modulation makes a whole number of cycles
// in the loop, and the air noise is filtered around the loop, so the last sample
// runs on into the first.
std::vector<float> shiftloop() {
  const int n = samplerate * 3 / 2;  // 1.5 s
  auto cyc = [&](int cycles, int i) { return twopi * float((long long)cycles * i % n) / n; };
  std::vector<float> out(n);
  for (int i = 0; i < n; i++) {
    float wob = 0.5f + 0.5f * std::sin(cyc(3, i));         // 2 Hz swell
    float drone = 0.45f * std::sin(cyc(165, i) + 0.8f * std::sin(cyc(330, i)))  // 110 Hz, a little FM
                  + 0.25f * std::sin(cyc(247, i))          // a fifth-ish above
                  + 0.18f * std::sin(cyc(331, i));         // beating against the octave
    float shimmer = 0.12f * std::sin(cyc(1320, i) + 2.0f * std::sin(cyc(6, i))) * (0.4f + 0.6f * wob);
    out[i] = drone * (0.75f + 0.25f * wob) + shimmer;
  }
  // Air: noise filtered twice round the loop so the filter's state at the end
  // is the state it starts with.
  Rng rng(77, Rng::xorshift);
  std::vector<float> noise(n);
  for (float& v : noise) v = rng.unit() * 2 - 1;
  Lowpass lp(900), hp(200);
  std::vector<float> air(n);
  for (int pass = 0; pass < 2; pass++) {
    for (int i = 0; i < n; i++) {
      float v = lp(noise[i]);
      air[i] = v - hp(v);
    }
  }
  for (int i = 0; i < n; i++) out[i] += 0.5f * air[i] * (0.5f + 0.5f * std::sin(cyc(3, i) + 1.5f));
  return out;
}

// The pickup chime: two quick bell notes, a fifth apart, with slightly
// inharmonic partials that die faster the higher they are.
std::vector<float> pickup() {
  const int n = int(samplerate * 0.9f);
  const float notes[2][2] = {{0, 1318.5f}, {0.075f, 1975.5f}};  // start in seconds, Hz (E6, B6)
  const float partials[4][3] = {{1, 1, 0.30f}, {2.0f, 0.4f, 0.16f}, {3.02f, 0.22f, 0.09f}, {4.17f, 0.12f, 0.05f}};
  std::vector<float> out(n);
  for (auto& note : notes) {
    for (auto& p : partials) {
      for (int i = int(note[0] * samplerate); i < n; i++) {
        float t = seconds(i) - note[0];
        float env = std::min(1.0f, t / 0.002f) * std::exp(-t / p[2]);
        out[i] += p[1] * env * std::sin(twopi * note[1] * p[0] * t);
      }
    }
  }
  for (int i = 0; i < n; i++) out[i] *= std::min(1.0f, (n - 1 - i) / (0.02f * samplerate));
  return out;
}

}  // namespace

std::vector<short> to_pcm(const std::vector<float>& samples, float peak) {
  float most = 0;
  for (float v : samples) most = std::max(most, std::fabs(v));
  float scale = most > 0 ? peak / most : 0;
  std::vector<short> out(samples.size());
  for (size_t i = 0; i < samples.size(); i++) {
    long v = std::lround(samples[i] * scale);
    out[i] = (short)std::max(-32768L, std::min(32767L, v));
  }
  return out;
}

bool write_wav(const std::string& path, const std::vector<short>& samples, int channels) {
  if (writewave(path.c_str(), channels, samplerate, samples)) return true;
  std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return false;
}

bool make_effects(const std::string& dir) {
  // Peaks below the music's so that a few effects can sound over it together.
  for (int v = 0; v < 7; v++) {
    char name[64];
    std::snprintf(name, sizeof name, "/Foot_Concrete_%02d.wav", v + 1);
    if (!write_wav(dir + name, to_pcm(footstep(v), 9000), 1)) return false;
  }
  return write_wav(dir + "/twinfold.wav", to_pcm(shiftloop(), 8000), 1) &&
         write_wav(dir + "/pickup.wav", to_pcm(pickup(), 10000), 1);
}
