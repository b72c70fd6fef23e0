// Level start.
#include "level_start.h"

#include "coords.h"
#include "state.h"

namespace tervalon {

void INITLV() {
  if (GSIT < 2) {
    PX = BD2X(BDIX[BDLV]);
    PY = BD2Y(BDIY[BDLV]);
    STPN[BDLV] = 0;
  }
  if (GSIT == 2) {
    PX = BD2X(BDOX[BDLV]);
    PY = BD2Y(BDOY[BDLV]);
  }
  VX = 0.0;
  VY = 0.0;
  for (std::uint32_t STPPI = 0; STPPI <= STPPMAX; ++STPPI) STPP[BDLV][STPPI] = false;
  STPX[BDLV][0] = PX;
  STPY[BDLV][0] = PY;
}

}  // namespace tervalon
