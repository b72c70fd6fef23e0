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
  auto& n = STPN[BDLV];
  const auto& xs = STPX[BDLV];
  const auto& ys = STPY[BDLV];
  auto& caught = STPP[BDLV];
  // The exit's standing position, once per call rather than once per ghost:
  // on_exit(i) is ENDOSTP(i).
  const double exit_x = BD2X(BDOX[BDLV]), exit_y = BD2Y(BDOY[BDLV]);
  const std::uint32_t least = STPM[BDLV];
  auto on_exit = [&](std::uint32_t i) { return HITSTP(xs[i], exit_x, ys[i], exit_y) && least <= i; };

  std::int32_t STPPI = 0;
  std::int32_t STPC = static_cast<std::int32_t>(n) - STPSTP;
  while (STPC > 0) {
    ++STPPI;
    std::uint32_t ghost = static_cast<std::uint32_t>(STPC);
    if (HITSTP(xs[n], xs[ghost], ys[n], ys[ghost])) {
      if (GSIT == 1) {  // rewind
        n = ghost;
        PX = xs[ghost];
        PY = ys[ghost];
        VX = 0;
        VY = 0;
      }
      if (GSIT == 2) caught[STPPI] = true;  // catch
    }
    if (GSIT == 2 && !caught[STPPI] && on_exit(ghost)) {  // back to the exit
      PX = exit_x;
      PY = exit_y;
      VX = 0;
      VY = 0;
      for (std::int32_t STPPII = STPPI + 1; STPPII <= STPPMAX; ++STPPII) caught[STPPII] = false;
    }
    STPC -= STPSTP;
  }
}

}  // namespace tervalon
