// twinfold-media: makes the menu pictures, the sound effects and the music WAVs.
//   twinfold-media pictures DATADIR OUTDIR   the fifteen menu pictures
//   twinfold-media effects OUTDIR            the nine sound effects
//   twinfold-media music SCORE OUT.wav       one track; prints its length in frames
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "pictures.h"
#include "sound.h"

static const char usage[] =
    "usage: twinfold-media pictures DATADIR OUTDIR | effects OUTDIR | music SCORE OUT.wav\n"
    "  pictures  the fifteen menu pictures, the pages set from DATADIR's page sources\n"
    "  effects   the nine sound effects\n"
    "  music     one track rendered from its score; prints its length in frames\n"
    "Exit status: 0 written, 1 a source that cannot be read or parsed, a page whose\n"
    "text does not fit or a file that cannot be written, 2 a wrong command line.\n";

static int badusage() {
  std::fputs(usage, stderr);
  return 2;
}

static int music(const std::string& scorepath, const std::string& wavpath) {
  std::ifstream in(scorepath, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", scorepath.c_str());
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  Score score;
  std::string error;
  if (!parse_score(text.str(), scorepath, score, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::vector<short> pcm = to_pcm(render_score(score), score.peak);
  if (!write_wav(wavpath, pcm, 2)) return 1;
  std::printf("%zu\n", pcm.size() / 2);  // the loop's end, in frames
  return 0;
}

int main(int argc, char** argv) {
  std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "pictures" && argc == 4) return make_pictures(argv[2], argv[3]) ? 0 : 1;
  if (cmd == "effects" && argc == 3) return make_effects(argv[2]) ? 0 : 1;
  if (cmd == "music" && argc == 4) return music(argv[2], argv[3]);
  if (cmd == "--help" && argc == 2) {
    std::fputs(usage, stdout);
    return 0;
  }
  return badusage();
}
