// Cell to pixel: the centre of a player box standing in a cell.
#pragma once

#include <cstdint>

#include "base/checked.h"
#include "game/rules/state.h"

namespace tervalon {

// Centre x of column x: 20x + 10.
inline std::int32_t BD2X(std::int32_t x) { return base::add(base::mul(x, std::int32_t{BDSZ}), std::int32_t{10}); }

// Centre y of a box whose bottom edge lies on the bottom edge of row y: the
// top of row y + 1, less half the box height, 20y + 2.
inline std::int32_t BD2Y(std::int32_t y) {
  return base::sub(base::add(base::mul(y, std::int32_t{BDSZ}), std::int32_t{BDSZ}), std::int32_t{18});
}

}  // namespace tervalon
