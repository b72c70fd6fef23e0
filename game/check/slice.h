// Time slices for the checker's jobs: how much a job may do before it
// returns, so that a worker thread or a browser frame can run it in parts.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <limits>

namespace tervalon {

// A count of work units and a deadline, whichever comes first. A unit is
// about one frame of the player's step, or one state visited in a pass over
// the search's graph (a microsecond or so).
struct Slice {
  using Clock = std::chrono::steady_clock;
  std::uint64_t units = std::numeric_limits<std::uint64_t>::max();
  Clock::time_point deadline = Clock::time_point::max();

  static Slice whole() { return {}; }
  static Slice of(std::uint64_t units) { return {units, Clock::time_point::max()}; }
  static Slice until(Clock::time_point deadline) { return {std::numeric_limits<std::uint64_t>::max(), deadline}; }
};

// A slice being spent: the jobs ask it before each piece of work and tell it
// what the piece cost. It gives at least one piece, so a slice of any size
// moves a job on, and ends at once when the job is cancelled.
class Meter {
 public:
  Meter(const Slice& slice, const std::atomic<bool>& cancelled) : slice_(slice), cancelled_(cancelled) {}

  // Whether to stop before the next piece.
  bool spent() {
    if (cancelled_.load(std::memory_order_relaxed)) return true;
    if (used_ == 0) return false;
    if (used_ >= slice_.units) return true;
    // The clock is read now and then: a piece is often far cheaper.
    if (used_ >= next_look_) {
      next_look_ = used_ + LOOK_EVERY;
      if (Slice::Clock::now() >= slice_.deadline) return true;
    }
    return false;
  }
  void use(std::uint64_t units) { used_ += units; }
  std::uint64_t used() const { return used_; }

 private:
  static constexpr std::uint64_t LOOK_EVERY = 256;
  Slice slice_;
  const std::atomic<bool>& cancelled_;
  std::uint64_t used_ = 0;
  std::uint64_t next_look_ = 0;
};

}  // namespace tervalon
