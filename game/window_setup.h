// The game's window: board-sized, titled, with its icon, plus the tiles and
// work surfaces every frame uses.
#pragma once

namespace tervalon {

// Opens the window for pictures of W x H = 20 BDW x 20 BDH, scaled by a whole
// factor (OPTIONS.scale, or the largest that suits the screen), in full
// screen with OPTIONS.fullscreen, and makes PTEMP, PTEXT and the six board
// tiles. Game thread, once, after INITBD.
void INITWIN();

}  // namespace tervalon
