// The game clock: frame N + 1 falls due once it passes N / 60 seconds,
// stretched at slower speeds. A menu stops it; a stall longer than a quarter
// of a second is passed over as a pause is, not sprinted through blind.
#pragma once

#include <cstdint>

namespace tervalon {

class GameClock {
 public:
  // The most frames run at once to catch up after a stall.
  static constexpr std::uint64_t MOST_CAUGHT_UP = 15;

  // 100: 60 frames a second.
  void set_speed(std::uint32_t percent) { rate_ = percent / 100.0; }
  // The frames due at display time `now` (seconds) for a game after frame
  // `frame`; a longer stall than MOST_CAUGHT_UP frames moves the clock.
  std::uint64_t due(std::uint64_t frame, double now);
  // The next frame is due a frame after `frame`, as if no time had passed.
  void restart(std::uint64_t frame, double now);
  // The display time when the frame after `frame` falls due.
  double next(std::uint64_t frame) const;

 private:
  double shift_ = 0;  // ms by which the game clock is ahead of the display clock
  double rate_ = 1;
};

}  // namespace tervalon
