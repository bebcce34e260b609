// Wave: a RIFF reader that walks the chunks up to "data" and a plain writer.
#include "audio/wave.h"

#include <cstdio>
#include <cstring>

static uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
static uint32_t le16(const unsigned char* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

namespace {
// Closes the file on every return path.
struct File {
  FILE* f;
  explicit File(const char* path, const char* mode) : f(std::fopen(path, mode)) {}
  ~File() {
    if (f) std::fclose(f);
  }
};
}  // namespace

static std::string readchunks(FILE* f, int64_t filesize, Wave& w,
                              std::vector<std::string>& notes) {
  unsigned char riff[12];
  if (std::fread(riff, 1, 12, f) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
      std::memcmp(riff + 8, "WAVE", 4) != 0)
    return "not a RIFF WAVE file";

  bool format = false;
  int tag = 0, bits = 0;
  int64_t pos = 12;
  for (;;) {
    // 1. Chunk header; a file that ends first has no data chunk.
    unsigned char head[8];
    if (std::fread(head, 1, 8, f) != 8) return "no data chunk";
    pos += 8;
    int64_t size = le32(head + 4);
    if (std::memcmp(head, "data", 4) == 0) {
      // 2. The samples: judged against the format read before them.
      w.founddata = true;
      w.datasize = int32_t(le32(head + 4));
      if (!format) return "data chunk before any format chunk";
      if (tag != 1 && tag != 0xfffe) return "not PCM";
      if (bits != 16) return "not 16-bit (" + std::to_string(bits) + " bits)";
      if (w.datasize < 2) return "data size " + std::to_string(w.datasize) + " holds no sample";
      int64_t have = filesize - pos;
      int64_t bytes = w.datasize;
      if (have < 2) return "data chunk holds no sample";
      if (bytes > have) {
        notes.push_back("data size " + std::to_string(bytes) + " runs past the end; " +
                        std::to_string(have) + " bytes used");
        bytes = have;
      }
      std::vector<unsigned char> raw(size_t(bytes / 2 * 2));
      if (std::fread(raw.data(), 1, raw.size(), f) != raw.size()) return "read failed";
      w.samples.resize(raw.size() / 2);
      for (size_t i = 0; i < w.samples.size(); i++)
        w.samples[i] = int16_t(le16(raw.data() + 2 * i));
      return "";
    }
    // Every other chunk is skipped whole, with its pad byte when odd.
    int64_t skip = size + (size & 1);
    if (pos + size > filesize) return std::string(reinterpret_cast<char*>(head), 4) + " chunk runs past the end";
    if (std::memcmp(head, "fmt ", 4) == 0) {
      // 3. The format: only tag, channels, rate and sample width matter.
      if (size < 16) return "format chunk too short";
      unsigned char fmt[16];
      if (std::fread(fmt, 1, 16, f) != 16) return "read failed";
      tag = int(le16(fmt));
      w.channels = int(le16(fmt + 2));
      w.rate = int(le32(fmt + 4) & 0x7fffffff);
      bits = int(le16(fmt + 14));
      format = true;
      skip -= 16;
      pos += 16;
    }
    if (pos + skip > filesize) return "no data chunk";
    if (std::fseek(f, long(skip), SEEK_CUR) != 0) return "seek failed";
    pos += skip;
  }
}

std::string readwave(const char* path, Wave& w, std::vector<std::string>& notes) {
  File file(path, "rb");
  return readwave(file.f, w, notes);
}

std::string readwave(FILE* f, Wave& w, std::vector<std::string>& notes) {
  w = Wave();
  if (f == nullptr) return "cannot be opened";
  if (std::fseek(f, 0, SEEK_END) != 0) return "seek failed";
  int64_t filesize = std::ftell(f);
  if (filesize < 0 || std::fseek(f, 0, SEEK_SET) != 0) return "seek failed";
  std::string why = readchunks(f, filesize, w, notes);
  if (!why.empty()) w.samples.clear();
  return why;
}

static void put32(std::vector<unsigned char>& b, uint32_t v) {
  for (int i = 0; i < 4; i++) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
static void put16(std::vector<unsigned char>& b, uint32_t v) {
  b.push_back(static_cast<unsigned char>(v));
  b.push_back(static_cast<unsigned char>(v >> 8));
}

bool writewave(const char* path, int channels, int rate, const std::vector<int16_t>& samples) {
  uint32_t bytes = uint32_t(samples.size() * 2);
  std::vector<unsigned char> b;
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  put32(b, 36 + bytes);
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(b, 16);
  put16(b, 1);
  put16(b, uint32_t(channels));
  put32(b, uint32_t(rate));
  put32(b, uint32_t(rate * channels * 2));
  put16(b, uint32_t(channels * 2));
  put16(b, 16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  put32(b, bytes);
  for (int16_t s : samples) put16(b, uint16_t(s));
  // A full disk may only show when the buffered bytes are flushed at close.
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(b.data(), 1, b.size(), f) == b.size();
  return std::fclose(f) == 0 && written;
}
