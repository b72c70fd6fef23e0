// The game's window: board-sized, titled, with its icon, plus the tiles and
// work surfaces every frame uses.
#pragma once

#include <cstdint>

#include "game/rules/state.h"
#include "game/view/draw.h"

namespace tervalon {

// Opens the window for pictures of the board's size, W x H, scaled by a
// whole factor (`scale`, or with 0 the largest that suits the screen), in
// full screen with `fullscreen`, and makes the view's PTEMP, PTEXT and six
// board tiles. Game thread, once, after INITBD.
void INITWIN(const Game& g, View& v, std::uint32_t scale = 0, bool fullscreen = false);

}  // namespace tervalon
