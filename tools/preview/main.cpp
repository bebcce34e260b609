// twinfold-preview: draws a level as a flat PNG picture, without a screen,
// optionally with the hero's path through a replay. Usage in usage() below.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "content/pngwrite.h"
#include "kit/preview.h"
#include "kit/quietload.h"
#include "kit/replay.h"

namespace {

constexpr int maxscale = 1 << 24;

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: twinfold-preview LEVEL OUT.png [--scale N] [--replay REPLAY]\n"
               "Draws LEVEL into OUT.png, level y up as picture up: solid elements, items\n"
               "and the start; with --replay the hero's path (the centre of the hero box\n"
               "every step) and each shift. --scale N draws N by N level pixels as one\n"
               "picture pixel (1 = full size); by default 2, or more for levels that would\n"
               "be wider or taller than 4096 pixels. A path shows up to 512 level pixels\n"
               "beyond the level. Pictures beyond %d pixels a side or %lld in all are\n"
               "refused, naming a scale that fits. Exit status: 0 written, 1 a level,\n"
               "replay or picture that cannot be read or written (nothing is written\n"
               "then), 2 a wrong command line.\n",
               previewmaxside, static_cast<long long>(previewmaxpixels));
}

void colours(std::FILE* to) {
  std::fprintf(to, "Colours:\n");
  for (int i = 0; i < ink_count; i++)
    std::fprintf(to, "  #%02x%02x%02x  %s\n", previewinks[i].r, previewinks[i].g,
                 previewinks[i].b, previewinknames[i]);
}

bool parsescale(const char* text, int* out) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < 1 || v > maxscale) return false;
  *out = int(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> names;
  std::string replaypath;
  int scale = 0;
  for (int i = 1; i < argc; i++) {
    if (!std::strcmp(argv[i], "--help")) {
      usage(stdout);
      colours(stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--scale") && i + 1 < argc) {
      if (!parsescale(argv[++i], &scale)) {
        std::fprintf(stderr, "twinfold-preview: --scale needs a whole number 1..%d\n", maxscale);
        usage(stderr);
        return 2;
      }
    } else if (!std::strcmp(argv[i], "--replay") && i + 1 < argc) {
      replaypath = argv[++i];
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      usage(stderr);
      return 2;
    } else {
      names.push_back(argv[i]);
    }
  }
  if (names.size() != 2) {
    usage(stderr);
    return 2;
  }
  const std::string& level = names[0];
  const std::string& out = names[1];

  std::string err;
  std::unique_ptr<World> w = loadquiet(level, err);
  if (!w) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  std::vector<ReplayLine> lines;
  if (!replaypath.empty() && !readreplayfile(replaypath, lines, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  PreviewPicture picture;
  ReplayResult result{};
  if (!previewlevel(*w, replaypath.empty() ? nullptr : &lines, scale, picture, &result, err)) {
    std::fprintf(stderr, "%s: %s\n", level.c_str(), err.c_str());
    return 1;
  }
  if (!writepngfile(out, picture.width, picture.height, 3, picture.rgb.data(), false, err)) {
    std::fprintf(stderr, "%s\n", err.c_str());
    return 1;
  }
  std::printf("%s: %d by %d pixels at scale %d", out.c_str(), picture.width, picture.height,
              picture.scale);
  if (!replaypath.empty()) {
    if (result.finished)
      std::printf("; the replay finishes the level after %d steps", result.steps);
    else
      std::printf("; the replay ends after %d steps without finishing", result.steps);
  }
  std::printf("\n");
  return 0;
}
