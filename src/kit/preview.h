// Level preview: a level's elements, items and start drawn flat into an RGB
// picture without a screen, with the hero's path of a replay over them. The
// rules are not touched: the path comes from playing the replay on the
// world's own step.
//
// Picture space: picture pixel (0, 0) is the top left; level y up is picture
// up. With scale N one picture pixel covers N by N level pixels and shows
// what lies under the centre of that square.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "kit/replay.h"

class World;

// Every colour of a preview, one per thing shown.
enum PreviewInk {
  ink_background,   // nothing there
  ink_ground,       // solid rectangle
  ink_slope,        // solid triangle
  ink_ledge,        // one-way ledge
  ink_slippery,     // slippery element
  ink_nowalljump,   // element without wall slides or wall jumps
  ink_spikes,
  ink_checkpoint,
  ink_end,
  ink_shiftpickup,
  ink_viewmaster,   // viewmaster pickup
  ink_taken,        // a pickup already taken
  ink_start,        // outline of the hero box at the start
  ink_path,         // the hero box's centre, step by step
  ink_shiftcarried, // a shift that carried the hero: from before to after
  ink_shiftrefused, // a shift that started but found no room: a cross
  ink_shiftidle,    // a shift line where no shift could start: a cross
  ink_count
};

struct PreviewRgb {
  uint8_t r, g, b;
  bool operator==(const PreviewRgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
extern const PreviewRgb previewinks[ink_count];  // indexed by PreviewInk
extern const char* const previewinknames[ink_count];

// Where the hero went when a replay was played: level pixels, y up.
struct PreviewTrace {
  struct Point {
    int64_t x, y;  // centre of the hero box
    bool joined;   // a line leads here from the point before (no respawn or shift between)
  };
  struct Shift {
    int64_t fromx, fromy, tox, toy;  // centres of the hero box before and after
    PreviewInk ink;                  // ink_shiftcarried, ink_shiftrefused or ink_shiftidle
  };
  std::vector<Point> points;  // the start, then one per step
  std::vector<Shift> shifts;  // one per shift line, in order
  ReplayResult result;        // what playreplay reported
};

// Plays lines on w from where it stands (as playreplay does) and records the
// path. w is left where the replay left it.
PreviewTrace tracereplay(World& w, const std::vector<ReplayLine>& lines);

constexpr int previewmaxside = 16384;             // picture pixels, either side
constexpr int64_t previewmaxpixels = 64 << 20;    // picture pixels in all
constexpr int previewmargin = 32;                 // level pixels around everything shown
constexpr int previewpathreach = 512;             // level pixels a path may widen the picture
                                                  // beyond the elements; the rest is cut off

// The default scale: 2, or more for a level that would be wider or taller
// than 4096 picture pixels at 2.
int previewscale(const World& w, const PreviewTrace* trace);

struct PreviewPicture {
  int width = 0, height = 0;  // picture pixels
  int scale = 1;              // level pixels per picture pixel, each axis
  int64_t left = 0, bottom = 0;  // level point at the lower left corner of the picture
  std::vector<uint8_t> rgb;   // width * height * 3 bytes, rows top first

  PreviewRgb at(int px, int py) const;  // picture pixel, (0, 0) top left
  // The picture pixel showing level point (x, y); false outside the picture.
  bool pixelof(int64_t x, int64_t y, int* px, int* py) const;
};

// Draws w as it stands (its items' kinds as they are now, the start outline
// where the hero box is now) and trace over it, if given. False with err set
// when the picture would exceed the limits above; err then names a scale
// that fits.
bool drawpreview(const World& w, int scale, const PreviewTrace* trace, PreviewPicture& out,
                 std::string& err);

// The preview of a freshly loaded world: with lines, plays them to trace the
// path (result set from it) and puts the world back as it was (step memory
// included) before drawing. scale 0 picks previewscale. False with err set as
// drawpreview does.
bool previewlevel(World& w, const std::vector<ReplayLine>* lines, int scale,
                  PreviewPicture& out, ReplayResult* result, std::string& err);
