// Trail tests and erasure. Ghost k of the current level is trail point
// STPN - 160k while that index is above 0.
#include "trail.h"

#include <cmath>

#include "coords.h"
#include "state.h"

namespace tervalon {

namespace {

bool hits_cell(std::uint32_t i, std::int32_t x, std::int32_t y) {
  return HITSTP(STPX[BDLV][i], BD2X(x), STPY[BDLV][i], BD2Y(y));
}

}  // namespace

bool HITSTP(double X1, double X2, double Y1, double Y2) {
  return std::fabs(X1 - X2) < 16.0 && std::fabs(Y1 - Y2) < 36.0;
}

bool HITSTP(std::uint32_t STPN, std::uint32_t STPC) {
  return HITSTP(STPX[BDLV][STPN], STPX[BDLV][STPC], STPY[BDLV][STPN], STPY[BDLV][STPC]);
}

bool NOSTP() {
  bool result = true;
  std::int32_t STPC = static_cast<std::int32_t>(STPN[BDLV]) - STPSTP;
  std::int32_t STPPI = 0;
  while (STPC > 0) {
    ++STPPI;
    if (!STPP[BDLV][STPPI]) result = false;
    STPC -= STPSTP;
  }
  return result;
}

bool ENDESTP(std::uint32_t STPN) { return hits_cell(STPN, BDEX[BDLV], BDEY[BDLV]) && GSIT == 0; }

bool ENDISTP(std::uint32_t STPN) { return hits_cell(STPN, BDIX[BDLV], BDIY[BDLV]) && NOSTP(); }

bool ENDOSTP(std::uint32_t STPN) { return hits_cell(STPN, BDOX[BDLV], BDOY[BDLV]) && STPM[BDLV] <= STPN; }

void ERASESTP() {
  std::int32_t STPPI = 0;
  std::int32_t STPC = static_cast<std::int32_t>(STPN[BDLV]) - STPSTP;
  while (STPC > 0) {
    ++STPPI;
    std::uint32_t ghost = static_cast<std::uint32_t>(STPC);
    if (HITSTP(STPN[BDLV], ghost)) {
      if (GSIT == 1) {  // rewind
        STPN[BDLV] = ghost;
        PX = STPX[BDLV][ghost];
        PY = STPY[BDLV][ghost];
        VX = 0;
        VY = 0;
      }
      if (GSIT == 2) STPP[BDLV][STPPI] = true;  // catch
    }
    if (GSIT == 2 && !STPP[BDLV][STPPI] && ENDOSTP(ghost)) {  // reset to the exit
      PX = BD2X(BDOX[BDLV]);
      PY = BD2Y(BDOY[BDLV]);
      VX = 0;
      VY = 0;
      for (std::int32_t STPPII = STPPI + 1; STPPII <= STPPMAX; ++STPPII) STPP[BDLV][STPPII] = false;
    }
    STPC -= STPSTP;
  }
}

}  // namespace tervalon
