// Mixer: sound slots loaded from WAV files, channels started and stopped by the
// game, and the audio callback that puts the music and the effects together.
#include "audio/mixer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>

#include "audio/music.h"
#include "audio/wave.h"

Music* gamemusic = nullptr;
Mixer* soundeffects = nullptr;

static constexpr int freechannels = shiftchannel;  // 0..6 for play(slot); 7 is the shift loop's

Mixer::Mixer() {
  // 1. Empty slots.
  streams = new int16_t*[mixerslots];
  for (int s = 0; s < mixerslots; s++) {
    streams[s] = nullptr;
    lengths[s] = 1;
    loops[s] = 0;
  }
  // 2. Idle channels.
  for (int c = 0; c < mixerchannels; c++) {
    channelslot[c] = -1;
    channelpos[c] = 0;
  }
  // 3. The sounds: footsteps, the plane-shift loop, the pickup.
  char name[64];
  for (int s = 0; s < footstepslots; s++) {
    std::snprintf(name, sizeof name, "audio/Foot_Concrete_%02d.wav", s + 1);
    loadstream(name, s, false);
  }
  loadstream("audio/twinfold.wav", shiftslot, true);
  loadstream("audio/pickup.wav", pickupslot, false);
}

// The game never destroys its mixer; tests and tools do, so it frees its slots.
Mixer::~Mixer() {
  for (int s = 0; s < mixerslots; s++) delete[] streams[s];
  delete[] streams;
}

void Mixer::loadstream(const char* name, int slot, bool loop) {
  FILE* f = std::fopen(name, "rb");
  loadstream(f, name, slot, loop);
  if (f) std::fclose(f);
}

void Mixer::loadstream(FILE* f, const char* name, int slot, bool loop) {
  if (slot < 0 || slot >= mixerslots) {
    std::fprintf(stderr, "sound %s: slot %d out of range\n", name, slot);
    return;
  }
  Wave w;
  std::vector<std::string> notes;
  std::string why = readwave(f, w, notes);
  if (w.founddata) std::printf("wave size: %d\n", w.datasize);
  for (const std::string& note : notes) std::fprintf(stderr, "sound %s: %s\n", name, note.c_str());

  int16_t* samples = nullptr;
  int32_t length = 1;
  if (why.empty() && w.channels != 1)
    std::fprintf(stderr, "sound %s: %d channels, played as they come\n", name, w.channels);
  if (why.empty() && w.rate != 44100)
    std::fprintf(stderr, "sound %s: %d Hz, played at 44100 Hz\n", name, w.rate);
  if (why.empty()) {
    length = int32_t(w.samples.size());
    samples = new int16_t[w.samples.size()];
    std::copy(w.samples.begin(), w.samples.end(), samples);
  } else {
    std::fprintf(stderr, "sound %s: %s, slot %d left empty\n", name, why.c_str(), slot);
  }
  // Channels still on the old sound must not read the new one's bounds.
  SDL_LockAudio();
  int16_t* old = streams[slot];
  streams[slot] = samples;
  lengths[slot] = length;
  loops[slot] = samples != nullptr && loop ? 1 : 0;
  for (int c = 0; c < mixerchannels; c++)
    if (channelslot[c] == slot) channelslot[c] = -1;
  SDL_UnlockAudio();
  delete[] old;
  if (samples != nullptr) std::printf("wave loaded\n");
}

bool Mixer::playable(int slot) const {
  return slot >= 0 && slot < mixerslots && streams[slot] != nullptr;
}

int Mixer::play(int slot) {
  if (!playable(slot)) return -1;
  int found = -1;
  SDL_LockAudio();
  for (int c = 0; c < freechannels && found < 0; c++) {
    if (channelslot[c] < 0) {
      channelpos[c] = 0;
      channelslot[c] = slot;
      found = c;
    }
  }
  SDL_UnlockAudio();
  return found;
}

int Mixer::play(int slot, int channel) {
  if (!playable(slot) || channel < 0 || channel >= mixerchannels) return -1;
  SDL_LockAudio();
  channelpos[channel] = 0;
  channelslot[channel] = slot;
  SDL_UnlockAudio();
  return channel;
}

void Mixer::stop(int channel) {
  if (channel < 0 || channel >= mixerchannels) return;
  SDL_LockAudio();
  channelslot[channel] = -1;
  channelpos[channel] = -1;
  SDL_UnlockAudio();
}

static int clamp16(int32_t v) { return v > 32767 ? 32767 : v < -32768 ? -32768 : v; }
static int32_t get16(const unsigned char* p) { return int16_t(uint16_t(p[0] | p[1] << 8)); }
static void put16(unsigned char* p, int v) {
  p[0] = static_cast<unsigned char>(v & 0xff);
  p[1] = static_cast<unsigned char>((v >> 8) & 0xff);
}

void Mixer::audio_callback(void* stream, int len) {
  unsigned char* out = static_cast<unsigned char*>(stream);
  for (int i = 0; i + 4 <= len; i += 4) {
    // 1. Sum every busy channel wide; each moves on one sample per frame.
    int32_t sum = 0;
    for (int c = 0; c < mixerchannels; c++) {
      int slot = channelslot[c];
      if (slot < 0) continue;
      int32_t pos = channelpos[c];
      if (!playable(slot) || pos < 0 || pos >= lengths[slot]) {
        channelslot[c] = -1;  // tables set by hand to something unplayable
        continue;
      }
      sum += streams[slot][pos];
      if (pos + 1 != lengths[slot]) {
        channelpos[c] = pos + 1;
      } else if (loops[slot] == 1) {
        channelpos[c] = 0;
      } else {
        channelpos[c] = pos + 1;
        channelslot[c] = -1;
      }
    }
    // 2. Add onto the music and clamp once: overlaps saturate instead of wrapping.
    put16(out + i, clamp16(get16(out + i) + sum));
    put16(out + i + 2, clamp16(get16(out + i + 2) + sum));
  }
}

void playmusic(const char* path) {
  SDL_PauseAudio(1);
  SDL_LockAudio();
  delete gamemusic;
  gamemusic = nullptr;
  gamemusic = new Music(path);
  SDL_UnlockAudio();
  SDL_PauseAudio(0);
}

void audio_callback_music(void* userdata, unsigned char* stream, int len) {
  (void)userdata;
  if (gamemusic != nullptr) gamemusic->audio_callback(stream, len);
  if (soundeffects != nullptr) soundeffects->audio_callback(stream, len);
}
