// twinfold-adx: makes the game's ADX music from WAV files, and plays an ADX
// file through the game's own decoder into a raw file.
//
//   twinfold-adx encode IN.wav OUT.adx [--loop START END]
//   twinfold-adx decode IN.adx OUT.raw FRAMES
//
// encode takes 16-bit PCM, mono or stereo, at any rate (the game plays it
// back at 44100 Hz by sample-and-hold). The game always restarts a piece at
// its first block, so a loop cannot have an intro: with --loop only the
// frames START to END are written, and the loop fields mark all of them, so
// the piece plays from START to END and straight back to START. END moves
// back to the last whole 32-frame block after START (a note says so).
// Without --loop the whole input is written, padded with silence to whole
// blocks, and loops the same way.
//
// decode runs the game's music callback in 4096-frame buffers and writes
// exactly FRAMES frames of what the sound device would get: signed 16-bit
// little-endian stereo. A file the game refuses ends it as the game does.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/adx.h"
#include "content/adxencode.h"
#include "audio/music.h"
#include "audio/wave.h"
#include "main/heap.h"

static const char usage[] =
    "usage: twinfold-adx encode IN.wav OUT.adx [--loop START END]\n"
    "       twinfold-adx decode IN.adx OUT.raw FRAMES\n"
    "encode makes ADX music from 16-bit PCM WAV, looping over the frames START to\n"
    "END; decode writes FRAMES frames of what the game's decoder plays as signed\n"
    "16-bit stereo.\n"
    "Exit status: 0 written; 1 an input that cannot be read or used, a loop point\n"
    "or FRAMES that is not a whole number, or an output that cannot be written;\n"
    "2 a wrong command line. decode ends on a file the game refuses as the game\n"
    "does, with its audio crash code (1, 2 or 3).\n";

static int badusage() {
  std::fputs(usage, stderr);
  return 2;
}

static int fail(const std::string& message) {
  std::fprintf(stderr, "twinfold-adx: %s\n", message.c_str());
  return 1;
}

// A whole non-negative number, or -1.
static long long number(const char* text) {
  char* stop = nullptr;
  if (*text < '0' || *text > '9') return -1;
  long long v = std::strtoll(text, &stop, 10);
  return *stop == '\0' ? v : -1;
}

static int encode(const char* in, const char* out, bool loop, long long start, long long end) {
  Wave w;
  std::vector<std::string> notes;
  std::string why = readwave(in, w, notes);
  for (const std::string& note : notes) std::fprintf(stderr, "twinfold-adx: %s: %s\n", in, note.c_str());
  if (!why.empty()) return fail(std::string(in) + ": " + why);
  if (w.channels != 1 && w.channels != 2) return fail(std::string(in) + ": " + std::to_string(w.channels) + " channels; only 1 or 2");
  if (w.rate <= 0) return fail(std::string(in) + ": no sample rate");
  long long frames = (long long)(w.samples.size() / size_t(w.channels));
  std::vector<int16_t> samples = w.samples;
  if (loop) {
    if (start < 0 || end > frames || start >= end)
      return fail("loop " + std::to_string(start) + ".." + std::to_string(end) + " is not inside the " +
                  std::to_string(frames) + " frames of " + in);
    long long whole = start + (end - start) / adxblocksamples * adxblocksamples;
    if (whole == start) return fail("loop shorter than one 32-frame block");
    if (whole != end)
      std::fprintf(stderr, "twinfold-adx: loop end moved from %lld to %lld to close on a whole block\n", end, whole);
    samples.assign(w.samples.begin() + start * w.channels, w.samples.begin() + whole * w.channels);
  }
  std::vector<unsigned char> adx = adxencode(samples, w.channels, w.rate, loop);
  FILE* f = std::fopen(out, "wb");
  if (f == nullptr) return fail(std::string(out) + ": cannot be written");
  bool ok = std::fwrite(adx.data(), 1, adx.size(), f) == adx.size();
  ok = std::fclose(f) == 0 && ok;
  return ok ? 0 : fail(std::string(out) + ": write failed");
}

static int decode(const char* in, const char* out, long long frames) {
  Music music(in);  // exits with the game's code and message
  FILE* f = std::fopen(out, "wb");
  if (f == nullptr) return fail(std::string(out) + ": cannot be written");
  // A system call per megabyte, not per buffer. (Without a buffer of its own
  // the C library keeps its small one, whatever size is asked for.)
  static char outbuffer[1 << 20];
  std::setvbuf(f, outbuffer, _IOFBF, sizeof outbuffer);
  const int buffer = 4096;
  std::vector<unsigned char> stream(buffer * 4);
  bool ok = true;
  while (frames > 0 && ok) {
    music.audio_callback(stream.data(), int(stream.size()));
    size_t n = size_t(frames < buffer ? frames : buffer);
    ok = std::fwrite(stream.data(), 4, n, f) == n;
    frames -= (long long)n;
  }
  ok = std::fclose(f) == 0 && ok;
  return ok ? 0 : fail(std::string(out) + ": write failed");
}

int main(int argc, char** argv) {
  hugepageheap();  // a whole song is read into memory, as the game reads it
  if (argc >= 2 && std::strcmp(argv[1], "encode") == 0) {
    if (argc == 4) return encode(argv[2], argv[3], false, 0, 0);
    if (argc == 7 && std::strcmp(argv[4], "--loop") == 0) {
      long long start = number(argv[5]), end = number(argv[6]);
      if (start < 0 || end < 0) return fail("loop points are frame numbers");
      return encode(argv[2], argv[3], true, start, end);
    }
    return badusage();
  }
  if (argc == 5 && std::strcmp(argv[1], "decode") == 0) {
    long long frames = number(argv[4]);
    if (frames < 0) return fail("FRAMES is a whole number");
    return decode(argv[2], argv[3], frames);
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(usage, stdout);
    return 0;
  }
  return badusage();
}
