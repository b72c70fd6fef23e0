// The run being played: its frames as they fall due, the keys the player
// presses, restarting the level, and what is drawn over it: the goal, the
// guide, notes and the marks of the assists in force.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "display/queue.h"
#include "game/app/clock.h"
#include "game/app/run.h"
#include "game/app/screen.h"
#include "game/view/draw.h"
#include "game/view/guide.h"

namespace tervalon {

class Playing {
 public:
  // `now` is the display clock in seconds; `seen` reads the run's state
  // after every pass and key message, and may answer (a practice that is over).
  Playing(View& v, std::function<double()> now, std::function<Answer(Run&)> seen)
      : v_(v), now_(std::move(now)), seen_(std::move(seen)) {}

  // The frames due now, then the messages that came, one
  // after another with the frames due before each, until none is left or
  // one answers: Escape (back), the pause key, M (mute), the end cell (the
  // journey's end), a practice over. Never waits.
  Answer turn(Run& r);
  // The display time when the run's next frame falls due.
  double wake(const Run& r) const { return clock_.next(r.g.FRAME); }
  // Play goes on from the frame shown (drawn again unless `draw` is false),
  // as if no time had passed: after a menu, a restart, a practice begun.
  void resume(Run& r, bool draw = true);
  // The level again from the state it was entered in, the keys held now
  // held; the caller resumes play (App::apply, once for every answer).
  void restart_level(Run& r);

  void set_speed(std::uint32_t percent) {
    clock_.set_speed(percent);
    speed_ = percent;
  }
  void set_guide(bool on) { guide_ = on; }
  void set_goal(bool on) { goal_ = on; }
  // Asked at every picture: the sound off, a practice (the speed is known here).
  void set_assists(std::function<Assists()> in_force) { assists_ = std::move(in_force); }
  // `line` shown over the bottom of the picture until frame `until`.
  void note(std::string line, std::uint64_t until);
  const std::string& note() const { return note_; }

 private:
  Answer message(Run& r, const display::MSG& m);
  void draw(Run& r);

  View& v_;
  std::function<double()> now_;
  std::function<Answer(Run&)> seen_;
  std::function<Assists()> assists_;
  GameClock clock_;
  std::uint32_t speed_ = 100;
  bool guide_ = false, goal_ = true, tab_held_ = false;
  std::string note_;
  std::uint64_t note_until_ = 0;
};

// The game's keys become the ones held now, as recorded key messages; a held
// jump key does not jump again.
void hold_keys(Run& r, bool left, bool right, bool up);

}  // namespace tervalon
