// Music: one ADX music file played as an endless loop, decoded on the audio
// thread into 44100 Hz signed 16-bit stereo.
#pragma once
#include <cstdint>

struct SDL_RWops;

class Music {
 public:
  unsigned char* data;   // the file's bytes from the sample data on; owned
  unsigned char* right;  // read position in the current right block
  unsigned char* left;   // read position in the current left block
  unsigned char* end;    // a new block starts only before this position
  int stride;            // extra advance per new block: 18 stereo, 0 mono
  int nibblephase;       // 0: next sample is a high nibble; 1: low nibble
  int blockleft;         // samples left in the current blocks
  int outl, histl1, histl2;
  int outr, histr1, histr2;
  int scalel, scaler;
  int gain;              // decoder gain in 1/16384, always 16384
  int rate;              // the file's sample rate
  int counter;           // resampling accumulator
  int endoffset;         // end of the playable data, bytes from data
  unsigned char channels;  // 1 or 2
  int datalength;        // L: bytes in data (zeros past what the file held); loader sets

  // Loads path; on failure prints "audio crash: " and the code and exits with it.
  explicit Music(const char* path);
  // An empty stream that plays silence until load() succeeds; never exits.
  Music();
  // Loads path into this object: 0 on success, else the failure code (1, 2, 3)
  // and the object stays silent. Main thread only, before the callback sees it.
  int load(const char* path);
  // The same from an open stream, which stays open (the caller closes it).
  int loadfrom(SDL_RWops* rw);
  ~Music();
  Music(const Music&) = delete;
  Music& operator=(const Music&) = delete;

  // Overwrites len bytes of stream with signed 16-bit stereo frames.
  void audio_callback(unsigned char* stream, int len);

 private:
  void clear();
  void startblocks();
  void decodepair();
  void decoderun(unsigned char* out, int n);
};

// The music's one fatal path: "audio crash: " and the code on standard output,
// then exit with the code.
[[noreturn]] void audio_crash(int code);
