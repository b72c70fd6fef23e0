// The monotonic clock, the 1 ms sleep and the frame-time ring.
#include "display/clock.h"

#include <time.h>

#include <atomic>
#include <cerrno>

#include "base/checked.h"

namespace display {

namespace {
// The frame-time ring: seconds of each presentation, newest at MSCNTI, the
// oldest of the last second at MSCNTJ. Game thread.
constexpr std::uint32_t MSCNTMAX = 65536;
base::Array<double, 0, MSCNTMAX - 1> MSCNT;
std::uint32_t MSCNTI = 0;
std::uint32_t MSCNTJ = 0;

std::atomic<double> origin{0.0};
std::atomic<bool> origin_taken{false};

double monotonic_seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void store_presentation(double seconds) {
  MSCNTI %= MSCNTMAX;
  MSCNT[MSCNTI] = seconds;
  // Ends at the newest entry at the latest: it is never a second older than itself.
  while (MSCNT[MSCNTJ] <= MSCNT[MSCNTI] - 1.0) MSCNTJ = (MSCNTJ + 1) % MSCNTMAX;
}
}  // namespace

void take_time_origin() {
  if (origin_taken.exchange(true)) return;
  origin.store(monotonic_seconds(), std::memory_order_relaxed);
}

double GETTIMER() { return monotonic_seconds() - origin.load(std::memory_order_relaxed); }

std::uint64_t whole_milliseconds(double seconds) {
  if (!(seconds > 0)) return 0;
  return static_cast<std::uint64_t>(base::trunc_i64(seconds * 1000.0));
}

std::uint64_t GETTIME() { return whole_milliseconds(GETTIMER()); }

void DELAY(std::uint32_t T) {
  if (T == 0) T = 1;
  timespec t{static_cast<time_t>(T / 1000), static_cast<long>(T % 1000) * 1000000L};
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &t, &t) == EINTR) {
  }
}

void ADDFPS() { record_presentation(GETTIMER()); }
void FRESHFPS() { store_presentation(GETTIMER()); }

void record_presentation(double seconds) {
  MSCNTI = MSCNTI + 1;
  store_presentation(seconds);
}

std::uint32_t frame_rate() { return (MSCNTI - MSCNTJ) % MSCNTMAX + 1; }

}  // namespace display
