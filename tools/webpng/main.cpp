// twinfold-webpng: the game's PNG pictures made as small as they go for the
// browser build, each pixel decoding to the same bytes as before.
//
//   twinfold-webpng [--json] IN.png OUT.png [IN.png OUT.png ...]
//
// Each picture is read, written again with every row's filter chosen for it
// and the strongest deflate, and the written file decoded and compared with
// the original, pixel by pixel; one that differs is not written. A line per
// picture gives its size before and after (--json: one object a line, with
// "in", "out", "before" and "after").
#include <cstdio>
#include <cstring>
#include <string>

#include "content/pngsmall.h"

static const char usage[] =
    "usage: twinfold-webpng [--json] IN.png OUT.png [IN.png OUT.png ...]\n"
    "Writes each IN.png again as OUT.png (which may be IN.png) with adaptive row\n"
    "filters and level-9 deflate, and checks that it decodes to the same pixels.\n"
    "Exit status: 0 all written; 1 a picture that cannot be read, written or\n"
    "recompressed to the same pixels (the others are still done); 2 a wrong\n"
    "command line.\n";

// A path as a JSON string's contents.
static std::string jsontext(const char* s) {
  std::string out;
  for (; *s; s++) {
    if (*s == '"' || *s == '\\') out += '\\';
    if (static_cast<unsigned char>(*s) < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\u%04x", *s);
      out += hex;
    } else {
      out += *s;
    }
  }
  return out;
}

int main(int argc, char** argv) {
  int first = 1;
  bool json = false;
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--json") == 0) {
    json = true;
    first = 2;
  }
  bool option = false;  // an option past --json, or one this tool does not know
  for (int i = first; i < argc; i++) option = option || argv[i][0] == '-';
  if (option || argc - first < 2 || (argc - first) % 2 != 0) {
    std::fputs(usage, stderr);
    return 2;
  }
  int status = 0;
  for (int i = first; i < argc; i += 2) {
    long long before = 0, after = 0;
    std::string err;
    if (!recompresspng(argv[i], argv[i + 1], before, after, err)) {
      std::fprintf(stderr, "twinfold-webpng: %s\n", err.c_str());
      status = 1;
      continue;
    }
    if (json)
      std::printf("{\"in\": \"%s\", \"out\": \"%s\", \"before\": %lld, \"after\": %lld}\n",
                  jsontext(argv[i]).c_str(), jsontext(argv[i + 1]).c_str(), before, after);
    else
      std::printf("%s: %lld bytes, %lld before\n", argv[i + 1], after, before);
  }
  return status;
}
