// The monotonic clock, the 1 ms sleep, the frame-time ring and the screen and
// frame measurements the window thread publishes.
#include "clock.h"

#include <time.h>

#include <atomic>
#include <cerrno>

#include "backend.h"
#include "window.h"
#include "window_shared.h"

namespace display {

base::Array<double, 0, MSCNTMAX - 1> MSCNT;
std::uint32_t MSCNTI = 0;
std::uint32_t MSCNTJ = 0;

namespace {
std::atomic<double> origin{0.0};
std::atomic<bool> origin_taken{false};

double monotonic_seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
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

void ADDFPS() {
  MSCNTI = MSCNTI + 1;
  FRESHFPS();
}

void FRESHFPS() { record_presentation(GETTIMER()); }

void record_presentation(double seconds) {
  MSCNTI %= MSCNTMAX;
  MSCNT[MSCNTI] = seconds;
  // Ends at the newest entry at the latest: it is never a second older than itself.
  while (MSCNT[MSCNTJ] <= MSCNT[MSCNTI] - 1.0) MSCNTJ = (MSCNTJ + 1) % MSCNTMAX;
}

std::uint32_t frame_rate() { return (MSCNTI - MSCNTJ) % MSCNTMAX + 1; }

namespace {
// With a window, the size its thread measured; without one, the platform is asked.
std::int32_t screen(const std::atomic<std::int32_t>& measured, bool width) {
  if (ISWIN()) return measured.load(std::memory_order_relaxed);
  std::int32_t w = 0, h = 0;
  chosen_backend().screen_size(w, h);
  return width ? w : h;
}
}  // namespace

std::int32_t GETSCRWIDTH() { return screen(shared::screen_width, true); }
std::int32_t GETSCRHEIGHT() { return screen(shared::screen_height, false); }
std::int32_t GETBORDERTITLE() { return shared::border_title.load(std::memory_order_relaxed); }
std::int32_t GETBORDERWIDTH() { return shared::border_width.load(std::memory_order_relaxed); }
std::int32_t GETBORDERHEIGHT() { return shared::border_height.load(std::memory_order_relaxed); }
std::int32_t GETPOSX() { return ISWIN() ? shared::window_x.load(std::memory_order_relaxed) : 0; }
std::int32_t GETPOSY() { return ISWIN() ? shared::window_y.load(std::memory_order_relaxed) : 0; }

}  // namespace display
