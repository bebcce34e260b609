// STUB: replaced by the movement step.
#include "world/world.h"
void World::setkeys(int left, int right) { keyleft = left; keyright = right; }
void World::setjump(int j) { jump = j; }
int World::getState() { return 0; }
void World::step() {}
