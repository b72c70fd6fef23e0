// The inline driver on the off-screen back end: the window opens, pumps, presents and closes on the
// test's thread with no thread started, and requests from another thread are served at its pumps.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "display/display.h"

using namespace display;

namespace {

std::size_t threads() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

MSG key(std::int32_t vk) {
  MSG m;
  m.MESSAGE = WM_KEYDOWN;
  m.WPARAM = vk;
  return m;
}

class Inline : public ::testing::Test {
 protected:
  void SetUp() override {
    use_headless_backend();
    use_inline_driver();
    before_ = threads();
    CREATEWIN(40, 30, BLACK, WHITE);
    ASSERT_TRUE(ISWIN());
  }
  void TearDown() override {
    CLOSEWIN();
    use_threaded_driver();
  }
  std::size_t before_ = 0;
};

std::thread::id ran_on;

TEST_F(Inline, EveryOperationRunsOnTheCallersThread) {
  EXPECT_TRUE(runs_inline());
  ASSERT_TRUE(inject_message(key(K_LEFT)));
  ASSERT_TRUE(ISNEXTMSG()) << "queued before inject_message returned";
  EXPECT_EQ(MS.WPARAM, K_LEFT);
  EXPECT_EQ(MS.HWND, HW.load());
  ASSERT_TRUE(run_on_window_thread([](const std::string&) { ran_on = std::this_thread::get_id(); }, ""));
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  SETTITLE("inline");
  ASSERT_TRUE(inject_resize(24, 16));
  BAR(1, 2, 3, 4, CRIMSON, CRIMSON);
  FRESHWIN();
  EXPECT_EQ(PMSCR->WIDTH, 24u);
  EXPECT_EQ(PMSCR->at(2, 3), CRIMSON);
  pump_events();
  EXPECT_FALSE(wait_message(1)) << "nothing came";
  EXPECT_LE(threads(), before_) << "no thread was started";
  inject_close();
  EXPECT_FALSE(ISWIN());
  EXPECT_FALSE(inject_message(key(K_UP)));
  EXPECT_FALSE(wait_message(60000)) << "no window: nothing could come";
}

// The other thread's requests end the window's thread's wait, and its close
// request is let go once a pump has closed the window.
TEST_F(Inline, RequestsFromAnotherThreadAreServedWhileTheWindowsThreadPumps) {
  std::thread player([] {
    ASSERT_TRUE(inject_message(key(K_RIGHT)));
    inject_close();
    EXPECT_FALSE(ISWIN());
  });
  ASSERT_TRUE(wait_message(600000));
  ASSERT_TRUE(ISNEXTMSG());
  EXPECT_EQ(MS.WPARAM, K_RIGHT);
  while (ISWIN()) wait_message(600000);
  player.join();
  EXPECT_FALSE(ISNEXTMSG());
}

}  // namespace
