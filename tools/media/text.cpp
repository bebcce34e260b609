// FreeType text setting: glyphs rendered as 8-bit coverage and blended onto a canvas.
#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

static bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string find_font(const std::string& style) {
  // The fixed path keeps the build the same wherever fontconfig prefers another face.
  std::string fixed = "/usr/share/fonts/truetype/dejavu/DejaVu" + style + ".ttf";
  if (file_exists(fixed)) return fixed;
  std::string pattern = "DejaVu " + style;
  size_t dash = pattern.find('-');
  if (dash != std::string::npos) pattern = pattern.substr(0, dash) + ":style=" + pattern.substr(dash + 1);
  std::string cmd = "fc-match -f '%{file}' '" + pattern + "' 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return "";
  char buf[512];
  std::string found;
  while (std::fgets(buf, sizeof buf, p)) found += buf;
  pclose(p);
  return file_exists(found) && found.find("DejaVu") != std::string::npos ? found : "";
}

Font::Font(const std::string& style, int pixelsize) : size(pixelsize), lib(nullptr), face(nullptr) {
  std::string path = find_font(style);
  if (path.empty()) {
    std::fprintf(stderr, "font DejaVu %s not found: install fonts-dejavu-core\n", style.c_str());
    std::exit(1);
  }
  if (FT_Init_FreeType(&lib) || FT_New_Face(lib, path.c_str(), 0, &face)) {
    std::fprintf(stderr, "cannot open font %s\n", path.c_str());
    std::exit(1);
  }
  FT_Set_Pixel_Sizes(face, 0, pixelsize);
}

Font::~Font() {
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
}

int Font::lineheight() const { return int(face->size->metrics.height >> 6); }
int Font::ascent() const { return int(face->size->metrics.ascender >> 6); }

unsigned int next_codepoint(const std::string& s, size_t& i) {
  unsigned char c = s[i++];
  if (c < 0x80) return c;
  int extra = c >= 0xf0 ? 3 : c >= 0xe0 ? 2 : c >= 0xc0 ? 1 : -1;
  if (extra < 0) return '?';
  unsigned int cp = c & (0x3f >> extra);
  for (int k = 0; k < extra; k++) {
    if (i >= s.size() || (s[i] & 0xc0) != 0x80) return '?';
    cp = (cp << 6) | (s[i++] & 0x3f);
  }
  return cp;
}

float Font::kerning(unsigned int prev, unsigned int glyph) {
  if (!prev || !glyph || !FT_HAS_KERNING(face)) return 0;
  FT_Vector k;
  FT_Get_Kerning(face, prev, glyph, FT_KERNING_DEFAULT, &k);
  return k.x / 64.0f;
}

float Font::measure(const std::string& text) {
  float pen = 0;
  unsigned int prev = 0;
  for (size_t i = 0; i < text.size();) {
    unsigned int g = FT_Get_Char_Index(face, next_codepoint(text, i));
    pen += kerning(prev, g);
    if (FT_Load_Glyph(face, g, FT_LOAD_DEFAULT) == 0) pen += face->glyph->advance.x / 64.0f;
    prev = g;
  }
  return pen;
}

float Font::draw(Canvas& c, float x, float y, const std::string& text, Colour col, float a) {
  float pen = x;
  unsigned int prev = 0;
  for (size_t i = 0; i < text.size();) {
    unsigned int g = FT_Get_Char_Index(face, next_codepoint(text, i));
    pen += kerning(prev, g);
    prev = g;
    if (FT_Load_Glyph(face, g, FT_LOAD_RENDER) != 0) continue;
    FT_GlyphSlot slot = face->glyph;
    int ox = int(std::lround(pen)) + slot->bitmap_left;
    int oy = int(std::lround(y)) - slot->bitmap_top;
    const FT_Bitmap& bm = slot->bitmap;
    for (unsigned int r = 0; r < bm.rows; r++) {
      for (unsigned int q = 0; q < bm.width; q++) {
        unsigned char v = bm.buffer[r * bm.pitch + q];
        if (v) c.blend(ox + int(q), oy + int(r), col, a * v / 255.0f);
      }
    }
    pen += slot->advance.x / 64.0f;
  }
  return pen;
}

std::vector<std::string> Font::wrap(const std::string& text, float maxwidth) {
  std::vector<std::string> lines;
  std::string line, word;
  size_t i = 0;
  while (i <= text.size()) {
    size_t j = text.find(' ', i);
    if (j == std::string::npos) j = text.size();
    word = text.substr(i, j - i);
    i = j + 1;
    if (word.empty()) continue;
    std::string tryline = line.empty() ? word : line + " " + word;
    if (!line.empty() && measure(tryline) > maxwidth) {
      lines.push_back(line);
      line = word;
    } else {
      line = tryline;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}
