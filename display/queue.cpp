// Message rings: single writer (the window's thread), single reader (game thread),
// release/acquire on the indices and on the user slots' MESSAGE, no lock. How a
// reader waits for them is the window's driver's business.
#include "display/queue.h"

#include <algorithm>
#include <atomic>

#include "base/checked.h"

namespace display {

MSG MS;

namespace {
constexpr std::uint32_t MSWINMAX = 65536, MSUSRMAX = 65536;
// Window queue: slots 0..65535; MSWINI is the slot written last (window
// thread), MSWINJ the slot read last (game thread); empty when they are equal.
base::Array<MSG, 0, MSWINMAX - 1> MSWIN;
std::atomic<std::uint32_t> MSWINI{0}, MSWINJ{0};
// User queue: slots 1..65536, a slot is full while its MESSAGE is not 0;
// MSUSRI is the next slot to write (window thread), MSI the next to read.
base::Array<MSG, 1, MSUSRMAX> MSUSR;
std::uint32_t MSUSRI = 1, MSI = 1;

std::atomic_ref<std::uint32_t> full_flag(MSG& slot) { return std::atomic_ref<std::uint32_t>(slot.MESSAGE); }
}  // namespace

bool message_waiting() {
  return MSWINI.load(std::memory_order_acquire) != MSWINJ.load(std::memory_order_relaxed) ||
         full_flag(MSUSR[MSI]).load(std::memory_order_acquire) != 0;
}

bool queue_window_message(const MSG& m) {
  const std::uint32_t next = (MSWINI.load(std::memory_order_relaxed) + 1) & (MSWINMAX - 1);
  if (next == MSWINJ.load(std::memory_order_acquire)) return false;  // full: keep the unread ones
  MSWIN[next] = m;
  MSWINI.store(next, std::memory_order_release);
  wake_message_waiter();
  return true;
}

bool queue_user_message(std::int32_t wp, std::int32_t lp) {
  MSG& slot = MSUSR[MSUSRI];
  if (full_flag(slot).load(std::memory_order_acquire) != 0) return false;  // not read yet
  slot.WPARAM = wp;
  slot.LPARAM = lp;
  full_flag(slot).store(WM_USER, std::memory_order_release);
  MSUSRI = MSUSRI == MSUSRMAX ? 1 : MSUSRI + 1;
  wake_message_waiter();
  return true;
}

bool CUSTOMMSG() {
  MSG& slot = MSUSR[MSI];
  const std::uint32_t code = full_flag(slot).load(std::memory_order_acquire);
  if (code == 0) return false;
  MS = {slot.HWND, code, slot.WPARAM, slot.LPARAM, slot.TIME, slot.PT};
  full_flag(slot).store(0, std::memory_order_release);  // the writer may reuse it now
  MSI = MSI == MSUSRMAX ? 1 : MSI + 1;
  return true;
}

bool ISNEXTMSG() {
  if (CUSTOMMSG()) return true;
  const std::uint32_t j = MSWINJ.load(std::memory_order_relaxed);
  if (MSWINI.load(std::memory_order_acquire) == j) return false;
  const std::uint32_t next = (j + 1) & (MSWINMAX - 1);
  MS = MSWIN[next];
  MSWINJ.store(next, std::memory_order_release);
  return true;
}

bool ISMSG(std::span<const std::uint32_t> UM) { return std::count(UM.begin(), UM.end(), MS.MESSAGE) > 0; }
bool ISMSG(std::initializer_list<std::uint32_t> UM) { return ISMSG(std::span(UM.begin(), UM.size())); }
bool ISMSG(std::uint32_t UM) { return MS.MESSAGE == UM; }

}  // namespace display
