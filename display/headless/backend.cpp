// The headless back end: a window that exists only off-screen; its events are what the caller
// injects, and pictures stay in the window surface on the game thread, where tools read them.
#include <atomic>

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
    seen_ = wakes_.load(std::memory_order_acquire);
    return true;
  }
  void pump(PlatformEvents&) override {
    wakes_.wait(seen_, std::memory_order_acquire);
    seen_ = wakes_.load(std::memory_order_acquire);
  }
  void show(const Picture&) override {}
  void set_title(const std::string&) override {}
  void destroy() override {}
  void wake() override {
    wakes_.fetch_add(1, std::memory_order_release);
    wakes_.notify_one();
  }
  bool shows_pictures() const override { return false; }
  void screen_size(std::int32_t& w, std::int32_t& h) const override {
    w = SCREEN_W;
    h = SCREEN_H;
  }

 private:
  std::atomic<std::uint32_t> wakes_{0};
  std::uint32_t seen_ = 0;     // window thread
  std::uint32_t windows_ = 0;  // window thread
};

}  // namespace

Backend& headless_backend() {
  // Never destroyed: the window thread may still use it while the process exits.
  static Headless& backend = *new Headless;
  return backend;
}

}  // namespace display
