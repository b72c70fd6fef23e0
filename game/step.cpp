// The player step. Each axis moves and then collides on its own, vertical
// first; the probes decide contact, the snaps put the box flush with the cell
// boundary as a whole number of pixels.
#include "step.h"

#include <cmath>

#include "probes.h"
#include "state.h"

namespace tervalon {

namespace {

// Whole cells times 20, as a float: the snapped positions are exact.
double cells_px(double v) { return static_cast<double>(base::mul(base::trunc_i64(v / 20.0), std::int64_t{20})); }

void speed_from_keys() {
  if (VX == 0) {
    VX = VX + (KR - KL) * AX;
    if (VX > 0) VX = 2.0;
    if (VX < 0) VX = -2.0;
  } else if (VX > 0) {
    if (KL == KR) VX = std::nearbyint(VX * 0.5);
    if (KR > 0 && KL == 0)
      VX = VX + AX;
    else
      VX = VX - AX;
    if (VX < 0) VX = 0;
  } else {
    if (KL == KR) VX = std::nearbyint(VX * 0.5);
    if (KL > 0 && KR == 0)
      VX = VX - AX;
    else
      VX = VX + AX;
    if (VX > 0) VX = 0;
  }
  if (VX < -MAXVX) VX = -4.0;
  if (VX > MAXVX) VX = 4.0;
}

void jump() {
  if (KU == 1) {
    if (ISBOT() || ISLEFT() || ISRIGHT()) VY = -5.0;
    if (!ISBOT()) {
      if (ISLEFT()) VX = 4.0;
      if (ISRIGHT()) VX = -4.0;
    }
  }
  if (KU >= 1) KU = 2;
}

}  // namespace

void MAKESTP() {
  speed_from_keys();
  jump();

  VY = VY + AY;
  PY = PY + VY;
  if (PY < 20.0) PY = 20.0;
  if (PY > std::int64_t{H} - 20) PY = static_cast<double>(std::int64_t{H} - 20);

  if (VY > 0 && ISBOT()) {
    VY = 0;
    PY = cells_px(PY + 18.0) - 18.0;
  }
  if (VY < 0 && ISTOP()) {
    VY = 0;
    PY = cells_px(PY - 18.0) + 18.0 + 20.0;
  }

  PX = PX + VX;
  if (PX < 20.0) PX = 20.0;
  if (PX > std::int64_t{W} - 20) PX = static_cast<double>(std::int64_t{W} - 20);

  if (VX > 0 && ISRIGHT()) {
    VX = 0;
    PX = cells_px(PX + 8.0) - 8.0;
  }
  if (VX < 0 && ISLEFT()) {
    VX = 0;
    PX = cells_px(PX - 8.0 - 1) + 8.0 + 20.0;
  }

  std::uint32_t& n = STPN[BDLV];
  if (PX == STPX[BDLV][n] && PY == STPY[BDLV][n]) return;
  n = base::add(n, 1u);
  STPX[BDLV][n] = PX;
  STPY[BDLV][n] = PY;
}

}  // namespace tervalon
