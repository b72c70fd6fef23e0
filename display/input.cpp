// The pointer queries over the position the back end last reported and the
// window's place and frame.
#include "display/input.h"

#include <atomic>

#include "display/window.h"

namespace display {

namespace {
std::atomic<std::int32_t> mouse_x{0}, mouse_y{0};  // written by the window thread
}  // namespace

void report_pointer(std::int32_t x, std::int32_t y) {
  mouse_x.store(x, std::memory_order_relaxed);
  mouse_y.store(y, std::memory_order_relaxed);
}

// The pointer is seen through the window: with none, every answer is 0.
std::int32_t GETMOUSEABSX() { return ISWIN() ? mouse_x.load(std::memory_order_relaxed) : 0; }
std::int32_t GETMOUSEABSY() { return ISWIN() ? mouse_y.load(std::memory_order_relaxed) : 0; }
std::int32_t GETMOUSEWINX() { return GETMOUSEABSX() - GETPOSX(); }  // 0 - 0 with no window
std::int32_t GETMOUSEWINY() { return GETMOUSEABSY() - GETPOSY(); }
std::int32_t GETMOUSEPOSX() { return ISWIN() ? GETMOUSEWINX() - GETBORDERWIDTH() : 0; }
std::int32_t GETMOUSEPOSY() { return ISWIN() ? GETMOUSEWINY() - GETBORDERHEIGHT() - GETBORDERTITLE() : 0; }

}  // namespace display
