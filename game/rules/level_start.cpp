// Level start.
#include "game/rules/level_start.h"

#include "game/rules/coords.h"
#include "game/rules/state.h"

namespace tervalon {

void INITLV(Game& g) {
  if (g.GSIT < 2) {
    g.PX = BD2X(g.BDIX[g.BDLV]);
    g.PY = BD2Y(g.BDIY[g.BDLV]);
    g.STPN[g.BDLV] = 0;
  }
  if (g.GSIT == 2) {
    g.PX = BD2X(g.BDOX[g.BDLV]);
    g.PY = BD2Y(g.BDOY[g.BDLV]);
  }
  g.VX = 0.0;
  g.VY = 0.0;
  for (std::uint32_t STPPI = 0; STPPI <= STPPMAX; ++STPPI) g.STPP[g.BDLV][STPPI] = false;
  g.STPX[g.BDLV][0] = g.PX;
  g.STPY[g.BDLV][0] = g.PY;
}

}  // namespace tervalon
