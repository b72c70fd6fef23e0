// The real window under a private Xvfb: size, place and title, key presses
// from xdotool, closing (CLOSEWIN and the close button), resizing, and the
// presented picture against a screenshot, on the window thread and inline.
// Also the headless window's thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "display/display.h"
#include "display/sdl/window.h"
#include "waiting.h"
#include "xvfb.h"

using namespace display;
using tervalon::test::PATIENCE;
using tervalon::test::PrivateX;
using tervalon::test::read_ppm;
using tervalon::test::run;

namespace {

using Clock = std::chrono::steady_clock;

std::string hex_id() {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%x", HW.load());
  return buf;
}

int xwininfo_field(const std::string& field) {
  std::string out = run("xwininfo -id " + hex_id() + " | grep '" + field + "' | sed 's/.*: *//'");
  return out.empty() ? -1 : std::stoi(out);
}

// The key messages (down, up, char) as they arrive, until `done` holds of
// them; however many there are by then if it never does.
template <typename Done>
std::vector<MSG> key_messages_until(Done done) {
  std::vector<MSG> got;
  const auto until = Clock::now() + PATIENCE;
  while (!done(got) && Clock::now() < until) {
    if (!ISNEXTMSG()) {
      wait_message(50);
      continue;
    }
    if (ISMSG({WM_KEYDOWN, WM_KEYUP, WM_CHAR})) got.push_back(MS);
  }
  return got;
}

std::vector<MSG> key_messages(std::size_t enough) {
  return key_messages_until([&](const std::vector<MSG>& got) { return got.size() >= enough; });
}

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok()) << "Xvfb did not start";
    CREATEWIN(640, 480, BLACK, WHITE);
    ASSERT_TRUE(ISWIN());
    run("xdotool windowfocus --sync " + std::to_string(HW.load()));
  }
  void TearDown() override {
    tervalon::test::dismiss_error_boxes();
    CLOSEWIN();
  }
  PrivateX x_;
};

TEST_F(Window, OpensCentredWithTheRequestedClientSizeAndTitle) {
  EXPECT_EQ(xwininfo_field("Width:"), 640);
  EXPECT_EQ(xwininfo_field("Height:"), 480);
  EXPECT_EQ(xwininfo_field("Absolute upper-left X:"), (1280 - 640) / 2);
  EXPECT_EQ(xwininfo_field("Absolute upper-left Y:"), (1024 - 480) / 2);
  EXPECT_EQ(GETSCRWIDTH(), 1280);
  EXPECT_EQ(PMAIN->WIDTH, 640u);
  SETTITLE("Tervalon \xBA\xDA\xCC\xE5");  // GBK text
  EXPECT_EQ(run("xdotool getwindowname " + std::to_string(HW.load())), "Tervalon 黑体");
}

TEST_F(Window, KeyPressesArriveAsVirtualKeyMessagesInOrder) {
  run("xdotool key --delay 30 Right a Escape");
  auto got = key_messages(8);
  const std::vector<std::pair<std::uint32_t, std::int32_t>> want = {
      {WM_KEYDOWN, K_RIGHT}, {WM_KEYUP, K_RIGHT}, {WM_KEYDOWN, K_A}, {WM_CHAR, 'a'},
      {WM_KEYUP, K_A},       {WM_KEYDOWN, K_ESC}, {WM_CHAR, 27},     {WM_KEYUP, K_ESC}};
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].MESSAGE, want[i].first) << i;
    EXPECT_EQ(got[i].WPARAM, want[i].second) << i;
    EXPECT_EQ(got[i].HWND, HW.load()) << i;
  }
}

TEST_F(Window, HeldKeyRepeatsItsKeyDown) {
  // Held until the first key-down and three repeats have come, however long
  // the server's repeat takes to start.
  run("xdotool keydown Left");
  auto got = key_messages_until([](const std::vector<MSG>& m) { return m.size() >= 4; });
  run("xdotool keyup Left");
  auto rest = key_messages_until([](const std::vector<MSG>& m) { return !m.empty() && m.back().MESSAGE == WM_KEYUP; });
  got.insert(got.end(), rest.begin(), rest.end());
  ASSERT_GE(got.size(), 5u);
  for (std::size_t i = 0; i + 1 < got.size(); ++i) {
    EXPECT_EQ(got[i].MESSAGE, WM_KEYDOWN) << i;
    EXPECT_EQ(got[i].WPARAM, K_LEFT) << i;
  }
  EXPECT_EQ(got.back().MESSAGE, WM_KEYUP);
  EXPECT_EQ(got.back().WPARAM, K_LEFT);
}

