// STUB: replaced by the picture loaders.
#include "graphics/bitmap.h"
Bitmap::Bitmap(const char*) : pixels(nullptr), width(0), height(0), pitch(0), bytespp(0), fromsurface(false), surface(nullptr) {}
Bitmap::~Bitmap() {}
void Bitmap::load_bmp(const char*) {}
void Bitmap::load_png(const char*) {}
