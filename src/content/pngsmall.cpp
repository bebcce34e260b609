// PNG recompression for the browser build: adaptive row filters and level-9
// deflate written by hand through zlib, read and checked through libpng's
// simplified reader.
#include "content/pngsmall.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// A chunk: length, type, data, and the CRC of type and data.
void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  put32(out, uint32_t(data.size()));
  const size_t at = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  put32(out, uint32_t(crc32(0, out.data() + at, uInt(out.size() - at))));
}

uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  return uint8_t(pb <= pc ? b : c);
}

// 1. Each of the five filters of one row into its own buffer (filter byte
// first); 2. the one whose bytes are smallest as signed numbers is kept.
// With adaptive false only the first, no filter, is tried.
void filterrow(const uint8_t* row, const uint8_t* above, size_t bytes, int bpp, bool adaptive,
               std::vector<uint8_t> (&trial)[5], std::vector<uint8_t>& out) {
  uint64_t best = UINT64_MAX;
  int chosen = 0;
  for (int f = 0; f < (adaptive ? 5 : 1); f++) {
    std::vector<uint8_t>& t = trial[f];
    t[0] = uint8_t(f);
    uint64_t cost = 0;
    for (size_t i = 0; i < bytes; i++) {
      const int a = i >= size_t(bpp) ? row[i - bpp] : 0;
      const int b = above ? above[i] : 0;
      const int c = above && i >= size_t(bpp) ? above[i - bpp] : 0;
      int predicted = 0;
      switch (f) {
        case 1: predicted = a; break;
        case 2: predicted = b; break;
        case 3: predicted = (a + b) / 2; break;
        case 4: predicted = paeth(a, b, c); break;
        default: break;
      }
      const uint8_t v = uint8_t(row[i] - predicted);
      t[i + 1] = v;
      cost += uint64_t(std::abs(int(int8_t(v))));
    }
    if (cost < best) {
      best = cost;
      chosen = f;
    }
  }
  out.insert(out.end(), trial[chosen].begin(), trial[chosen].end());
}

bool deflatebest(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&z, uLong(in.size())));
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = uInt(in.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  const int r = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return r == Z_STREAM_END;
}

// The pixels of a PNG as 8-bit RGB or RGBA (alpha kept where the file has
// any), or false with libpng's message.
bool readpixels(const std::string& path, png_image& image, std::vector<uint8_t>& pixels,
                std::string& err) {
  image = png_image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    err = path + ": cannot be read: " + image.message;
    png_image_free(&image);
    return false;
  }
  image.format = (image.format & PNG_FORMAT_FLAG_ALPHA) ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  pixels.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    err = path + ": cannot be read: " + image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}

long long filesize(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  return f ? static_cast<long long>(f.tellg()) : -1;
}

}  // namespace

std::vector<uint8_t> encodesmallpng(int width, int height, int channels, const uint8_t* pixels) {
  std::vector<uint8_t> png;
  if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) ||
      int64_t{width} * channels >= INT32_MAX || int64_t{width} * channels * height >= INT32_MAX)
    return png;
  // The rows deflated twice, filtered and not: the smooth painted levels
  // deflate smaller unfiltered, the menu's pictures and the hero filtered.
  const size_t rowbytes = size_t(width) * channels;
  std::vector<uint8_t> trial[5];
  for (auto& t : trial) t.resize(rowbytes + 1);
  std::vector<uint8_t> idat;
  for (bool adaptive : {false, true}) {
    std::vector<uint8_t> filtered, deflated;
    filtered.reserve((rowbytes + 1) * height);
    for (int y = 0; y < height; y++)
      filterrow(pixels + y * rowbytes, y ? pixels + (y - 1) * rowbytes : nullptr, rowbytes,
                channels, adaptive, trial, filtered);
    if (!deflatebest(filtered, deflated)) return png;
    if (idat.empty() || deflated.size() < idat.size()) idat.swap(deflated);
  }
  static const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  png.assign(signature, signature + 8);
  std::vector<uint8_t> ihdr;
  put32(ihdr, uint32_t(width));
  put32(ihdr, uint32_t(height));
  // 8 bits a sample; colour type 2 (RGB) or 6 (RGBA); deflate, adaptive
  // filters, no interlace.
  ihdr.insert(ihdr.end(), {8, uint8_t(channels == 4 ? 6 : 2), 0, 0, 0});
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", idat);
  chunk(png, "IEND", {});
  return png;
}

bool recompresspng(const std::string& in, const std::string& out, long long& before,
                   long long& after, std::string& err) {
  // 1. The picture's pixels; 2. the small file, under a temporary name.
  png_image image;
  std::vector<uint8_t> pixels;
  if (!readpixels(in, image, pixels, err)) return false;
  const int channels = PNG_IMAGE_PIXEL_CHANNELS(image.format);
  std::vector<uint8_t> png = encodesmallpng(int(image.width), int(image.height), channels, pixels.data());
  png_image_free(&image);
  if (png.empty()) {
    err = in + ": cannot be recompressed: a picture of that size is not one a PNG can hold";
    return false;
  }
  const std::string temp = out + ".small";
  {
    std::ofstream f(temp, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    if (!f.flush()) {
      std::remove(temp.c_str());
      err = out + ": cannot be written";
      return false;
    }
  }
  // 3. The written file decodes to the very same bytes, or it goes.
  png_image check;
  std::vector<uint8_t> again;
  if (!readpixels(temp, check, again, err) || again != pixels) {
    if (err.empty()) err = out + ": the recompressed picture does not decode to the same pixels";
    png_image_free(&check);
    std::remove(temp.c_str());
    return false;
  }
  png_image_free(&check);
  // 4. In place of the target.
  before = filesize(in);
  if (std::rename(temp.c_str(), out.c_str()) != 0) {
    std::remove(temp.c_str());
    err = out + ": cannot be written";
    return false;
  }
  after = filesize(out);
  return true;
}