TEST_F(Window, CloseWinReturnsAfterTheThreadEnded) {
  const std::string id = hex_id();
  CLOSEWIN();
  EXPECT_FALSE(ISWIN());
  EXPECT_EQ(HW.load(), 0u);
  CLOSEWIN();  // nothing happens
  EXPECT_NE(run("xwininfo -id " + id + " 2>&1 | grep -ci 'no such window'"), "0");
}

TEST_F(Window, CloseButtonEndsTheWindowThread) {
  ASSERT_TRUE(tervalon::test::press_close_button(HW.load()));
  const auto until = Clock::now() + PATIENCE;
  while (ISWIN() && Clock::now() < until) wait_message(50);
  EXPECT_FALSE(ISWIN());
  CLOSEWIN();  // joins the ended thread and returns
  EXPECT_FALSE(ISWIN());
}

TEST_F(Window, ResizeRebuildsTheMainSurfaceAtTheNewSize) {
  run("xdotool windowsize " + std::to_string(HW.load()) + " 800 300");
  const auto until = Clock::now() + PATIENCE;
  while (PMAIN->WIDTH != 800 && Clock::now() < until) {
    wait_message(50);
    CLEAR();
  }
  EXPECT_EQ(PMAIN->WIDTH, 800u);
  EXPECT_EQ(PMAIN->HEIGHT, 300u);
  EXPECT_EQ(PMSCR->WIDTH, 800u);
}

// The picture a presentation leaves, read back from the screen.
std::vector<std::uint32_t> screenshot(std::uint32_t w, std::uint32_t h) {
  const std::string path = "/tmp/tervalon-shot-" + std::to_string(getpid()) + ".ppm";
  run("timeout 60 import -depth 8 -window " + std::to_string(HW.load()) + " ppm:" + path);
  int fw = 0;
  const std::vector<std::uint8_t> rgb = read_ppm(path, &fw);
  std::remove(path.c_str());
  if (fw != static_cast<int>(w) || rgb.size() != std::size_t{w} * h * 3) return {};
  std::vector<std::uint32_t> px(std::size_t{w} * h);
  for (std::size_t i = 0; i < px.size(); ++i) px[i] = rgb[3 * i] | (rgb[3 * i + 1] << 8) | (rgb[3 * i + 2] << 16);
  return px;
}

TEST_F(Window, PresentedPictureIsWhatTheScreenShows) {
  std::uint32_t seed = 99;
  for (auto& p : PMAIN->pixels) {
    seed = seed * 1664525u + 1013904223u;
    p = (seed >> 8) & 0xFFFFFF;
  }
  BAR(100, 100, 50, 50, TRANSPARENT, TRANSPARENT);
  for (int i = 0; i < 50; ++i) PMAIN->at(100 + i, 100) = TRANSPARENT;  // keeps the white under it
  FRESHWIN();
  std::vector<std::uint32_t> shot;
  const auto until = Clock::now() + PATIENCE;
  while (shot != PMSCR->pixels && Clock::now() < until) shot = screenshot(640, 480);
  ASSERT_EQ(shot.size(), PMSCR->pixels.size());
  EXPECT_EQ(shot, PMSCR->pixels);
  EXPECT_EQ(PMSCR->at(120, 100), WHITE);
}

// The window's place and the pointer are answered while the window is open,
// and are 0 once it is gone; the screen size is asked of the X server then.
TEST_F(Window, PositionAndPointerAreZeroAfterClosing) {
  EXPECT_EQ(GETPOSX(), (1280 - 640) / 2);
  run("xdotool mousemove --window " + std::to_string(HW.load()) + " 10 20");
  const auto until = Clock::now() + PATIENCE;
  while (GETMOUSEPOSX() != 10 && Clock::now() < until) wait_message(50), ISNEXTMSG();
  EXPECT_EQ(GETMOUSEPOSX(), 10);
  EXPECT_EQ(GETMOUSEPOSY(), 20);
  CLOSEWIN();
  EXPECT_EQ(GETPOSX(), 0);
  EXPECT_EQ(GETPOSY(), 0);
  for (auto query : {GETMOUSEABSX, GETMOUSEABSY, GETMOUSEWINX, GETMOUSEWINY, GETMOUSEPOSX, GETMOUSEPOSY})
    EXPECT_EQ(query(), 0);
  EXPECT_EQ(GETSCRWIDTH(), 1280);
  EXPECT_EQ(GETSCRHEIGHT(), 1024);
}

