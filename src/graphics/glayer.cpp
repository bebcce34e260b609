// GraphicsLayer: a named picture pair cut into power-of-two tiles of at most
// 256 by 256 pixels, and drawn at a window position with an opacity.
#include "graphics/glayer.h"

#include <GL/gl.h>

#include <string>

#include "graphics/bitmap.h"
#include "graphics/screen.h"
#include "graphics/texture.h"
#include "graphics/tiles.h"


GraphicsLayer::GraphicsLayer(const char* name, bool usealpha, bool usepng) {
  init(name, usealpha, usepng);
}
GraphicsLayer::GraphicsLayer(const char* name, bool usealpha) { init(name, usealpha, false); }
GraphicsLayer::GraphicsLayer(const char* name) { init(name, true, false); }

GraphicsLayer::~GraphicsLayer() {
  for (int i = 0; i < tilesx * tilesy; i++) delete tiles[i];
  delete[] tiles;
}

void GraphicsLayer::init(const char* name, bool usealpha, bool usepng) {
  // 1. File names: name.bmp and name.a.bmp, or name.png and name.a.png.
  std::string colourpath = std::string(name) + (usepng ? ".png" : ".bmp");
  std::string alphapath = std::string(name) + (usepng ? ".a.png" : ".a.bmp");

  // 2. The pictures; a failure ends the program inside Bitmap.
  Bitmap* colour = new Bitmap(colourpath.c_str());
  if (colour->bytespp < 3) fatal_pixelformat(colourpath.c_str(), colour->bytespp);
  Bitmap* alpha = usealpha ? new Bitmap(alphapath.c_str()) : nullptr;

  // 3.-4. Size and tile table.
  width = colour->width;
  height = colour->height;
  tilesx = tilecount(width);
  tilesy = tilecount(height);
  tiles = new Texture*[tilesx * tilesy];

  // 5. Each tile is the largest power of two that fits in what is left of the
  // picture (layertiles). Rows are addressed by each picture's own pitch, so
  // padded 24-bit rows and an alpha picture of another size or depth are read
  // correctly.
  std::vector<LayerTile> cuts = layertiles(width, height);
  for (size_t k = 0; k < cuts.size(); k++)
    tiles[k] = texture_from_bitmaps(*colour, alpha, cuts[k].x0, cuts[k].y0, cuts[k].w, cuts[k].h);

  // 6. Only the textures stay.
  delete alpha;
  delete colour;
}

void GraphicsLayer::render(int x, int y, float opacity) {
  // 1. Texturing on; the colour's alpha scales every texel's alpha (modulate).
  glEnable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, opacity);
  // 2. One strip per tile, tile row 0 at the top of the picture.
  for (int i = 0; i < tilesy; i++) {
    for (int j = 0; j < tilesx; j++) {
      Texture* t = tiles[i * tilesx + j];
      t->apply();
      int l = x + tilesize * j;
      int r = l + t->width;
      int top = height + y - tilesize * i;
      int b = top - t->height;
      float fl = static_cast<float>(l) * (1.0f / screenwidth);  // exact: a power of two
      float fr = static_cast<float>(r) * (1.0f / screenwidth);
      float ft = static_cast<float>(top) / screenheight;
      float fb = static_cast<float>(b) / screenheight;
      glBegin(GL_TRIANGLE_STRIP);
      glTexCoord2f(0, 0);
      glVertex2f(fl, ft);
      glTexCoord2f(0, 1);
      glVertex2f(fl, fb);
      glTexCoord2f(1, 0);
      glVertex2f(fr, ft);
      glTexCoord2f(1, 1);
      glVertex2f(fr, fb);
      glEnd();
    }
  }
  // 3. Texturing off again, as the callers expect.
  glDisable(GL_TEXTURE_2D);
}
