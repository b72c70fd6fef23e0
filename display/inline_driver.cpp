// The inline driver: the window's operations on the thread that opened it, with no thread started, as
// a browser runs a program (one call a frame); a reader waits in the back end's pump.
#include <algorithm>
#include <cmath>

#include "display/backend.h"
#include "display/clock.h"
#include "display/driver.h"
#include "display/queue.h"

namespace display {

namespace {

class Inline final : public Driver {
 public:
  void open() override { window_ops::open(); }

  void close() override {
    if (window_ops::on_window_thread())
      window_ops::close();
    else
      window_ops::request_close();  // served at the window's thread's next pass
  }

  void pump() override { pass(0); }

  void picture_ready() override { window_ops::present(); }

  // Messages come from the platform only while this thread pumps: the wait
  // is the pump's own, cut into passes that each end at a batch of events
  // or at a request posted by another thread.
  bool wait_until(double seconds) override {
    for (;;) {
      if (message_waiting()) return true;
      if (!window_ops::on_window_thread()) return false;  // nothing would come while this thread waits
      const double left = std::ceil((seconds - GETTIMER()) * 1000);
      if (left <= 0) return false;
      pass(static_cast<std::int32_t>(std::min(left, 1e9)));
    }
  }

  // A message queued on the window's thread is seen there before it waits
  // again; one queued elsewhere (a test writing the queue itself) ends the
  // window's thread's wait.
  void wake_waiter() override {
    if (!window_ops::on_window_thread()) chosen_backend().wake();
  }

  bool runs_inline() const override { return true; }

 private:
  // A pass on the window's thread; when it asked the window to close (the
  // close button, or a request), the window closes now.
  static void pass(std::int32_t wait_ms) {
    if (!window_ops::on_window_thread()) return;
    window_ops::pump(wait_ms);
    if (!window_ops::running()) window_ops::close();
  }
};

}  // namespace

Driver& inline_driver() {
  static Inline& driver = *new Inline;
  return driver;
}

}  // namespace display
