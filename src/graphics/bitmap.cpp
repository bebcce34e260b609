// Bitmap: BMP pictures through SDL's reader, PNG pictures through libpng, both
// delivered as rows top first with blue, green, red as each pixel's first bytes.
#include "graphics/bitmap.h"

#include <SDL.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include <sys/stat.h>

#include "graphics/swizzle.h"

namespace {

// Every picture the game loads is one it cannot do without: each failure ends
// the program with its message on standard error and status 1.
[[noreturn]] void fatal_picture(const std::string& message) {
  fputs(message.c_str(), stderr);
  fflush(stderr);
  exit(1);
}

std::string bmpmessage(const char* path) { return std::string("Could not load bitmap: ") + path + "\n"; }

// libpng's messages carry no line break; %s is the path where there is one.
std::string pngmessage(const char* format, const char* path) {
  int n = snprintf(nullptr, 0, format, path);
  std::string out(n > 0 ? size_t(n) : 0, '\0');
  if (n > 0) snprintf(&out[0], out.size() + 1, format, path);
  return out;
}

}  // namespace

Bitmap::Bitmap(const char* path)
    : pixels(nullptr), width(0), height(0), pitch(0), bytespp(0), fromsurface(false),
      surface(nullptr) {
  // 1. The suffix picks the loader; anything but ".png" is tried as BMP.
  size_t n = strlen(path);
  if (n <= 3) {
    std::cerr << "could not determine filetype" << std::endl;
    load_bmp(path);
    return;
  }
  const char* suffix = path + n - 4;
  std::cout << "filetype: " << suffix << std::endl;
  if (strcmp(suffix, ".png") == 0) {
    load_png(path);
    return;
  }
  if (strcmp(suffix, ".bmp") != 0) std::cerr << "could not determine filetype" << std::endl;
  load_bmp(path);
}

Bitmap::~Bitmap() {
  if (!fromsurface && pixels) free(pixels);
  if (surface) SDL_FreeSurface(surface);
}

Bitmap::Bitmap()
    : pixels(nullptr), width(0), height(0), pitch(0), bytespp(0), fromsurface(false),
      surface(nullptr) {}

