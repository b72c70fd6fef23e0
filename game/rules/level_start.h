// Level start: the player at rest on the start cell of the current level.
#pragma once

#include "game/rules/state.h"

namespace tervalon {

// Entry cell with an empty trail on level 0 and in the forward pass; exit cell
// with the forward trail kept in the backward pass. Clears the caught flags.
void INITLV(Game& g);

}  // namespace tervalon
