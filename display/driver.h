// The window's drivers, library-internal: what runs the window's operations (open, pump, present,
// close) and how a reader waits for messages. The operations and the choice are in window.cpp.
#pragma once

#include <cstdint>

namespace display {

// The window's operations, implemented in window.cpp. Each runs on the
// window's thread: the one that called open() until close() has run.
namespace window_ops {
// Opens the window through the chosen back end and marks it open, or failed
// with the reason (CREATEWIN reports it); false when it failed.
bool open();
// Whether the window is open and nothing asked it to close. The window's thread.
bool running();
// Whether the calling thread is the window's. Any thread.
bool on_window_thread();
// One pass: the platform's events (waiting for them up to `wait_ms`, as
// Backend::pump), a request posted by another thread, a picture not yet shown.
void pump(std::int32_t wait_ms);
// Shows the picture handed over last when it is not shown yet.
void present();
// Destroys an open window, marks it closed, wakes a reader waiting and lets
// go of any request still waiting.
void close();
// Posts a close request from another thread and returns once the window is
// closed; false when there was no window.
bool request_close();
}  // namespace window_ops

class Driver {
 public:
  // Game thread, CREATEWIN: has window_ops::open run on the window's thread;
  // may return before it has opened (CREATEWIN waits for that).
  virtual void open() = 0;
  // Game thread, CLOSEWIN: closes the window and returns when it is closed
  // and nothing of it runs any more; nothing without a window.
  virtual void close() = 0;
  // Game thread, pump_events(): one pass of the window's operations if they
  // run on this thread.
  virtual void pump() = 0;
  // Game thread, after a picture was handed over: has it shown.
  virtual void picture_ready() = 0;
  // Game thread: wait_message_until.
  virtual bool wait_until(double seconds) = 0;
  // After a message was queued or the window closed: wakes a reader waiting.
  // The writer's thread.
  virtual void wake_waiter() = 0;
  // Whether the window's operations run on the thread that opened it.
  virtual bool runs_inline() const = 0;

 protected:
  ~Driver() = default;
};

// A window thread of its own that loops the operations, waiting on the
// platform between passes; a reader sleeps on a futex (threaded_driver.cpp).
Driver& threaded_driver();
// The operations on the caller's thread, no thread started: a reader waits
// in the back end's pump (inline_driver.cpp).
Driver& inline_driver();
// The driver the next or current window uses. Any thread.
Driver& chosen_driver();

}  // namespace display
