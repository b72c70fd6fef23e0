// The game's window: board-sized, titled, with its icon, plus the tiles and
// work surfaces every frame uses.
#pragma once

namespace tervalon {

// Opens the window at W x H = 20 BDW x 20 BDH and makes PTEMP, PTEXT and the
// six board tiles. Game thread, once, after INITBD.
void INITWIN();

}  // namespace tervalon
