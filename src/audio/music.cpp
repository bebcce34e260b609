// Music: the ADX loader and the decoder that runs in the audio callback.
#include "audio/music.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "audio/adx.h"

void audio_crash(int code) {
  std::cout << "audio crash: " << code << std::endl;
  std::exit(code);
}

static uint32_t be16(const unsigned char* p) { return uint32_t(p[0]) << 8 | p[1]; }
static uint32_t be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

Music::Music() : data(nullptr) { clear(); }

Music::Music(const char* path) : data(nullptr) {
  clear();
  int code = load(path);
  if (code != 0) audio_crash(code);
}

Music::~Music() { std::free(data); }

void Music::clear() {
  std::free(data);
  data = right = left = end = nullptr;
  stride = nibblephase = blockleft = 0;
  outl = histl1 = histl2 = outr = histr1 = histr2 = 0;
  scalel = scaler = 0;
  gain = adxunity;
  rate = adxoutrate;
  counter = 0;
  endoffset = 0;
  channels = 0;
  datalength = 0;
}

// Reads the header and the sample data from an open stream into m.
// Returns 0 or the failure code; the caller closes the stream.
static int readmusic(Music& m, SDL_RWops* rw) {
  // 1. The header, judged only once all of it was read.
  unsigned char h[adxheader];
  if (SDL_RWread(rw, h, 1, adxheader) != adxheader) return 2;
  if (h[0] != 0x80 || h[1] != 0x00 || h[4] != 3 || h[5] != adxblock || h[6] != 4) return 2;
  int k = h[7];
  if (k != 1 && k != 2) return 3;

  // 2. Lengths. The sample count is unsigned and can be anything, so the
  // arithmetic is 64-bit; a length that does not fit 32 bits is refused below.
  int64_t d = be16(h + 2);
  int64_t n = be32(h + 12);
  int64_t b = n * k * adxblock / adxblocksamples;
  int64_t f = int64_t(adxblock) * k;
  int64_t l = b + 1 + f - (b - 1) % f;  // first multiple of f at or above b, plus 2

  // 3. Loop positions count only when they fall on whole block groups inside
  // the data; otherwise the whole data plays.
  int64_t e = l - 2 * k;
  if (h[27] == 1) {
    int64_t ls = int64_t(int32_t(be32(h + 32))) - d - 4;
    int64_t le = int64_t(int32_t(be32(h + 40))) - d - 4;
    if (le >= 0 && le <= l && ls >= 0 && ls <= l && ls <= le && ls % f == 0 && le % f == 0) e = le;
  }

  // 4. The signature just before the data.
  unsigned char sig[6];
  if (d < 2 || SDL_RWseek(rw, int(d - 2), RW_SEEK_SET) < 0) return 2;
  if (SDL_RWread(rw, sig, 1, 6) != 6 || std::memcmp(sig, "(c)CRI", 6) != 0) return 2;

  // 5. The data, zero-filled so that a file shorter than its header claims
  // plays silence for the missing part.
  if (l > INT32_MAX) return 3;
  m.data = static_cast<unsigned char*>(std::calloc(size_t(l), 1));
  if (m.data == nullptr) return 3;
  // As much as is left in one call: the file's stream would otherwise make a
  // system call for every few kilobytes of a song.
  int64_t got = 0;
  while (got < l) {
    int want = int(l - got);
    int r = int(SDL_RWread(rw, m.data + got, 1, want));
    if (r <= 0) break;
    got += r;
  }

  // 6. Stand before the first block: both positions sit at the end, so the
  // first block start finds no room and wraps to the first block(s).
  uint32_t rate = be32(h + 8);
  m.rate = int(std::min<uint32_t>(rate, INT32_MAX));
  m.channels = static_cast<unsigned char>(k);
  m.datalength = int(l);
  m.endoffset = int(e);
  m.end = m.data + e;
  m.stride = k == 2 ? adxblock : 0;
  m.left = m.right = m.end;
  return 0;
}

int Music::load(const char* path) {
  clear();
  SDL_RWops* rw = SDL_RWFromFile(path, "rb");
  if (rw == nullptr) return 1;
  int code = loadfrom(rw);
  SDL_RWclose(rw);
  return code;
}

int Music::loadfrom(SDL_RWops* rw) {
  clear();
  int code = readmusic(*this, rw);
  if (code != 0) clear();
  return code;
}

// 1. New blocks: the next pair if it starts before the end (and lies whole
// inside the data), else back to the first with cleared history.
void Music::startblocks() {
  int64_t next = (right - data) + stride;
  if (next < endoffset && next + adxblock <= datalength) {
    left += stride;
    right += stride;
  } else {
    stride = channels == 2 ? adxblock : 0;
    left = data;
    right = data + stride;
    nibblephase = 0;
    counter = 0;
    histl1 = histl2 = histr1 = histr2 = 0;
  }
  scalel = int(be16(left));
  scaler = int(be16(right));
  left += 2;
  right += 2;
  blockleft = adxblocksamples;
}

