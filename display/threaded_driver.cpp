// The threaded driver: the window's operations on a window thread of their own, which sleeps in the
// back end's pump between passes; a reader waiting for messages sleeps on a Linux futex.
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "display/backend.h"
#include "display/clock.h"
#include "display/driver.h"
#include "display/queue.h"

namespace display {

namespace {

void futex(std::atomic<std::uint32_t>& word, int op, std::uint32_t value, const timespec* timeout) {
  static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
  syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), op, value, timeout, nullptr, 0);
}

class Threaded final : public Driver {
 public:
  void open() override {
    // Never destroyed: a window thread may still run while the process exits.
    thread_ = new std::thread([] {
      if (!window_ops::open()) return;
      while (window_ops::running()) window_ops::pump(Backend::FOREVER);
      window_ops::close();
    });
  }

  void close() override {
    if (!thread_) return;
    window_ops::request_close();  // the thread may have ended already (the close button)
    thread_->join();
    delete thread_;
    thread_ = nullptr;
  }

  void pump() override {}  // the window thread pumps

  void picture_ready() override { chosen_backend().wake(); }

  bool wait_until(double seconds) override {
    for (;;) {
      const std::uint32_t seen = arrivals_.load(std::memory_order_acquire);
      if (message_waiting()) return true;
      // The time left is read again on every pass, so the sleep ends at that
      // moment however long getting to it took.
      const auto left = static_cast<std::int64_t>(std::ceil((seconds - GETTIMER()) * 1e9));
      if (left <= 0) return false;
      const timespec timeout{static_cast<time_t>(left / 1000000000LL), static_cast<long>(left % 1000000000LL)};
      futex(arrivals_, FUTEX_WAIT_PRIVATE, seen, &timeout);
      if (arrivals_.load(std::memory_order_acquire) != seen && !message_waiting()) return false;  // closed
    }
  }

  void wake_waiter() override {
    arrivals_.fetch_add(1, std::memory_order_release);
    futex(arrivals_, FUTEX_WAKE_PRIVATE, INT32_MAX, nullptr);
  }

  bool runs_inline() const override { return false; }

 private:
  std::thread* thread_ = nullptr;  // game thread
  // Moves on every message queued and when the window closes; a reader sleeps on it.
  std::atomic<std::uint32_t> arrivals_{0};
};

}  // namespace

Driver& threaded_driver() {
  static Threaded& driver = *new Threaded;  // never destroyed, as its thread
  return driver;
}

}  // namespace display
