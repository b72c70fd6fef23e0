// Frame and progression rules. The interlude is a handshake on PAUSE: a frame
// sets 1 at a goal, the fade sets 2, a key press moves the game on and sets 3,
// the fade sets 0 again.
#include "rules.h"

#include "level_start.h"
#include "state.h"
#include "step.h"
#include "trail.h"

namespace tervalon {

namespace {

std::uint32_t head() { return STPN[BDLV]; }

// The level's goal for leaving forward: level 0, or any level of the forward pass.
bool leaving_forward() { return (BDLV == 0 && GSIT == 0) || (BDLV <= BDLN && GSIT == 1); }

bool leaving_backward() { return BDLV >= 1 && GSIT == 2; }

}  // namespace

bool game_frame() {
  FRAME = base::add(FRAME, std::uint64_t{1});
  if (PAUSE == 0) {
    MAKESTP();
    if (STPN[BDLV] >= STPMAX) {
      INITLV();
      STPN[BDLV] = 0;
    }
    ERASESTP();
    if (ENDOSTP(head()) && leaving_forward()) PAUSE = 1;
    if (ENDISTP(head()) && leaving_backward()) PAUSE = 1;
  }
  return ENDESTP(head());
}

bool frame_is_drawn() { return STPN[BDLV] > 0 || PAUSE == 3 || BDLV == 0; }

void progress() {
  if (ENDOSTP(head())) {
    if (BDLV == 0 && GSIT == 0) {
      GSIT = 1;
      BDLV = 1;
      INITLV();
      PAUSE = 3;
    } else if (BDLV < BDLN && GSIT == 1) {
      BDLV = base::narrow<std::int8_t>(BDLV + 1);
      INITLV();
      PAUSE = 3;
    } else if (BDLV == BDLN && GSIT == 1) {
      GSIT = 2;  // the way back starts where the forward pass ended
      PAUSE = 3;
    }
  }
  if (ENDISTP(head())) {
    if (BDLV == 1 && GSIT == 2) {
      GSIT = 0;
      BDLV = 0;
      INITLV();
      PAUSE = 3;
    } else if (BDLV > 1 && GSIT == 2) {
      BDLV = base::narrow<std::int8_t>(BDLV - 1);
      INITLV();
      PAUSE = 3;
    }
  }
}

bool handle_message(std::uint32_t message, std::int32_t wparam) {
  bool close = false;
  if (message == WM_KEYDOWN) {
    if (wparam == K_LEFT) KL = 1;
    if (wparam == K_RIGHT) KR = 1;
    if (wparam == K_UP && KU < 127) ++KU;  // only 0, 1 and 2-or-more matter
    if (wparam == K_ESC) close = true;
    if (PAUSE == 2) progress();
  }
  if (message == WM_KEYUP) {
    if (wparam == K_LEFT) KL = 0;
    if (wparam == K_RIGHT) KR = 0;
    if (wparam == K_UP) KU = 0;
  }
  return close;
}

void fade_step() {
  if (PAUSE == 1 && CTEMP == 0) {
    std::int8_t half = GSIT < 2 ? 1 : 2;
    for (STEXTI = 1; STEXTI <= 4; ++STEXTI) CURTEXT[STEXTI] = STEXT[BDLV][half][STEXTI];
    CURTEXTC = GSIT < 2 ? 191 * C[1] : 127 * C[2];
  }
  if (PAUSE == 1) CTEMP = base::narrow<std::uint8_t>(CTEMP + 4);
  if (PAUSE == 3) CTEMP = base::narrow<std::uint8_t>(CTEMP - 4);
  if (CTEMP == 252) PAUSE = 2;
  if (CTEMP == 0) PAUSE = 0;
  CTEXT = static_cast<std::uint8_t>(255 - CTEMP);
}

}  // namespace tervalon
