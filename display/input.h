// The pointer as the window sees it: where it is on the screen, relative to
// the window and to its client area.
#pragma once

#include <cstdint>

namespace display {

// Cursor position on the screen, relative to the window's outer top-left, and
// relative to the client area, as the window thread last saw it; 0 with no
// window. Any thread.
std::int32_t GETMOUSEABSX();
std::int32_t GETMOUSEABSY();
std::int32_t GETMOUSEWINX();
std::int32_t GETMOUSEWINY();
std::int32_t GETMOUSEPOSX();
std::int32_t GETMOUSEPOSY();

// A new cursor position on the screen. Window thread (back ends).
void report_pointer(std::int32_t x, std::int32_t y);

}  // namespace display
