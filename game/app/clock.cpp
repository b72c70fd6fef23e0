// The game clock.
#include "game/app/clock.h"

#include "game/replay/recorder.h"

namespace tervalon {

// The clock is read to the nanosecond, so frames start on an even beat of 60
// a second rather than on the next whole millisecond (16, 17, 17 ms apart).
std::uint64_t GameClock::due(std::uint64_t frame, double now) {
  const double game_ms = now * 1000.0 * rate_ + shift_;
  std::uint64_t n = 0;
  while (game_ms > frame_ms(frame + n)) ++n;
  if (n > MOST_CAUGHT_UP) {
    shift_ -= game_ms - frame_ms(frame + MOST_CAUGHT_UP);
    n = MOST_CAUGHT_UP;
  }
  return n;
}

void GameClock::restart(std::uint64_t frame, double now) { shift_ = frame_ms(frame) - now * 1000.0 * rate_; }

double GameClock::next(std::uint64_t frame) const { return (frame_ms(frame) - shift_) / rate_ / 1000.0; }

}  // namespace tervalon
