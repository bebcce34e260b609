// The audio thread at work: SDL's dummy driver runs the callback on a thread
// of its own while the main thread plays and stops sounds and replaces the
// music the way the shell does. make test-tsan runs it under ThreadSanitizer.
#include <gtest/gtest.h>
#include <SDL.h>
#include <stdlib.h>

#include <functional>

#include "audio/mixer.h"
#include "audio/music.h"
#include "audio/wave.h"
#include "audio_fixtures.h"

using namespace audiotest;

namespace {

// Reads the channel tables the way the main thread may: under the audio lock.
bool underlock(const std::function<bool()>& test) {
  SDL_LockAudio();
  bool result = test();
  SDL_UnlockAudio();
  return result;
}

// Polls until test holds, for at most about 10 s of real time.
bool eventually(const std::function<bool()>& test) {
  for (int tries = 0; tries < 1000; tries++) {
    if (underlock(test)) return true;
    SDL_Delay(10);
  }
  return false;
}

TEST(AudioThread, SoundsAndMusicChangeWhileTheCallbackRuns) {
  TempDir dir;
  // Two pieces of music, and a sound of 1000 frames (23 ms). The first piece's
  // 224 frames do not divide the 512-frame buffer, so its read position is
  // somewhere else after every callback.
  Bytes blocks;
  for (int b = 0; b < 8; b++) blocks = joined({blocks, adxblock(300 + 40 * b, {5, -2, 7, 1, -6})});
  AdxHeader h;
  h.samples = 224;
  const std::string first = dir.file("first.adx"), second = dir.file("second.adx");
  writefile(first, adxfile(h, blocks));
  h.channels = 2;
  h.samples = 128;
  h.rate = 22050;
  writefile(second, adxfile(h, blocks));
  const std::string beep = dir.file("beep.wav");
  ASSERT_TRUE(writewave(beep.c_str(), 1, 44100, tones(1000, 44100, {{0.3, 440}})));

  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
  Mixer* mixer = new Mixer();  // the game's own sound files are not here: all empty
  mixer->loadstream(beep.c_str(), 7, true);
  mixer->loadstream(beep.c_str(), 8, false);
  soundeffects = mixer;
  gamemusic = new Music(first.c_str());
  SDL_AudioSpec want = {};
  want.freq = 44100;
  want.format = AUDIO_S16LSB;
  want.channels = 2;
  want.samples = 512;
  want.callback = audio_callback_music;
  SDL_AudioSpec got;
  ASSERT_EQ(SDL_OpenAudio(&want, &got), 0) << SDL_GetError();
  SDL_PauseAudio(0);

  for (int round = 0; round < 12; round++) {
    // Footsteps on every free channel, the shift loop on its own, a new piece
    // of music every third round, then the loop stopped again.
    int channel = mixer->play(8);
    ASSERT_GE(channel, 0) << "round " << round;
    while (mixer->play(8) >= 0) {
    }
    ASSERT_EQ(mixer->play(7, 7), 7);
    if (round % 3 == 2) playmusic(round % 2 ? first.c_str() : second.c_str());
    // Only the callback moves a channel on: each footstep plays to its end.
    EXPECT_TRUE(eventually([&] {
      for (int c = 0; c < 7; c++)
        if (mixer->channelslot[c] >= 0) return false;
      return true;
    })) << "round " << round;
    // The loop keeps going until it is stopped.
    EXPECT_TRUE(underlock([&] { return mixer->channelslot[7] == 7; }));
    mixer->stop(7);
    if (round % 4 == 1) mixer->stop(channel);
  }
  // The shift loop started and stopped over and over, as a player tapping
  // the control does, while a looping sound on channel 6 shows the callback
  // running in between: every change of the table must hold the lock.
  mixer->loadstream(beep.c_str(), 9, true);
  ASSERT_EQ(mixer->play(9, 6), 6);
  int32_t last = -1;
  int callbacks = 0;
  for (int tries = 0; tries < 10000 && callbacks < 6; tries++) {  // about 10 s at most
    mixer->play(7, 7);
    mixer->stop(7);
    int32_t now = 0;
    underlock([&] { return (now = mixer->channelpos[6]) >= 0; });
    if (now != last)
      callbacks++, last = now;
    else
      SDL_Delay(1);  // lets the audio thread have the lock
  }
  EXPECT_EQ(callbacks, 6);
  mixer->stop(6);

  // The music the shell put in last is the one being played.
  const unsigned char* start = nullptr;
  underlock([&] { return (start = gamemusic->left) != nullptr; });
  EXPECT_TRUE(eventually([&] { return gamemusic->left != start; }));

  SDL_CloseAudio();
  SDL_Quit();
  delete gamemusic;
  gamemusic = nullptr;
  soundeffects = nullptr;
  delete mixer;
}

}  // namespace
