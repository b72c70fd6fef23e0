// The game's step after 49.7 days: started on a clock just below 2^32
// milliseconds, with the frames such a run has behind it, it keeps running
// past that mark (no range error) until Escape ends it normally.
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "display/clock.h"
#include "display/queue.h"
#include "display/window.h"
#include "game/app/app.h"
#include "game/app/options.h"
#include "game/rules/level_file.h"

namespace {

// What the C library's monotonic clock gains here, in nanoseconds; the test
// moves it after the time origin is taken, as a long run would.
std::atomic<long long> clock_gain{0};

}  // namespace

extern "C" int __real_clock_gettime(clockid_t id, timespec* t);
extern "C" int __wrap_clock_gettime(clockid_t id, timespec* t) {
  int r = __real_clock_gettime(id, t);
  if (r == 0 && id == CLOCK_MONOTONIC) {
    long long ns = t->tv_nsec + clock_gain.load() % 1000000000;
    t->tv_sec += static_cast<time_t>(clock_gain.load() / 1000000000 + ns / 1000000000);
    t->tv_nsec = ns % 1000000000;
  }
  return r;
}

namespace {

constexpr std::uint64_t TWO_TO_32 = std::uint64_t{1} << 32;

TEST(LongClock, TheLoopRunsOnPastTwoToThe32Milliseconds) {
  const std::string dir = std::filesystem::temp_directory_path() / ("tervalon-clock-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(std::string(TERVALON_SOURCE_DIR) + "/tests/faults/levels/play.dat", dir + "/tervalon.dat",
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_EXIT(
      {
        if (chdir(dir.c_str()) != 0) std::exit(3);
        setenv("XDG_DATA_HOME", dir.c_str(), 1);  // NOLINT(concurrency-mt-unsafe): before any thread
        display::use_headless_backend();
        display::take_time_origin();
        const std::uint64_t start_ms = TWO_TO_32 - 1500;
        clock_gain = static_cast<long long>(start_ms) * 1000000;
        auto game = tervalon::INITBD();
        game->FRAME = start_ms * 60 / 1000;  // what 60 frames a second have run by then
        tervalon::App app(std::move(game), {});
        std::thread user([] {
          while (display::GETTIME() < TWO_TO_32 + 500) std::this_thread::sleep_for(std::chrono::milliseconds(10));
          display::MSG escape;
          escape.MESSAGE = display::WM_KEYDOWN;
          escape.WPARAM = display::K_ESC;
          display::inject_message(escape);
        });
        if (!app.start()) std::exit(2);
        for (auto t = app.step(); !t.over; t = app.step()) display::wait_message_until(t.wake);
        const int code = app.finish();
        user.join();
        const std::uint64_t frames = app.game().FRAME;
        const std::uint64_t now = display::GETTIME();
        std::fprintf(stderr, "ended with %d after frame %llu at %llu ms\n", code,
                     static_cast<unsigned long long>(frames), static_cast<unsigned long long>(now));
        // Every frame up to the clock ran: none skipped, none ahead.
        bool caught_up = frames >= (TWO_TO_32 + 500) * 60 / 1000 && frames <= now * 60 / 1000 + 1;
        std::exit(code == 0 && caught_up ? 0 : 1);
      },
      testing::ExitedWithCode(0), "ended with 0 after frame");
  std::filesystem::remove_all(dir);
}

}  // namespace
