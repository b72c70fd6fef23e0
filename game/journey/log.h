// What a journey has done (levels entered and left, rewinds, ghosts
// caught), read from its state after every pass and key message.
#pragma once

#include <cstdint>
#include <vector>

#include "game/rules/state.h"

namespace tervalon {

// A level of the journey, entered: forward (pass 1), back (2) or the hub (0).
struct Entry {
  std::int8_t level = 0, pass = 0;
  std::uint64_t frame = 0;  // FRAME when it became playable
  std::uint64_t took = 0;   // in reached(): frames from entering it to leaving it, the last time; 0 until then
  bool operator==(const Entry& o) const { return level == o.level && pass == o.pass; }
};

// What a journey has done, from its state after every pass and key message.
class JourneyLog {
 public:
  enum class Event { none, entered, left };
  // Reads the state after a pass or a key message: `entered` when a level
  // has just become playable, `left` when the player has just left one
  // through its exit, or home (its frames are then `left_frames()`).
  Event see(const Game& g);

  // The game is back at the state in which the current level was entered.
  void resync(const Game& g);

  const Entry& current() const { return current_; }
  const std::vector<Entry>& reached() const { return reached_; }  // each level and pass once, in order
  std::uint64_t left_frames() const { return left_frames_; }
  std::uint64_t rewinds() const { return rewinds_; }
  std::uint64_t caught() const { return caught_; }

 private:
  Entry current_;
  bool playing_ = false;  // current_ is being played (not in a story text)
  bool started_ = false;
  std::vector<Entry> reached_;
  std::uint64_t left_frames_ = 0, rewinds_ = 0, caught_ = 0;
  std::uint32_t head_ = 0, caught_now_ = 0;
};

}  // namespace tervalon
