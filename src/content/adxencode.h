// ADX encoder: turns 16-bit PCM into ADX files that the game's own decoder
// (Music) plays back as closely as its fixed predictor allows.
#pragma once
#include <cstdint>
#include <vector>

// Encodes interleaved 16-bit frames (channels 1 or 2) into a whole ADX file.
// The frames are padded with silence to whole 32-frame blocks. With loop set,
// the loop fields mark the whole data as the loop (start at the first block,
// end after the last), which the game plays seamlessly over and over, since
// it always restarts at the first block with cleared history; without it the
// loop flag is 0 and the game loops the whole data all the same.
std::vector<unsigned char> adxencode(const std::vector<int16_t>& samples, int channels, int rate,
                                     bool loop);

// Offset of the signature in the files written here; the data follows at +6.
constexpr int adxsignature = 44;
