// STUB: replaced by the mixer.
#include "audio/mixer.h"
#include "audio/music.h"
Music* gamemusic = nullptr;
Mixer* soundeffects = nullptr;
Mixer::Mixer() : streams(nullptr) { for (int c = 0; c < mixerchannels; c++) { channelslot[c] = -1; channelpos[c] = 0; } }
Mixer::~Mixer() {}
void Mixer::loadstream(const char*, int, bool) {}
int Mixer::play(int) { return -1; }
int Mixer::play(int, int channel) { return channel; }
void Mixer::stop(int) {}
void Mixer::audio_callback(void*, int) {}
void audio_callback_music(void*, unsigned char* stream, int len) { if (gamemusic) gamemusic->audio_callback(stream, len); if (soundeffects) soundeffects->audio_callback(stream, len); }
