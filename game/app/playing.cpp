// The run being played.
#include "game/app/playing.h"

#include "base/keys.h"
#include "display/window.h"
#include "game/app/words.h"
#include "game/rules/rules.h"
#include "game/view/menu.h"

namespace tervalon {

using namespace base::keys;

Answer Playing::turn(Run& r) {
  for (;;) {
    if (const std::uint64_t due = clock_.due(r.g.FRAME, now_()); due > 0) {
      // Catch up in whole frames after a stall, then draw once.
      const Pass p = frame_pass(r.g, due);
      if (p.drawn) draw(r);
      r.rec.pass(p.frames);
      if (const Answer a = seen_(r); a.kind != Answer::none) return a;
      if (p.end) return {Answer::ended};
    }
    if (!display::ISNEXTMSG()) return {};
    if (const Answer a = message(r, display::MS); a.kind != Answer::none) return a;
  }
}

Answer Playing::message(Run& r, const display::MSG& m) {
  if (m.MESSAGE == WM_KEYDOWN) {
    const bool playing = r.g.PAUSE == 0;
    // The quitting key is never recorded, nor given to the game: the
    // recording ends where play ended.
    if (m.WPARAM == K_ESC) return {Answer::back};
    if (playing && (m.WPARAM == K_P || m.WPARAM == K_PAUSE)) return {Answer::pause_menu};
    if (playing && m.WPARAM == K_R) return {Answer::restart_level};
    // M turns sound off and on: the player's business, never recorded.
    if (m.WPARAM == K_M) return {Answer::mute};
  }
  // The guide shows while Tab is held; it is the window's business, not the
  // game's, and never recorded.
  if ((m.MESSAGE == WM_KEYDOWN || m.MESSAGE == WM_KEYUP) && m.WPARAM == K_TAB) {
    if (tab_held_ != (m.MESSAGE == WM_KEYDOWN)) {
      tab_held_ = m.MESSAGE == WM_KEYDOWN;
      draw(r);
    }
    return {};
  }
  r.rec.message(m.MESSAGE, m.WPARAM);
  handle_message(r.g, m.MESSAGE, m.WPARAM);
  return seen_(r);
}

// One presentation per picture, whatever is drawn over it.
void Playing::draw(Run& r) {
  const bool guide = guide_ || tab_held_;
  Assists assists = assists_ ? assists_() : Assists{};
  assists.speed = speed_;
  const bool marks = !assist_lines(assists).empty();
  if (note_.empty() && !guide && !goal_ && !marks) {
    DRAWALL(r.g, v_);
    return;
  }
  compose_frame(r.g, v_);
  if (goal_) draw_goal(r.g);
  if (guide) draw_guide(r.g, v_);
  if (!note_.empty()) draw_note(r.g, v_, note_);
  if (marks) draw_assists(r.g, assists);
  display::FRESHWIN();
  if (r.g.FRAME >= note_until_) note_.clear();
}

void Playing::resume(Run& r, bool draw) {
  if (draw) this->draw(r);
  clock_.restart(r.g.FRAME, now_());
}

void Playing::restart_level(Run& r) {
  if (!r.entry) return;
  const bool left = r.g.KL != 0, right = r.g.KR != 0, up = r.g.KU != 0;
  const std::uint64_t from = r.g.FRAME;
  r.g = *r.entry;
  r.rec.rewind(r.g.FRAME, "# " + level_en(r.log.current()) + " restarted at frame " + std::to_string(from) +
                              "; what was played since:");
  r.log.resync(r.g);
  r.heard = event_state(r.g);
  hold_keys(r, left, right, up);
}

void Playing::note(std::string line, std::uint64_t until) {
  note_ = std::move(line);
  note_until_ = until;
}

void hold_keys(Run& r, bool left, bool right, bool up) {
  auto key = [&](std::int32_t k, bool held, bool was_held) {
    if (held == was_held) return;
    const std::uint32_t message = held ? WM_KEYDOWN : WM_KEYUP;
    r.rec.message(message, k);
    handle_message(r.g, message, k);
  };
  key(K_LEFT, left, r.g.KL != 0);
  key(K_RIGHT, right, r.g.KR != 0);
  if (!up) key(K_UP, false, r.g.KU != 0);
}

}  // namespace tervalon