// The inline driver on a real window: keys come while this thread waits, a
// picture is on the screen once FRESHWIN returns, and the close button
// closes the window at a pump.
TEST(InlineWindow, RunsOnTheCallersThread) {
  PrivateX x;
  ASSERT_TRUE(x.ok());
  use_inline_driver();
  CREATEWIN(64, 48, BLACK, WHITE);
  ASSERT_TRUE(ISWIN());
  run("xdotool windowfocus --sync " + std::to_string(HW.load()) + " key Right");
  const std::vector<MSG> got = key_messages(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].WPARAM, K_RIGHT);
  BAR(10, 5, 20, 30, CRIMSON, CRIMSON);
  FRESHWIN();
  std::vector<std::uint32_t> shot;
  const auto until = Clock::now() + PATIENCE;
  while (shot != PMSCR->pixels && Clock::now() < until) shot = screenshot(64, 48);  // no pump: FRESHWIN showed it
  EXPECT_EQ(shot, PMSCR->pixels);
  ASSERT_TRUE(tervalon::test::press_close_button(HW.load()));
  while (ISWIN() && Clock::now() < until) wait_message(50);
  EXPECT_FALSE(ISWIN());
  use_threaded_driver();
}

TEST(WindowNotYetOpen, ScreenSizeComesFromTheXServer) {
  PrivateX x;
  ASSERT_TRUE(x.ok());
  EXPECT_EQ(GETSCRWIDTH(), 1280);
  EXPECT_EQ(GETSCRHEIGHT(), 1024);
  EXPECT_EQ(GETPOSX(), 0);
}

TEST(WindowWithoutDisplay, CreateWinSaysWhyAndExitsWithOne) {
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        use_sdl_backend();
        CREATEWIN(64, 64, BLACK, WHITE);
      },
      ::testing::ExitedWithCode(1), "cannot open a window: SDL could not start video.*display is needed");
}

TEST(HeadlessWindow, OpensAtHalfTheScreenAndClosesFromEitherSide) {
  use_headless_backend();
  EXPECT_FALSE(ISWIN());
  CREATEWIN(0, 0, BLACK, WHITE);
  EXPECT_TRUE(ISWIN());
  EXPECT_EQ(PMAIN->WIDTH, static_cast<std::uint32_t>(GETSCRWIDTH() / 2));
  EXPECT_EQ(PMAIN->HEIGHT, static_cast<std::uint32_t>(GETSCRHEIGHT() / 2));
  EXPECT_EQ(GETPOSX(), GETSCRWIDTH() / 4);
  EXPECT_EQ(GETBORDERTITLE() + GETBORDERWIDTH() + GETBORDERHEIGHT(), 0) << "an off-screen window has no frame";
  CLOSEWIN();
  EXPECT_FALSE(ISWIN());

  CREATEWIN(5000, 10, BLACK, WHITE);
  EXPECT_EQ(GETPOSX(), 0) << "never left of the screen";
  // The close button, from another thread; messages sent after it go nowhere.
  std::thread user([] { inject_close(); });
  user.join();
  EXPECT_FALSE(ISWIN());
  EXPECT_FALSE(inject_message(MSG{}));
  CLOSEWIN();
}

TEST(Threads, NewThreadRunsInTheNextSlotAndStopThreadFreesIt) {
  static std::atomic<int> runs{0};
  const std::uint32_t first = NEWTHREAD([] { ++runs; });
  const std::uint32_t second = NEWTHREAD([] { ++runs; });
  EXPECT_EQ(second, (first + 1) % THMAX);
  while (runs < 2) std::this_thread::yield();
  STOPTHREAD(first);
  STOPTHREAD(second);
  STOPTHREAD(THMAX);  // no such slot: nothing
}

TEST(HeadlessWindow, InjectedMessagesQueueInOrderAndUserMessagesTwice) {
  use_headless_backend();
  CREATEWIN(32, 32, BLACK, WHITE);
  std::thread player([] {
    for (std::int32_t vk : {K_LEFT, K_UP, K_RIGHT}) {
      MSG m;
      m.MESSAGE = WM_KEYDOWN;
      m.WPARAM = vk;
      inject_message(m);
    }
    MSG user;
    user.MESSAGE = WM_USER;
    user.WPARAM = 5;
    user.TIME = 77;
    inject_message(user);
  });
  std::vector<MSG> got;
  while (got.size() < 5) {
    if (ISNEXTMSG())
      got.push_back(MS);
    else
      wait_message(1000);
  }
  player.join();
  // The user message may overtake the window queue's unread ones.
  std::vector<std::int32_t> keys;
  int users = 0;
  for (const MSG& m : got) {
    if (m.MESSAGE == WM_KEYDOWN) keys.push_back(m.WPARAM);
    if (m.MESSAGE == WM_USER) ++users;
  }
  EXPECT_EQ(keys, (std::vector<std::int32_t>{K_LEFT, K_UP, K_RIGHT}));
  EXPECT_EQ(users, 2);
  EXPECT_EQ(got.back().MESSAGE, WM_USER) << "the window queue's copy comes last";
  EXPECT_EQ(got.back().TIME, 77u);
  EXPECT_EQ(got.back().HWND, HW.load());
  CLOSEWIN();
}

}  // namespace
