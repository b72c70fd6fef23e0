// Board contact probes: does the player box touch a wall on one side?
// They read PX, PY and the board of the current level; nothing else.
#pragma once

namespace tervalon {

bool ISTOP();    // ceiling: the top edge lies inside a wall (touching is not enough)
bool ISBOT();    // floor: the bottom edge lies on or inside a wall
bool ISLEFT();   // the column just left of the box holds a wall
bool ISRIGHT();  // the column just right of the box holds a wall

}  // namespace tervalon
