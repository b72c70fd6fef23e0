// Board contact probes: does the player box touch a wall on one side?
// They read PX, PY and the board of the current level; nothing else.
#pragma once

#include "game/rules/state.h"

namespace tervalon {

bool ISTOP(const Game& g);    // ceiling: the top edge lies inside a wall (touching is not enough)
bool ISBOT(const Game& g);    // floor: the bottom edge lies on or inside a wall
bool ISLEFT(const Game& g);   // the column just left of the box holds a wall
bool ISRIGHT(const Game& g);  // the column just right of the box holds a wall

}  // namespace tervalon