namespace {

// SDL's file stream asks the system for a few kilobytes at a time, which makes
// the system calls most of a BMP's load. A regular file of a size any picture
// could have is read in one call and decoded from memory; anything else is
// streamed as before. Either way the same bytes reach the same reader.
constexpr long wholefilemax = 64L << 20;

struct WholeFile {
  std::unique_ptr<unsigned char[]> bytes;
  long size = 0;
};

bool readwhole(FILE* fp, WholeFile& out) {
  struct stat st;
  if (fstat(fileno(fp), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > wholefilemax) return false;
  out.size = static_cast<long>(st.st_size);
  out.bytes.reset(new unsigned char[out.size > 0 ? out.size : 1]);
  return fread(out.bytes.get(), 1, out.size, fp) == static_cast<size_t>(out.size);
}

}  // namespace

void Bitmap::load_bmp(const char* path) {
  WholeFile file;
  SDL_RWops* rw = nullptr;
  if (FILE* fp = fopen(path, "rb")) {
    if (readwhole(fp, file)) rw = SDL_RWFromConstMem(file.bytes.get(), static_cast<int>(file.size));
    fclose(fp);
  }
  if (!rw) rw = SDL_RWFromFile(path, "rb");
  if (!rw) fatal_picture(bmpmessage(path));
  std::string err = decode_bmp(rw, path);
  if (!err.empty()) fatal_picture(err);
}

void Bitmap::load_png(const char* path) {
  // libpng asks for a few kilobytes at a time; a buffer of 64 KiB saves most
  // of the system calls. It outlives the file.
  std::unique_ptr<char[]> buffer(new char[1 << 16]);
  FILE* fp = fopen(path, "rb");
  if (!fp) fatal_picture(pngmessage("[read_png_file] File %s could not be opened for reading", path));
  setvbuf(fp, buffer.get(), _IOFBF, 1 << 16);
  std::string err = decode_png(fp, path);
  fclose(fp);
  if (!err.empty()) fatal_picture(err);
}

Bitmap* Bitmap::read_bmp(SDL_RWops* rw, const char* path, std::string& err) {
  Bitmap* b = new Bitmap();
  err = b->decode_bmp(rw, path);
  if (err.empty()) return b;
  delete b;
  return nullptr;
}

Bitmap* Bitmap::read_png(FILE* fp, const char* path, std::string& err) {
  Bitmap* b = new Bitmap();
  err = b->decode_png(fp, path);
  if (err.empty()) return b;
  delete b;
  return nullptr;
}

namespace {

// A bound no picture of the game comes near: 8192 by 8192 pixels.
constexpr int64_t bmpmaxpixels = int64_t(1) << 26;

int64_t le16(const unsigned char* p) { return p[0] | p[1] << 8; }
int64_t le32(const unsigned char* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// SDL's reader makes the whole surface at the size the header claims before
// it reads a single pixel, so a few bytes claiming a huge picture would cost
// gigabytes. The claim is checked first: uncompressed rows must fit in the
// file (SDL fails on them anyway when they do not), and no picture, run-length
// coded ones included, may exceed bmpmaxpixels. Fields past the end of a
// short file count as 0, as SDL reads them. The stream is put back where it was.
bool bmpfits(SDL_RWops* rw) {
  int64_t start = SDL_RWtell(rw);
  int64_t end = SDL_RWseek(rw, 0, RW_SEEK_END);
  unsigned char h[34] = {0};
  SDL_RWseek(rw, start, RW_SEEK_SET);
  size_t got = SDL_RWread(rw, h, 1, sizeof h);
  SDL_RWseek(rw, start, RW_SEEK_SET);
  if (start < 0 || end < start || got < 2 || h[0] != 'B' || h[1] != 'M') return true;
  int64_t size = end - start, w, rows, bits, compression = 0;
  if (le32(h + 14) == 12) {  // the old OS/2 header: 16-bit sizes, never compressed
    w = le16(h + 18);
    rows = le16(h + 20);
    bits = le16(h + 24);
  } else {
    w = le32(h + 18);
    rows = le32(h + 22);
    bits = le16(h + 28);
    compression = le32(h + 30);
  }
  w = w < 0 ? -w : w;
  rows = rows < 0 ? -rows : rows;  // negative: rows stored top first
  if (w * rows > bmpmaxpixels) return false;
  bool uncompressed = compression == 0 || compression == 3;  // plain, or bit fields
  return !uncompressed || (w * bits + 31) / 32 * 4 * rows <= size;
}

}  // namespace

std::string Bitmap::decode_bmp(SDL_RWops* rw, const char* path) {
  if (!bmpfits(rw)) {
    SDL_RWclose(rw);
    return bmpmessage(path);
  }
  SDL_Surface* s = SDL_LoadBMP_RW(rw, 1);  // closes rw
  if (!s) return bmpmessage(path);
  // A picture without pixels is no picture: nothing downstream could use it.
  if (s->w <= 0 || s->h <= 0 || !s->pixels || !s->format) {
    SDL_FreeSurface(s);
    return bmpmessage(path);
  }
  surface = s;
  width = s->w;
  height = s->h;
  pitch = s->pitch;
  pixels = static_cast<unsigned char*>(s->pixels);
  bytespp = s->format->BytesPerPixel;
  fromsurface = true;
  return "";
}

namespace {

constexpr uint64_t deflatemax = 1032;   // most bytes deflate makes of one
constexpr png_alloc_size_t pngchunkmax = 8000000;  // bytes of one ancillary chunk
constexpr png_uint_32 pngchunkcount = 1000;        // ancillary chunks kept

// Bytes from the read position to the end of the file; when the file cannot
// tell, as many as any picture could need.
uint64_t bytesleft(FILE* fp) {
  long here = ftell(fp);
  if (here < 0 || fseek(fp, 0, SEEK_END) != 0) return UINT64_MAX / deflatemax;
  long end = ftell(fp);
  if (fseek(fp, here, SEEK_SET) != 0 || end < here) return UINT64_MAX / deflatemax;
  return uint64_t(end - here);
}

void freerows(png_bytep* table, png_uint_32 count) {
  if (!table) return;
  for (png_uint_32 y = 0; y < count; y++) free(table[y]);
  free(table);
}

// The only function that sets a libpng return point. Nothing with a destructor
// is alive across setjmp: the libpng structures and the row table are plain
// pointers, set before the return point that can reach them, and every way
// out frees them. On success *out is the w by h picture as red, green, blue,
// alpha rows (malloc'd, the caller's); otherwise the message format.
const char* readpng(FILE* fp, unsigned char** out, png_uint_32* outw, png_uint_32* outh) {
  // 3.-4. libpng's own error handling, which long-jumps back here.
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return "[read_png_file] png_create_read_struct failed";
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return "[read_png_file] png_create_info_struct failed";
  }
  // A chunk's length is trusted no more than its pixels. libpng reads the
  // text and calibration chunks whole into a buffer of the length they claim
  // (gigabytes from a few bytes); none of them changes a pixel, so they are
  // skipped unread. Other chunks are held to a size and a count.
  static const png_byte skipped[] = "pCAL\0sCAL\0sPLT\0tEXt\0zTXt\0iTXt\0eXIf";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, skipped, 7);
  png_set_chunk_malloc_max(png, pngchunkmax);
  png_set_chunk_cache_max(png, pngchunkcount);
  // Every chunk, the image data among them, is checked against its CRC-32
  // already; zlib's own checksum over the same bytes cost a third of a decode.
#ifdef PNG_IGNORE_ADLER32
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif

  // 5.-6. The header.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return "Error during init_io";
  }
  png_init_io(png, fp);
  png_set_sig_bytes(png, 8);
  png_read_info(png, info);

