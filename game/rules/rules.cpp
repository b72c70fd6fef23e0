// Frame and progression rules. The interlude is a handshake on PAUSE: a frame
// sets 1 at a goal, the fade sets 2, a key press moves the game on and sets 3,
// the fade sets 0 again.
#include "game/rules/rules.h"

#include "game/rules/level_start.h"
#include "game/rules/step.h"
#include "game/rules/trail.h"

namespace tervalon {

namespace {

std::uint32_t head(const Game& g) { return g.STPN[g.BDLV]; }

// The level's goal for leaving forward: level 0, or any level of the forward pass.
bool leaving_forward(const Game& g) { return (g.BDLV == 0 && g.GSIT == 0) || (g.BDLV <= g.BDLN && g.GSIT == 1); }

bool leaving_backward(const Game& g) { return g.BDLV >= 1 && g.GSIT == 2; }

// Whether the main loop draws after a pass: when the level has a trail point,
// a fade-out runs or the level is 0. Nothing else moves on screen.
bool frame_is_drawn(const Game& g) { return g.STPN[g.BDLV] > 0 || g.PAUSE == 3 || g.BDLV == 0; }

}  // namespace

bool game_frame(Game& g) {
  g.FRAME = base::add(g.FRAME, std::uint64_t{1});
  if (g.PAUSE == 0) {
    MAKESTP(g);
    if (g.STPN[g.BDLV] >= STPMAX) {
      INITLV(g);
      g.STPN[g.BDLV] = 0;
    }
    ERASESTP(g);
    if (ENDOSTP(g, head(g)) && leaving_forward(g)) g.PAUSE = 1;
    if (ENDISTP(g, head(g)) && leaving_backward(g)) g.PAUSE = 1;
  }
  return ENDESTP(g, head(g));
}

Pass frame_pass(Game& g, std::uint64_t frames, bool last) {
  Pass p;
  while (p.frames < frames && !p.end) {
    p.end = game_frame(g);
    ++p.frames;
  }
  // A pass cut short by the end is never drawn: the window is closing.
  p.drawn = last && p.frames == frames && frame_is_drawn(g);
  if (p.drawn) fade_step(g);
  return p;
}

void progress(Game& g) {
  if (ENDOSTP(g, head(g))) {
    if (g.BDLV == 0 && g.GSIT == 0) {
      g.GSIT = 1;
      g.BDLV = 1;
      INITLV(g);
      g.PAUSE = 3;
    } else if (g.BDLV < g.BDLN && g.GSIT == 1) {
      g.BDLV = base::narrow<std::int8_t>(g.BDLV + 1);
      INITLV(g);
      g.PAUSE = 3;
    } else if (g.BDLV == g.BDLN && g.GSIT == 1) {
      g.GSIT = 2;  // the way back starts where the forward pass ended
      g.PAUSE = 3;
    }
  }
  if (ENDISTP(g, head(g))) {
    if (g.BDLV == 1 && g.GSIT == 2) {
      g.GSIT = 0;
      g.BDLV = 0;
      INITLV(g);
      g.PAUSE = 3;
    } else if (g.BDLV > 1 && g.GSIT == 2) {
      g.BDLV = base::narrow<std::int8_t>(g.BDLV - 1);
      INITLV(g);
      g.PAUSE = 3;
    }
  }
}

bool handle_message(Game& g, std::uint32_t message, std::int32_t wparam) {
  bool close = false;
  if (message == WM_KEYDOWN) {
    if (wparam == K_LEFT) g.KL = 1;
    if (wparam == K_RIGHT) g.KR = 1;
    if (wparam == K_UP && g.KU < 127) ++g.KU;  // only 0, 1 and 2-or-more matter
    if (wparam == K_ESC) close = true;
    if (g.PAUSE == 2) progress(g);
  }
  if (message == WM_KEYUP) {
    if (wparam == K_LEFT) g.KL = 0;
    if (wparam == K_RIGHT) g.KR = 0;
    if (wparam == K_UP) g.KU = 0;
  }
  return close;
}

void fade_step(Game& g) {
  if (g.PAUSE == 1 && g.CTEMP == 0) {
    std::int8_t half = g.GSIT < 2 ? 1 : 2;
    for (int STEXTI = 1; STEXTI <= 4; ++STEXTI) g.CURTEXT[STEXTI] = g.STEXT[g.BDLV][half][STEXTI];
    g.CURTEXTC = g.GSIT < 2 ? 191 * g.C[1] : 127 * g.C[2];
  }
  if (g.PAUSE == 1) g.CTEMP = base::narrow<std::uint8_t>(g.CTEMP + 4);
  if (g.PAUSE == 3) g.CTEMP = base::narrow<std::uint8_t>(g.CTEMP - 4);
  if (g.CTEMP == 252) g.PAUSE = 2;
  if (g.CTEMP == 0) g.PAUSE = 0;
  g.CTEXT = static_cast<std::uint8_t>(255 - g.CTEMP);
}

}  // namespace tervalon
