// The on-screen guide: one line over the top of the board saying where the
// player is and what the exit waits for, and a mark over the entry, where
// the next ghost will appear. Drawn over the composed picture, never into
// the game's surfaces, so recordings and snapshots cannot see it.
#pragma once

#include <string>

#include "game/rules/state.h"
#include "game/view/draw.h"

namespace tervalon {

// The guide's line for the game as it is now, in both languages: the level
// and pass, the trail against the length the exit needs (forward), the
// ghosts there are, caught and left (back), and the moves until the next
// ghost appears.
std::string guide_line(const Game& g);

// Draws the guide over the picture now in the main surface; the caller
// presents it.
// Game thread.
void draw_guide(const Game& g, View& v);

}  // namespace tervalon
