// Wave: reading and writing 16-bit PCM WAV files, for the mixer's sound slots
// and the music tools. Every size in the file is checked against the file.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct Wave {
  int channels = 0;                // from the format chunk
  int rate = 0;                    // Hz, from the format chunk
  bool founddata = false;          // a data chunk was reached
  int32_t datasize = 0;            // the data chunk's size field as written (may lie)
  std::vector<int16_t> samples;    // interleaved, as many as the file really holds
};

// Reads path into w. Returns "" when the samples can be used, else the reason
// they cannot (one short phrase). Lines worth telling about a usable file
// (data cut short) are added to notes.
std::string readwave(const char* path, Wave& w, std::vector<std::string>& notes);
// The same from an open file (borrowed; null reads as one that cannot be opened).
std::string readwave(FILE* f, Wave& w, std::vector<std::string>& notes);

// Writes interleaved 16-bit samples as a plain PCM WAV file; false on failure.
bool writewave(const char* path, int channels, int rate, const std::vector<int16_t>& samples);
