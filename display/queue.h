// The two message rings between the window's thread (writer) and the game
// thread (reader), the current message, key and mouse-button codes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include "base/keys.h"

namespace display {

using namespace base::keys;

struct POINT {
  std::int32_t X = 0;
  std::int32_t Y = 0;
};

// One message: window, code, two parameters (WPARAM of a key message is its
// virtual-key code), time stamp in milliseconds, cursor position on the screen.
struct MSG {
  std::uint32_t HWND = 0;
  std::uint32_t MESSAGE = 0;
  std::int32_t WPARAM = 0;
  std::int32_t LPARAM = 0;
  std::uint32_t TIME = 0;
  POINT PT;
};
static_assert(sizeof(MSG) == 28);

inline constexpr std::int32_t M_LEFT = 0, M_RIGHT = 1, M_MIDDLE = 2;

// The current message: the one ISNEXTMSG or CUSTOMMSG took last. Game thread.
extern MSG MS;

// Takes the next message into MS, the user queue first; false (MS unchanged)
// when both are empty. Never blocks. Game thread.
bool ISNEXTMSG();
// Takes the next user message into MS; false when there is none. Game thread.
bool CUSTOMMSG();
// Whether MS.MESSAGE is UM, or one of the codes in UM (false for none). Game thread.
bool ISMSG(std::uint32_t UM);
bool ISMSG(std::span<const std::uint32_t> UM);
bool ISMSG(std::initializer_list<std::uint32_t> UM);
// Whether ISNEXTMSG would take a message now. Game thread.
bool message_waiting();
// Blocks until a message is queued (or the window closes) or `ms` milliseconds
// pass; true when a message is waiting. Game thread, between frames. The
// window's driver waits (window.h: the inline driver pumps the window's events
// meanwhile); under the inline driver, with no window or on another thread than
// the window's, nothing could come, and it returns at once.
bool wait_message(std::uint32_t ms);
// The same until GETTIMER reaches `seconds`: a sleep to an exact moment, for a
// frame that falls due then. Game thread, between frames.
bool wait_message_until(double seconds);

// Appends a message to the window queue (65536 slots) and wakes a reader
// waiting; a full queue drops it (returns false) rather than overwrite unread
// ones. The window's thread.
bool queue_window_message(const MSG& m);
// Appends a user message (code WM_USER) to the user queue (65536 slots);
// false when the slot is still full. The window's thread.
bool queue_user_message(std::int32_t wp, std::int32_t lp);
// Wakes a game thread waiting in wait_message: a message came, or the window
// closed. The window's thread; the driver's (window.cpp), as are the waits.
void wake_message_waiter();

}  // namespace display