// One sample pair, in the steps of the format.
void Music::decodepair() {
  if (blockleft == 0) startblocks();
  // 2. The nibbles: high half first, then the low half and the next byte.
  unsigned nl, nr;
  if (nibblephase == 1) {
    nl = *left & 15u;
    nr = *right & 15u;
    left++;
    right++;
    nibblephase = 0;
  } else {
    nl = *left >> 4;
    nr = *right >> 4;
    nibblephase = 1;
  }
  // 3. Predict and clamp; 4. the clamped value enters the history.
  int sl = adxstep(scalel, gain, adxnibble(nl), histl1, histl2);
  int sr = adxstep(scaler, gain, adxnibble(nr), histr1, histr2);
  histl2 = histl1;
  histl1 = sl;
  histr2 = histr1;
  histr1 = sr;
  outl = sl;
  outr = sr;
  blockleft--;
  // Above 44100 Hz the counter would fall by the excess on every frame for
  // as long as the music plays; holding it at -rate keeps every frame decoded
  // without running it out of range. At 44100 Hz and below it never gets there.
  int64_t c = int64_t(counter) - rate + adxoutrate;
  counter = int(std::max<int64_t>(c, -int64_t(rate)));
}

static void putframe(unsigned char* p, int l, int r) {
  p[0] = static_cast<unsigned char>(l & 0xff);
  p[1] = static_cast<unsigned char>((l >> 8) & 0xff);
  p[2] = static_cast<unsigned char>(r & 0xff);
  p[3] = static_cast<unsigned char>((r >> 8) & 0xff);
}

// The two samples of a byte as two's-complement numbers, -8..7: the high
// half by an arithmetic shift of the signed byte, the low half moved up first.
static int highnibble(unsigned char b) { return static_cast<signed char>(b) >> 4; }
static int lownibble(unsigned char b) { return static_cast<signed char>(b << 4) >> 4; }

namespace {
// One channel of a run: the scale times the gain, and the two last samples.
struct Channel {
  int64_t scale;
  int h1, h2;
  int next(int v) {
    const int s = adxstep(scale, 1, v, h1, h2);
    h2 = h1;
    h1 = s;
    return s;
  }
};
}  // namespace

// n frames (at most blockleft) straight out of the current blocks, each one
// decoded: the steps of decodepair with the state held in locals, a whole
// byte (two frames) at a time. Only for a 44100 Hz file with the counter at
// 0, where the counter stays 0.
void Music::decoderun(unsigned char* out, int n) {
  const unsigned char* l = left;
  const unsigned char* r = right;
  Channel cl{int64_t(scalel) * gain, histl1, histl2};
  Channel cr{int64_t(scaler) * gain, histr1, histr2};
  int k = 0;
  // A low half left over from the last run.
  if (nibblephase == 1 && n > 0) {
    const int sl = cl.next(lownibble(*l++));
    putframe(out, sl, cr.next(lownibble(*r++)));
    nibblephase = 0;
    k = 1;
  }
  for (; k + 2 <= n; k += 2) {
    const unsigned char bl = *l++, br = *r++;
    const int sl = cl.next(highnibble(bl));
    putframe(out + 4 * k, sl, cr.next(highnibble(br)));
    const int tl = cl.next(lownibble(bl));
    putframe(out + 4 * k + 4, tl, cr.next(lownibble(br)));
  }
  // A high half alone: its low half starts the next run.
  if (k < n) {
    const int sl = cl.next(highnibble(*l));
    putframe(out + 4 * k, sl, cr.next(highnibble(*r)));
    nibblephase = 1;
  }
  left = const_cast<unsigned char*>(l);
  right = const_cast<unsigned char*>(r);
  histl1 = cl.h1;
  histl2 = cl.h2;
  histr1 = cr.h1;
  histr2 = cr.h2;
  if (n > 0) {
    outl = cl.h1;
    outr = cr.h1;
  }
  blockleft -= n;
}

// Whole runs halve the decoder's instructions; a build for measuring what
// they save (bench/without.cmake) leaves them out and decodes frame by frame.
#ifdef TWINFOLD_WITHOUT_RUNS
constexpr bool wholeruns = false;
#else
constexpr bool wholeruns = true;
#endif

void Music::audio_callback(unsigned char* stream, int len) {
  if (data == nullptr) {
    std::memset(stream, 0, size_t(std::max(len, 0)));
    return;
  }
  const int frames = std::max(len, 0) / 4;
  int i = 0;
  while (i < frames) {
    if (wholeruns && rate == adxoutrate && counter == 0) {
      // Every frame is a decoded one: whole runs to the end of the blocks.
      if (blockleft == 0) startblocks();
      const int n = std::min(blockleft, frames - i);
      decoderun(stream + 4 * i, n);
      i += n;
      continue;
    }
    // 1. Hold the last pair while the counter says the source has not moved on;
    // 2. otherwise decode the next one.
    if (counter > 0)
      counter -= rate;
    else
      decodepair();
    putframe(stream + 4 * i, outl, outr);
    i++;
  }
}
