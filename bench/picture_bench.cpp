// A 1024 by 768 picture into a graphics layer, PNG and BMP, against the bare
// decode of the same file by libpng and by SDL; the game's Bitmap alone in
// between shows where the time goes. Needs a display for the OpenGL context.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <png.h>
#include <stdlib.h>
#include <unistd.h>

#include <GL/gl.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/bitmap.h"
#include "graphics/glayer.h"

namespace {

// The game's log lines (two a picture) go to /dev/null while this lives.
struct Quiet {
  int saved;
  Quiet() {
    std::fflush(stdout);
    saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
  ~Quiet() {
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
  }
};

// The title picture of the game's data as name.png, and the same pixels as a
// 24-bit name.bmp, in a scratch folder; and a window with an OpenGL context.
struct Pictures {
  std::string dir, name;
  bool ok = false;
  Pictures() {
    char pattern[] = "/tmp/twinfold-bench-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir = pattern;
    name = dir + "/picture";
    const std::string source = std::string(TWINFOLD_BINARY_DIR) + "/game/orvik_menu.png";
    std::error_code error;
    std::filesystem::copy_file(source, name + ".png", error);
    if (error) return;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
    if (!SDL_SetVideoMode(1024, 768, 0, SDL_OPENGL)) return;
    Quiet quiet;
    Bitmap png((name + ".png").c_str());
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, png.width, png.height, 24, 0xff0000,
                                          0x00ff00, 0x0000ff, 0);
    if (!s) return;
    for (int r = 0; r < png.height; r++)
      for (int c = 0; c < png.width; c++)
        std::memcpy(static_cast<unsigned char*>(s->pixels) + r * s->pitch + c * 3,
                    png.pixels + r * png.pitch + c * 4, 3);
    ok = SDL_SaveBMP(s, (name + ".bmp").c_str()) == 0;
    SDL_FreeSurface(s);
  }
  ~Pictures() {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }
};

Pictures& pictures() {
  static Pictures p;
  return p;
}

bool ready(benchmark::State& state) {
  if (pictures().ok) return true;
  state.SkipWithError("no display, or no game data (run make first)");
  return false;
}

void BM_LayerPNG(benchmark::State& state) {
  if (!ready(state)) return;
  Quiet quiet;
  for (auto _ : state) {
    GraphicsLayer* layer = new GraphicsLayer(pictures().name.c_str(), false, true);
    glFinish();
    delete layer;
  }
}
BENCHMARK(BM_LayerPNG)->Unit(benchmark::kMillisecond);

void BM_BitmapPNG(benchmark::State& state) {
  if (!ready(state)) return;
  Quiet quiet;
  const std::string path = pictures().name + ".png";
  for (auto _ : state) delete new Bitmap(path.c_str());
}
BENCHMARK(BM_BitmapPNG)->Unit(benchmark::kMillisecond);

// libpng on its own: header, rows into one block, nothing converted; with
// libpng's defaults, and as the game reads it, without zlib's checksum.
void libpngdecode(benchmark::State& state, bool checksum) {
  if (!ready(state)) return;
  const std::string path = pictures().name + ".png";
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (!f || !png || !info || setjmp(png_jmpbuf(png))) {
      state.SkipWithError("libpng failed");
      break;
    }
    if (!checksum) png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_init_io(png, f);
    png_read_info(png, info);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowbytes = png_get_rowbytes(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    std::vector<unsigned char> block(rowbytes * h);
    std::vector<png_bytep> rows(h);
    for (png_uint_32 y = 0; y < h; y++) rows[y] = block.data() + y * rowbytes;
    png_read_image(png, rows.data());
    benchmark::DoNotOptimize(block.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
  }
}
void BM_LibpngDecode(benchmark::State& state) { libpngdecode(state, true); }
BENCHMARK(BM_LibpngDecode)->Unit(benchmark::kMillisecond);
void BM_LibpngDecodeUnchecked(benchmark::State& state) { libpngdecode(state, false); }
BENCHMARK(BM_LibpngDecodeUnchecked)->Unit(benchmark::kMillisecond);

void BM_LayerBMP(benchmark::State& state) {
  if (!ready(state)) return;
  Quiet quiet;
  for (auto _ : state) {
    GraphicsLayer* layer = new GraphicsLayer(pictures().name.c_str(), false, false);
    glFinish();
    delete layer;
  }
}
BENCHMARK(BM_LayerBMP)->Unit(benchmark::kMillisecond);

void BM_BitmapBMP(benchmark::State& state) {
  if (!ready(state)) return;
  Quiet quiet;
  const std::string path = pictures().name + ".bmp";
  for (auto _ : state) delete new Bitmap(path.c_str());
}
BENCHMARK(BM_BitmapBMP)->Unit(benchmark::kMillisecond);

void BM_SDLDecodeBMP(benchmark::State& state) {
  if (!ready(state)) return;
  const std::string path = pictures().name + ".bmp";
  for (auto _ : state) {
    SDL_Surface* s = SDL_LoadBMP(path.c_str());
    if (!s) {
      state.SkipWithError("SDL could not read the BMP");
      break;
    }
    SDL_FreeSurface(s);
  }
}
BENCHMARK(BM_SDLDecodeBMP)->Unit(benchmark::kMillisecond);

// SDL's reader over the file read in one call, as the game reads it.
void BM_SDLDecodeBMPFromMemory(benchmark::State& state) {
  if (!ready(state)) return;
  const std::string path = pictures().name + ".bmp";
  for (auto _ : state) {
    FILE* f = std::fopen(path.c_str(), "rb");
    std::vector<unsigned char> bytes(std::filesystem::file_size(path));
    const bool read = f && std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f) std::fclose(f);
    SDL_Surface* s =
        read ? SDL_LoadBMP_RW(SDL_RWFromConstMem(bytes.data(), int(bytes.size())), 1) : nullptr;
    if (!s) {
      state.SkipWithError("SDL could not read the BMP");
      break;
    }
    SDL_FreeSurface(s);
  }
}
BENCHMARK(BM_SDLDecodeBMPFromMemory)->Unit(benchmark::kMillisecond);

}  // namespace
