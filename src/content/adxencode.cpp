// ADX encoder: one block per channel at a time, each block's scale chosen by
// search against the decoder's own integer arithmetic (adxstep).
#include "content/adxencode.h"

#include <algorithm>
#include <cstdlib>

#include "audio/adx.h"

namespace {

// The decoder's history for one channel.
struct History {
  int h1 = 0, h2 = 0;
};

// Encodes the 32 samples x with one scale, starting from history h; returns the
// squared error of what the decoder will produce. The nibbles go to nib and the
// decoder's history after the block to after.
int64_t encodeblock(const int* x, int scale, History h, int* nib, History* after) {
  int64_t err = 0;
  for (int i = 0; i < adxblocksamples; i++) {
    // The prediction part alone (scale 0), then the nearest nibble and its
    // neighbours tried exactly, clamping included.
    int p = adxstep(0, adxunity, 0, h.h1, h.h2);
    int guess = 0;
    if (scale > 0) {
      int64_t r = int64_t(x[i]) - p;
      guess = int(r >= 0 ? (r + scale / 2) / scale : -((-r + scale / 2) / scale));
      guess = std::clamp(guess, -8, 7);
    }
    int best = guess, bests = 0;
    int64_t beste = INT64_MAX;
    for (int v = std::max(-8, guess - 1); v <= std::min(7, guess + 1); v++) {
      int s = adxstep(scale, adxunity, v, h.h1, h.h2);
      int64_t e = int64_t(s - x[i]) * (s - x[i]);
      if (e < beste) {
        beste = e;
        best = v;
        bests = s;
      }
    }
    nib[i] = best;
    err += beste;
    h.h2 = h.h1;
    h.h1 = bests;
  }
  *after = h;
  return err;
}

constexpr int maxscale = 0x7fff;  // other decoders take a set top bit as an end mark

// Searches the scale that decodes x closest, writes the block to out and
// moves h on. A coarse pass up to twice the scale that the open-loop residual
// asks for, then a halving search around the best.
void writeblock(const int* x, History& h, unsigned char* out) {
  // Open-loop estimate: the largest residual against the source's own past.
  int64_t maxr = 0;
  int p1 = h.h1, p2 = h.h2;
  for (int i = 0; i < adxblocksamples; i++) {
    int p = adxstep(0, adxunity, 0, p1, p2);
    maxr = std::max<int64_t>(maxr, std::llabs(int64_t(x[i]) - p));
    p2 = p1;
    p1 = x[i];
  }
  int top = int(std::min<int64_t>(maxscale, maxr / 4 + 2));
  int step = std::max(1, top / 32);

  int nib[adxblocksamples], bestnib[adxblocksamples];
  History after, bestafter;
  int64_t beste = INT64_MAX;
  int bestscale = 0;
  auto trial = [&](int scale) {
    int64_t e = encodeblock(x, scale, h, nib, &after);
    if (e < beste) {
      beste = e;
      bestscale = scale;
      bestafter = after;
      std::copy(nib, nib + adxblocksamples, bestnib);
    }
  };
  for (int scale = 0; scale <= top; scale += step) trial(scale);
  for (int st = step / 2; st >= 1; st /= 2) {
    int centre = bestscale;
    if (centre - st >= 0) trial(centre - st);
    if (centre + st <= maxscale) trial(centre + st);
  }

  out[0] = static_cast<unsigned char>(bestscale >> 8);
  out[1] = static_cast<unsigned char>(bestscale & 0xff);
  for (int i = 0; i < adxblocksamples; i += 2)
    out[2 + i / 2] = static_cast<unsigned char>((bestnib[i] & 15) << 4 | (bestnib[i + 1] & 15));
  h = bestafter;
}

void putbe(std::vector<unsigned char>& b, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; i++) b[at + i] = static_cast<unsigned char>(v >> (8 * (bytes - 1 - i)));
}

}  // namespace

std::vector<unsigned char> adxencode(const std::vector<int16_t>& samples, int channels, int rate,
                                     bool loop) {
  size_t frames = samples.size() / size_t(channels);
  size_t groups = (frames + adxblocksamples - 1) / adxblocksamples;
  if (groups == 0) groups = 1;  // one silent block: the decoder needs something to loop
  size_t padded = groups * adxblocksamples;
  const int d = adxsignature + 2;  // signature at d - 2, data at d + 4
  size_t datastart = size_t(d) + 4;
  size_t databytes = groups * adxblock * size_t(channels);

  // 1. Header: magic, offset, type 3, 18-byte blocks, 4 bits, channels, rate,
  // frames; the high-pass cutoff scaled with the rate so that decoders that
  // derive their predictor from it arrive at this game's fixed one.
  std::vector<unsigned char> out(datastart + databytes, 0);
  out[0] = 0x80;
  putbe(out, 2, uint32_t(d), 2);
  out[4] = 3;
  out[5] = adxblock;
  out[6] = 4;
  out[7] = static_cast<unsigned char>(channels);
  putbe(out, 8, uint32_t(rate), 4);
  putbe(out, 12, uint32_t(padded), 4);
  putbe(out, 16, uint32_t(std::clamp<int64_t>((int64_t(rate) * 500 + 22050) / 44100, 1, 65535)), 2);
  out[18] = 3;  // version
  if (loop) {
    // 2. Loop fields: the whole data, in frames and in file bytes.
    putbe(out, 24, 1, 4);
    putbe(out, 28, 0, 4);
    putbe(out, 32, uint32_t(datastart), 4);
    putbe(out, 36, uint32_t(padded), 4);
    putbe(out, 40, uint32_t(datastart + databytes), 4);
  }
  std::copy_n("(c)CRI", 6, out.begin() + (d - 2));

  // 3. Blocks: for stereo a left block and then a right one per 32 frames.
  History hist[2];
  int x[adxblocksamples];
  for (size_t g = 0; g < groups; g++) {
    for (int c = 0; c < channels; c++) {
      for (int i = 0; i < adxblocksamples; i++) {
        size_t f = g * adxblocksamples + size_t(i);
        x[i] = f < frames ? samples[f * size_t(channels) + size_t(c)] : 0;
      }
      writeblock(x, hist[c], &out[datastart + (g * size_t(channels) + size_t(c)) * adxblock]);
    }
  }
  return out;
}
