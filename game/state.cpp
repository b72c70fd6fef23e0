// Definitions and start values of the game state.
#include "state.h"

namespace tervalon {

bool CHEAT;
std::int8_t GSIT;
Array<std::uint32_t, 0, 4> C;
std::uint32_t W, H;
std::uint8_t CTEMP, CTEXT;
std::uint64_t FRAME;
std::uint32_t PAUSE;

PerLevel<Array<Array<std::int8_t, 0, BDHMAX - 1>, 0, BDWMAX - 1>> BD;
std::int8_t BDLV, BDLN, BDW, BDH;
PerLevel<std::int32_t> BDIX, BDIY, BDOX, BDOY, BDEX, BDEY;

PerLevel<Array<double, 0, STPMAX>> STPX, STPY;
PerLevel<std::uint32_t> STPN, STPM;
PerLevel<Array<bool, 0, STPPMAX>> STPP;

PerLevel<Array<Array<std::string, 1, 4>, 1, 2>> STEXT;
std::uint32_t STEXTI;
Array<std::string, 1, 4> CURTEXT;
std::uint32_t CURTEXTC, CURTEXTX, CURTEXTY;

double PX, PY, VX, VY;
double AX = 0.1;
double AY = 0.15;
std::int8_t KL, KR, KU;

namespace {

template <typename A>
void fill(A& a, const auto& v) {
  for (auto& x : a) x = v;
}

void set_colour_steps() {
  C[0] = 0x10000;
  C[1] = 0x10000;
  C[2] = 0x101;
  C[3] = 0x101;
  C[4] = 0x1;
}

// The one table whose start values are not zero.
const bool colours_set = (set_colour_steps(), true);

}  // namespace

void reset_state() {
  CHEAT = false;
  GSIT = 0;
  set_colour_steps();
  W = H = 0;
  CTEMP = CTEXT = 0;
  FRAME = 0;
  PAUSE = 0;
  for (auto& level : BD)
    for (auto& column : level) fill(column, std::int8_t{0});
  BDLV = BDLN = BDW = BDH = 0;
  for (auto* t : {&BDIX, &BDIY, &BDOX, &BDOY, &BDEX, &BDEY}) fill(*t, 0);
  for (auto& t : STPX) fill(t, 0.0);
  for (auto& t : STPY) fill(t, 0.0);
  fill(STPN, 0u);
  fill(STPM, 0u);
  for (auto& flags : STPP) fill(flags, false);
  for (auto& level : STEXT)
    for (auto& half : level) fill(half, std::string());
  STEXTI = 0;
  fill(CURTEXT, std::string());
  CURTEXTC = CURTEXTX = CURTEXTY = 0;
  PX = PY = VX = VY = 0.0;
  AX = 0.1;
  AY = 0.15;
  KL = KR = KU = 0;
}

}  // namespace tervalon
