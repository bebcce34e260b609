// Mixer: the game's sound effects, held decoded in memory and mixed into the
// audio output on top of the music; plus the audio callback and its globals.
#pragma once
#include <cstdint>
#include <cstdio>

class Music;

constexpr int mixerslots = 20;
constexpr int mixerchannels = 8;
// The game's sounds by slot, and the channel kept for the shift's loop.
constexpr int footstepslots = 7;  // slots 0..6: the footsteps, one picked at random
constexpr int shiftslot = 7;      // the looping plane-shift sound
constexpr int pickupslot = 8;
constexpr int shiftchannel = 7;   // play(slot) hands out the channels below it

class Mixer {
 public:
  // Slot tables: filled by the constructor before the device opens, then read-only.
  int16_t** streams;             // samples of each slot, null for an empty slot; owned
  int32_t lengths[mixerslots];   // samples in each slot; 1 for an empty slot
  unsigned char loops[mixerslots];  // 1: the slot repeats from its start
  // Channel tables: the audio thread reads and advances them; the main thread
  // changes them only under SDL_LockAudio (play, stop).
  int32_t channelslot[mixerchannels];  // slot playing, -1 idle
  int32_t channelpos[mixerchannels];   // next sample to play

  // Loads the nine sound files from "audio/"; a file that cannot be used
  // leaves its slot empty.
  Mixer();
  ~Mixer();
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  // Main thread. A file that cannot be used leaves the slot empty, with one
  // line on standard error.
  void loadstream(const char* name, int slot, bool loop);
  // The same from an open WAV file (borrowed; null as a file that cannot be
  // opened); name only names it in messages.
  void loadstream(FILE* f, const char* name, int slot, bool loop);
  bool playable(int slot) const;    // slot in range and loaded
  // play and stop refuse (-1, or nothing) a slot that is not playable or a
  // channel out of range; they take the audio lock themselves.
  int play(int slot);               // first idle channel of 0..6, or -1
  int play(int slot, int channel);  // that channel, whatever it played
  void stop(int channel);
  void audio_callback(void* stream, int len);
};

// Shared with the audio thread. gamemusic is replaced only with the device
// paused and the audio lock held; soundeffects is set once at start-up.
extern Music* gamemusic;
extern Mixer* soundeffects;

// Replaces gamemusic with a Music for path, as the shell does: with the device
// paused and the audio lock held, so the callback never sees a half-built or
// freed stream. Main thread; a file that cannot be played ends the program.
void playmusic(const char* path);

// The callback registered with SDL: music first, then the effects on top.
void audio_callback_music(void* userdata, unsigned char* stream, int len);
