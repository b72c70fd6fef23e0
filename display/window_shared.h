// Values the window thread publishes for the game thread (and any thread):
// client size reports, screen and frame measurements, window position, mouse.
// Library-internal; each value is written by the window thread only.
#pragma once

#include <atomic>
#include <cstdint>

namespace display::shared {

// The latest client size report, packed as (width << 32) | height, and a
// count of reports; the game thread rebuilds the main surface when the count moves.
inline std::atomic<std::uint64_t> client_size{0};
inline std::atomic<std::uint32_t> size_reports{0};

inline std::atomic<std::int32_t> screen_width{0}, screen_height{0};
inline std::atomic<std::int32_t> border_title{0}, border_width{0}, border_height{0};
inline std::atomic<std::int32_t> window_x{0}, window_y{0};
inline std::atomic<std::int32_t> mouse_x{0}, mouse_y{0};

// Window thread: a new client size.
inline void report_size(std::uint32_t w, std::uint32_t h) {
  client_size.store((std::uint64_t{w} << 32) | h, std::memory_order_relaxed);
  size_reports.fetch_add(1, std::memory_order_release);
}

}  // namespace display::shared
