// Frame: one pass of the frame loop, the same on every platform. The desktop
// loops over it; the browser's main loop calls it once per animation frame.
#pragma once

struct Shell;

// Draws, steps and handles input for one frame in menu or play mode.
// Returns false once the player has quit: the caller then shuts down.
bool frame(Shell& shell);
