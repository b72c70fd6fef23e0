// The headless back end: a window that exists only off-screen; its events are what the caller
// injects, and pictures stay in the window surface on the game thread, where tools read them.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "display/backend.h"

namespace display {

namespace {

// The screen an off-screen window pretends to be on.
constexpr std::int32_t SCREEN_W = 1920, SCREEN_H = 1080;

class Headless final : public Backend {
 public:
  bool start(std::string&) override { return true; }
  bool create(const WindowPlace& place, PlatformEvents& events, std::uint32_t& id, std::string&) override {
    id = ++windows_;
    events.resized(place.w, place.h);  // no frame: it stays where it was placed
    const std::lock_guard hold(lock_);
    seen_ = wakes_;
    return true;
  }
  // No platform events: only a wake-up (a request posted) ends the wait.
  void pump(PlatformEvents&, std::int32_t wait_ms) override {
    std::unique_lock hold(lock_);
    const auto woken = [this] { return wakes_ != seen_; };
    if (wait_ms == FOREVER)
      woken_.wait(hold, woken);
    else if (wait_ms > 0)
      woken_.wait_for(hold, std::chrono::milliseconds(wait_ms), woken);
    seen_ = wakes_;
  }
  void show(const Picture&) override {}
  void set_title(const std::string& title) override {
    const std::lock_guard hold(lock_);
    title_ = title;
  }
  std::string title() {
    const std::lock_guard hold(lock_);
    return title_;
  }
  void destroy() override {}
  void wake() override {
    {
      const std::lock_guard hold(lock_);
      ++wakes_;
    }
    woken_.notify_one();
  }
  bool shows_pictures() const override { return false; }
  void screen_size(std::int32_t& w, std::int32_t& h) const override {
    w = SCREEN_W;
    h = SCREEN_H;
  }

 private:
  // A timed wait, which an atomic's own wait cannot do: under the inline
  // driver the pump sleeps until a message's deadline.
  std::mutex lock_;
  std::condition_variable woken_;
  std::uint32_t wakes_ = 0, seen_ = 0;  // under lock_
  std::string title_;                   // under lock_
  std::uint32_t windows_ = 0;           // window's thread
};

Headless& headless() {
  // Never destroyed: the window thread may still use it while the process exits.
  static Headless& backend = *new Headless;
  return backend;
}

}  // namespace

Backend& headless_backend() { return headless(); }

std::string headless_title() { return headless().title(); }

}  // namespace display
