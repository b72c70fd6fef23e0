// Board contact probes. A probe point maps to a cell by truncating toward
// zero, so the points 1 pixel inside each edge see every cell the edge
// overlaps and never a cell that only touches a corner.
#include "probes.h"

#include <cmath>

#include "state.h"

namespace tervalon {

namespace {

bool solid(double px, double py) {
  return BD[BDLV][base::trunc_i64(px / 20.0)][base::trunc_i64(py / 20.0)] == 1;
}

}  // namespace

bool ISTOP() { return solid(PX + 1 - 8, PY - 18) || solid(PX - 1 + 8, PY - 18); }

bool ISBOT() { return solid(PX + 1 - 8, PY + 18) || solid(PX - 1 + 8, PY + 18); }

bool ISLEFT() {
  double x = PX - 8 - 1;
  return solid(x, PY + 1 - 18) || solid(x, PY) || solid(x, PY - 1 + 18);
}

bool ISRIGHT() {
  double x = PX + 8;
  return solid(x, PY + 1 - 18) || solid(x, PY) || solid(x, PY - 1 + 18);
}

}  // namespace tervalon
