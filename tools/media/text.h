// Text setting with FreeType: anti-aliased lines and word-wrapped paragraphs on a Canvas.
#pragma once
#include <string>
#include <vector>

#include "canvas.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

// Finds a DejaVu font file by its style ("Sans", "Sans-Bold", "Serif-Bold", ...): the
// Debian path first, then fc-match. Returns "" when none is found.
std::string find_font(const std::string& style);

class Font {
 public:
  // Opens the font file; ends the program with a message if it cannot.
  Font(const std::string& style, int pixelsize);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  int size;  // pixels per em
  int lineheight() const;  // pixels from one baseline to the next
  int ascent() const;      // pixels above the baseline
  // Width of a line of UTF-8 text in pixels.
  float measure(const std::string& text);
  // Draws a line with its baseline at y, starting at x; returns the pen's end x.
  float draw(Canvas& c, float x, float y, const std::string& text, Colour col, float a = 1);
  // Breaks text into lines no wider than maxwidth.
  std::vector<std::string> wrap(const std::string& text, float maxwidth);

 private:
  // Pixels to move the pen between two glyphs (0 without a pair or kerning table).
  float kerning(unsigned int prev, unsigned int glyph);
  FT_LibraryRec_* lib;
  FT_FaceRec_* face;
};

// Decodes one UTF-8 code point at s[i] and moves i past it (bad bytes read as '?').
unsigned int next_codepoint(const std::string& s, size_t& i);
