// The display library's real window under a flood: 20,000 key events sent by
// xdotool as fast as it can must all reach the game thread's queue, in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "display/display.h"
#include "waiting.h"
#include "xvfb.h"

using namespace display;

namespace tervalon::test {
namespace {

// SDL alone loses some of these (a key-up and a key-down of one key in the
// same millisecond look like a key repeat to it): the back end restores them.
TEST(KeyFlood, TwentyThousandKeyEventsArriveAllAndInOrder) {
  PrivateX x;
  ASSERT_TRUE(x.ok()) << "Xvfb did not start";
  CREATEWIN(240, 160, BLACK, WHITE);
  ASSERT_TRUE(ISWIN());
  run("xdotool windowfocus --sync " + std::to_string(HW.load()));

  std::mt19937 random(6);
  const std::pair<const char*, std::int32_t> keys[] = {{"Left", K_LEFT}, {"Right", K_RIGHT}, {"Up", K_UP}};
  std::string taps;
  std::vector<std::pair<std::uint32_t, std::int32_t>> sent;
  for (int i = 0; i < 10000; ++i) {
    const auto& [name, vk] = keys[random() % 3];
    taps += std::string(name) + " ";
    sent.push_back({WM_KEYDOWN, vk});
    sent.push_back({WM_KEYUP, vk});
  }
  std::atomic<bool> flood_sent{false};
  std::thread sender([&] {
    run("xdotool key --delay 0 " + taps);
    flood_sent = true;
  });

  // Read the way the game does: one message at a time, waiting when there is
  // none. Once the X server has the whole flood, one more key, Down, goes
  // out: what comes before it is all the flood gave, lost, doubled or not.
  std::vector<std::pair<std::uint32_t, std::int32_t>> got;
  bool sent_down = false, down_came = false;
  const auto until = std::chrono::steady_clock::now() + 5 * PATIENCE;
  while (!down_came && std::chrono::steady_clock::now() < until) {
    if (!sent_down && flood_sent) {
      run("xdotool key Down");
      sent_down = true;
    }
    if (!ISNEXTMSG()) {
      wait_message(100);
      continue;
    }
    if (!ISMSG({WM_KEYDOWN, WM_KEYUP})) continue;
    if (MS.WPARAM == K_DOWN)
      down_came = true;
    else
      got.push_back({MS.MESSAGE, MS.WPARAM});
  }
  sender.join();
  EXPECT_TRUE(down_came) << "the key after the flood never came";

  const auto ups = [](const auto& v) {
    return std::count_if(v.begin(), v.end(), [](auto m) { return m.first == WM_KEYUP; });
  };
  EXPECT_EQ(got.size(), sent.size()) << "messages lost or doubled; key-ups " << ups(got) << " of " << ups(sent);
  std::size_t first_difference = 0;
  while (first_difference < std::min(got.size(), sent.size()) && got[first_difference] == sent[first_difference])
    ++first_difference;
  EXPECT_EQ(first_difference, std::min(got.size(), sent.size())) << "the order differs from here";
  CLOSEWIN();
}

}  // namespace
}  // namespace tervalon::test
