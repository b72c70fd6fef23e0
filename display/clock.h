// The library's clock, its sleep, the record of presentation times, and two
// small helpers (MAX, AS2PC).
#pragma once

#include <cstdint>
#include <string>

namespace display {

// Seconds since the time origin (taken when the first window opens; before
// that, seconds of the monotonic clock). Any thread.
double GETTIMER();
// Whole milliseconds since the time origin, truncated, in 64 bits so that a
// long-running game never overflows it. Any thread; the game thread's frame clock.
std::uint64_t GETTIME();
// Sleeps T milliseconds (0 counts as 1). Game thread.
void DELAY(std::uint32_t T);

// Records one presentation in the frame-time ring. Game thread, from FRESHWIN.
void ADDFPS();
// Stores the newest presentation time and drops entries a second or more older.
// Game thread, from ADDFPS.
void FRESHFPS();
// ADDFPS with the time given instead of read from the clock. Game thread; tests.
void record_presentation(double seconds);
// Presentations within the last second, as the frame-time ring holds them
// (65536 entries). Game thread.
std::uint32_t frame_rate();

// The larger of X and Y. Any thread.
constexpr std::int32_t MAX(std::int32_t X, std::int32_t Y) { return X > Y ? X : Y; }
// S as NUL-terminated text (never a null pointer). Any thread.
inline const char* AS2PC(const std::string& S) { return S.c_str(); }

// Takes the time origin once, for the first window; later windows keep it so
// that the clock never jumps. Window thread, before the window is marked open.
void take_time_origin();

// Milliseconds in `seconds`, truncated toward zero (negative times give 0). Any thread.
std::uint64_t whole_milliseconds(double seconds);

}  // namespace display
