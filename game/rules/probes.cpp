// Board contact probes. A probe point maps to a cell by truncating toward
// zero, so the points 1 pixel inside each edge see every cell the edge
// overlaps and never a cell that only touches a corner.
#include "game/rules/probes.h"

#include <cmath>

#include "game/rules/state.h"

namespace tervalon {

namespace {

bool solid(const Game& g, double px, double py) {
  return g.BD[g.BDLV][base::trunc_i64(px / 20.0)][base::trunc_i64(py / 20.0)] == 1;
}

}  // namespace

bool ISTOP(const Game& g) { return solid(g, g.PX + 1 - 8, g.PY - 18) || solid(g, g.PX - 1 + 8, g.PY - 18); }

bool ISBOT(const Game& g) { return solid(g, g.PX + 1 - 8, g.PY + 18) || solid(g, g.PX - 1 + 8, g.PY + 18); }

bool ISLEFT(const Game& g) {
  double x = g.PX - 8 - 1;
  return solid(g, x, g.PY + 1 - 18) || solid(g, x, g.PY) || solid(g, x, g.PY - 1 + 18);
}

bool ISRIGHT(const Game& g) {
  double x = g.PX + 8;
  return solid(g, x, g.PY + 1 - 18) || solid(g, x, g.PY) || solid(g, x, g.PY - 1 + 18);
}

}  // namespace tervalon
