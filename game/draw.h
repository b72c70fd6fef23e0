// Drawing a frame: the board, the ghosts, markers and player, the story-text
// overlay, and the whole composition presented in the window. Game thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "state.h"
#include "surface.h"

namespace tervalon {

extern display::PBITMAP PTEMP;  // snapshot of the frame under the overlay
extern display::PBITMAP PTEXT;  // the story text page
extern Array<display::PBITMAP, 0, 5> PBD;  // one 20 x 20 tile per cell value

// Tile BDK at cell (BDX, BDY) of the main surface.
void DRAWBD(std::int32_t BDX, std::int32_t BDY, std::int32_t BDK);
// Every cell of the current level, column by column.
void DRAWBDALL();

// The player-sized box of trail point STPC, darkened by COLORC (0..128).
void DRAWRECT(std::uint32_t STPC, std::uint32_t COLORC);
// Ghosts, the entry, exit and end markers, and the player on top.
void DRAWRECTALL();

// The layout width of a story line: its character cells times the font width.
std::uint32_t GETSTRWIDTH(std::string_view S);
// The fade bookkeeping, then the overlay: the frame faded towards white and the
// text page laid over it.
void DRAWPAUSE();
// CLEAR, DRAWBDALL, DRAWRECTALL, DRAWPAUSE, FRESHWIN.
void DRAWALL();

// The picture DRAWALL would present now, left in the main surface, without
// moving the fade on.
void compose_frame();

}  // namespace tervalon
