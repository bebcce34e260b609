// Fuzz target: a WAV sound loaded from memory into two mixer slots, one
// looping, then played on channels and mixed for a stretch.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "audio/mixer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One mixer for the run; its own nine files are not there, so it starts empty.
  static Mixer* mixer = new Mixer();
  if (size == 0) return 0;  // fmemopen wants at least one byte
  for (int slot : {7, 8}) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f) return 0;
    mixer->loadstream(f, "fuzz.wav", slot, slot == 7);
    std::fclose(f);
  }
  mixer->play(7, 7);
  mixer->play(8);
  mixer->play(8);
  std::vector<unsigned char> buffer(2048 * 4);
  for (int i = 0; i < 3; i++) {
    for (size_t k = 0; k < buffer.size(); k += 2) buffer[k] = uint8_t(k * 37), buffer[k + 1] = uint8_t(k >> 3);
    mixer->audio_callback(buffer.data(), int(buffer.size()));
  }
  for (int c = 0; c < mixerchannels; c++) mixer->stop(c);
  return 0;
}
