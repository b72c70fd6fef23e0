// The trail rules: overlap of two player boxes, ghosts caught, the goal tests
// of the three marked cells, and the ghost rules applied once per frame.
#pragma once

#include <cstdint>

#include "game/rules/state.h"

namespace tervalon {

// Two boxes centred at (X1, Y1) and (X2, Y2) overlap with a positive area.
bool HITSTP(double X1, double X2, double Y1, double Y2);
// Trail points STPN and STPC of the current level overlap.
bool HITSTP(const Game& g, std::uint32_t STPN, std::uint32_t STPC);

// Every existing ghost of the current level has been caught.
bool NOSTP(const Game& g);

// How many ghosts of the current level are caught (none but on the way back).
std::uint32_t caught_ghosts(const Game& g);

// Trail point STPN of the current level touches the end cell, and GSIT = 0.
bool ENDESTP(const Game& g, std::uint32_t STPN);
// ... touches the entry cell and every ghost is caught.
bool ENDISTP(const Game& g, std::uint32_t STPN);
// ... touches the exit cell at an index of at least STPM.
bool ENDOSTP(const Game& g, std::uint32_t STPN);

// Forward pass: a ghost the head touches cuts the trail back to it. Backward
// pass: a touched ghost is caught; an uncaught ghost on the exit sends the
// player back to the exit and releases the ghosts behind it.
void ERASESTP(Game& g);

}  // namespace tervalon
