// The player step. Each axis moves and then collides on its own, vertical
// first; the probes decide contact, the snaps put the box flush with the cell
// boundary as a whole number of pixels.
#include "game/rules/step.h"

#include <cmath>

#include "game/rules/probes.h"
#include "game/rules/state.h"

namespace tervalon {

namespace {

// Whole cells times 20, as a float: the snapped positions are exact.
double cells_px(double v) { return static_cast<double>(base::mul(base::trunc_i64(v / 20.0), std::int64_t{20})); }

void speed_from_keys(Game& g) {
  if (g.VX == 0) {
    g.VX = g.VX + (g.KR - g.KL) * g.AX;
    if (g.VX > 0) g.VX = 2.0;
    if (g.VX < 0) g.VX = -2.0;
  } else if (g.VX > 0) {
    if (g.KL == g.KR) g.VX = std::nearbyint(g.VX * 0.5);
    if (g.KR > 0 && g.KL == 0)
      g.VX = g.VX + g.AX;
    else
      g.VX = g.VX - g.AX;
    if (g.VX < 0) g.VX = 0;
  } else {
    if (g.KL == g.KR) g.VX = std::nearbyint(g.VX * 0.5);
    if (g.KL > 0 && g.KR == 0)
      g.VX = g.VX - g.AX;
    else
      g.VX = g.VX + g.AX;
    if (g.VX > 0) g.VX = 0;
  }
  if (g.VX < -MAXVX) g.VX = -4.0;
  if (g.VX > MAXVX) g.VX = 4.0;
}

void jump(Game& g) {
  if (g.KU == 1) {
    if (ISBOT(g) || ISLEFT(g) || ISRIGHT(g)) g.VY = -5.0;
    if (!ISBOT(g)) {
      if (ISLEFT(g)) g.VX = 4.0;
      if (ISRIGHT(g)) g.VX = -4.0;
    }
  }
  if (g.KU >= 1) g.KU = 2;
}

}  // namespace

void MAKESTP(Game& g) {
  speed_from_keys(g);
  jump(g);

  g.VY = g.VY + g.AY;
  g.PY = g.PY + g.VY;
  if (g.PY < 20.0) g.PY = 20.0;
  if (g.PY > static_cast<double>(std::int64_t{g.H} - 20)) g.PY = static_cast<double>(std::int64_t{g.H} - 20);

  if (g.VY > 0 && ISBOT(g)) {
    g.VY = 0;
    g.PY = cells_px(g.PY + 18.0) - 18.0;
  }
  if (g.VY < 0 && ISTOP(g)) {
    g.VY = 0;
    g.PY = cells_px(g.PY - 18.0) + 18.0 + 20.0;
  }

  g.PX = g.PX + g.VX;
  if (g.PX < 20.0) g.PX = 20.0;
  if (g.PX > static_cast<double>(std::int64_t{g.W} - 20)) g.PX = static_cast<double>(std::int64_t{g.W} - 20);

  if (g.VX > 0 && ISRIGHT(g)) {
    g.VX = 0;
    g.PX = cells_px(g.PX + 8.0) - 8.0;
  }
  if (g.VX < 0 && ISLEFT(g)) {
    g.VX = 0;
    g.PX = cells_px(g.PX - 8.0 - 1) + 8.0 + 20.0;
  }

  std::uint32_t& n = g.STPN[g.BDLV];
  if (g.PX == g.STPX[g.BDLV][n] && g.PY == g.STPY[g.BDLV][n]) return;
  n = base::add(n, 1u);
  g.STPX[g.BDLV][n] = g.PX;
  g.STPY[g.BDLV][n] = g.PY;
}

}  // namespace tervalon
