// The player step: keys to speed, jump, gravity, movement with collision, and
// the new position appended to the trail when it changed.
#pragma once

#include "game/rules/state.h"

namespace tervalon {

// One frame of player motion. Called by the game frame while PAUSE = 0.
void MAKESTP(Game& g);

}  // namespace tervalon
