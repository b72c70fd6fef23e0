// The game's window: board-sized, titled, with its icon, plus the tiles and
// work surfaces every frame uses.
#pragma once

#include <cstdint>

#include "game/rules/state.h"
#include "game/view/draw.h"

namespace tervalon {

// Opens the window for pictures of the board's size, W x H, at a whole
// factor (`scale`, or with 0 the largest that suits the screen; a scale the
// screen cannot hold becomes the largest it can, said in one line on
// standard error), in full screen with `fullscreen`, and makes the view's
// PTEMP, PTEXT and six board tiles. The board is shown at the largest whole
// factor that fits the window, or with `fit` as large as fits at any factor.
// Game thread, once, after INITBD.
void INITWIN(const Game& g, View& v, std::uint32_t scale = 0, bool fullscreen = false, bool fit = false);

}  // namespace tervalon