  // 7. The file's own header values, before any conversion.
  png_uint_32 w = png_get_image_width(png, info);
  png_uint_32 h = png_get_image_height(png, info);
  int depth = png_get_bit_depth(png, info);
  int colourtype = png_get_color_type(png, info);
  std::cout << "PNG info: " << w << "x" << h << ", " << colourtype << ", " << depth << std::endl;

  // The header's size is checked against the file before a row is allocated:
  // deflate turns a byte into at most 1032, so a picture with more pixel bytes
  // than that times what is left of the file can only run out of image data
  // in the read below, and ends as that would.
  uint64_t pixelbytes = uint64_t(w) * h * png_get_channels(png, info) * depth / 8;
  if (pixelbytes > deflatemax * bytesleft(fp)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return "Error during read_image";
  }

  // 8. Every kind becomes 8-bit red, green, blue, alpha: palettes and grey are
  // expanded, 16-bit samples scaled down, a missing alpha filled in after blue.
  if (colourtype == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourtype == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (colourtype == PNG_COLOR_TYPE_GRAY || colourtype == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  if (!(colourtype & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  // 10. (first half) The row buffers, each as long as libpng says a row is.
  // The copy below reads 4 bytes per pixel; anything shorter is a decoder
  // surprise. A picture stored in one pass is read a row at a time through
  // one buffer and each row turned while it is still in the cache; an
  // interlaced one needs all its rows before any is whole.
  size_t rowbytes = png_get_rowbytes(png, info);
  const png_uint_32 buffered = passes == 1 ? 1 : h;
  // volatile: set between the two return points, read after the second.
  png_bytep* volatile rows = nullptr;
  unsigned char* volatile block = nullptr;
  if (rowbytes >= static_cast<size_t>(w) * 4) {
    rows = static_cast<png_bytep*>(calloc(buffered, sizeof(png_bytep)));
    block = static_cast<unsigned char*>(malloc(static_cast<size_t>(w) * h * 4));
  }
  bool allocated = rows != nullptr && block != nullptr;
  for (png_uint_32 y = 0; allocated && y < buffered; y++) {
    rows[y] = static_cast<png_bytep>(malloc(rowbytes));
    allocated = rows[y] != nullptr;
  }

  // 9. An error while the image is read comes back here.
  if (!allocated || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    freerows(rows, buffered);
    free(block);
    return "Error during read_image";
  }
  // 10. (second half) The rows, and 11. red, green, blue, alpha become blue,
  // green, red, 0.
  const size_t pitch = static_cast<size_t>(w) * 4;
  if (buffered == 1) {
    for (png_uint_32 y = 0; y < h; y++) {
      png_read_row(png, rows[0], nullptr);
      swizzle::swap02(rows[0], 4, nullptr, 0, 0, block + y * pitch, w);
    }
  } else {
    png_read_image(png, rows);
    for (png_uint_32 y = 0; y < h; y++)
      swizzle::swap02(rows[y], 4, nullptr, 0, 0, block + y * pitch, w);
  }

  // 13. Release libpng and the rows.
  png_destroy_read_struct(&png, &info, nullptr);
  freerows(rows, buffered);
  *out = block;
  *outw = w;
  *outh = h;
  return nullptr;
}

}  // namespace

std::string Bitmap::decode_png(FILE* fp, const char* path) {
  // 1.-2. The signature; a file under 8 bytes fails it too.
  unsigned char header[8] = {0};
  if (fread(header, 1, 8, fp) != 8 || png_sig_cmp(header, 0, 8) != 0)
    return pngmessage("[read_png_file] File %s is not recognized as a PNG file", path);
  unsigned char* block = nullptr;
  png_uint_32 w = 0, h = 0;
  if (const char* failure = readpng(fp, &block, &w, &h)) return pngmessage(failure, path);

  // 12. The fields.
  pixels = block;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  pitch = 4 * width;
  bytespp = 4;
  fromsurface = false;
  return "";
}

bool pngsize(const std::string& path, int* width, int* height) {
  // The signature, then the IHDR chunk: length, "IHDR", width, height (big-endian).
  unsigned char head[24];
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  const size_t got = fread(head, 1, sizeof head, f);
  fclose(f);
  if (got != sizeof head || png_sig_cmp(head, 0, 8) != 0) return false;
  if (head[12] != 'I' || head[13] != 'H' || head[14] != 'D' || head[15] != 'R') return false;
  auto be32 = [&](int at) {
    return (uint32_t(head[at]) << 24) | (uint32_t(head[at + 1]) << 16) |
           (uint32_t(head[at + 2]) << 8) | uint32_t(head[at + 3]);
  };
  const uint32_t w = be32(16), h = be32(20);
  if (w == 0 || h == 0 || w > INT32_MAX || h > INT32_MAX) return false;
  *width = int(w);
  *height = int(h);
  return true;
}
