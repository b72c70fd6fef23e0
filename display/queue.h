// The two message rings between the window thread (writer) and the game
// thread (reader), the current message, key and mouse codes, mouse queries.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "base/checked.h"
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

inline constexpr std::uint32_t MSWINMAX = 65536, MSUSRMAX = 65536;

// The current message: the one ISNEXTMSG or CUSTOMMSG took last. Game thread.
extern MSG MS;
// Window queue: slots 0..65535; MSWINI is the slot written last (window
// thread), MSWINJ the slot read last (game thread); empty when they are equal.
extern base::Array<MSG, 0, MSWINMAX - 1> MSWIN;
extern std::atomic<std::uint32_t> MSWINI, MSWINJ;
// User queue: slots 1..65536, a slot is full while its MESSAGE is not 0;
// MSUSRI is the next slot to write, MSI the next to read.
extern base::Array<MSG, 1, MSUSRMAX> MSUSR;
extern std::uint32_t MSUSRI, MSI;

// Takes the next message into MS, the user queue first; false (MS unchanged)
// when both are empty. Never blocks. Game thread.
bool ISNEXTMSG();
// Takes the next user message into MS; false when there is none. Game thread.
bool CUSTOMMSG();
// Whether MS.MESSAGE is UM, or one of the codes in UM (false for none). Game thread.
bool ISMSG(std::uint32_t UM);
bool ISMSG(std::span<const std::uint32_t> UM);
bool ISMSG(std::initializer_list<std::uint32_t> UM);
// Blocks until a message is queued (or the window closes) or `ms` milliseconds
// pass; true when a message is waiting. Game thread, between frames.
bool wait_message(std::uint32_t ms);
// The same until GETTIMER reaches `seconds`: a sleep to an exact moment, for a
// frame that falls due then. Game thread, between frames.
bool wait_message_until(double seconds);

// Appends a message to the window queue; a full queue drops it (returns false)
// rather than overwrite unread ones. Window thread.
bool queue_window_message(const MSG& m);
// Appends a user message (code WM_USER) to the user queue; false when the slot
// is still full. Window thread.
bool queue_user_message(std::int32_t wp, std::int32_t lp);
// Wakes a game thread waiting in wait_message (the window closed). Window thread.
void wake_message_waiter();

// Cursor position on the screen, relative to the window's outer top-left, and
// relative to the client area, as the window thread last saw it; 0 with no
// window. Any thread.
std::int32_t GETMOUSEABSX();
std::int32_t GETMOUSEABSY();
std::int32_t GETMOUSEWINX();
std::int32_t GETMOUSEWINY();
std::int32_t GETMOUSEPOSX();
std::int32_t GETMOUSEPOSY();

}  // namespace display
