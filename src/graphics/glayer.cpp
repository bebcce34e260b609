// STUB: replaced by the graphics layers.
#include "graphics/glayer.h"
GraphicsLayer::GraphicsLayer(const char* n, bool a, bool p) { init(n, a, p); }
GraphicsLayer::GraphicsLayer(const char* n, bool a) { init(n, a, false); }
GraphicsLayer::GraphicsLayer(const char* n) { init(n, true, false); }
GraphicsLayer::~GraphicsLayer() {}
void GraphicsLayer::init(const char*, bool, bool) { tiles = nullptr; width = height = tilesx = tilesy = 0; }
void GraphicsLayer::render(int, int, float) {}
