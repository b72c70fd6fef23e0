// The display library's real window under a flood: 20,000 key events sent by
// xdotool as fast as it can must all reach the game thread's queue, in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <thread>

#include "display/display.h"
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
  std::thread sender([&] { run("xdotool key --delay 0 " + taps); });

  // Read the way the game does: one message at a time, waiting when there is none.
  std::vector<std::pair<std::uint32_t, std::int32_t>> got;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (got.size() < sent.size() && std::chrono::steady_clock::now() < until) {
    if (!ISNEXTMSG()) {
      wait_message(100);
      continue;
    }
    if (ISMSG({WM_KEYDOWN, WM_KEYUP})) got.push_back({MS.MESSAGE, MS.WPARAM});
  }
  sender.join();
  // Anything after the last one would be a duplicate.
  for (const auto stop = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
       std::chrono::steady_clock::now() < stop;)
    if (ISNEXTMSG() && ISMSG({WM_KEYDOWN, WM_KEYUP}))
      got.push_back({MS.MESSAGE, MS.WPARAM});
    else
      wait_message(50);

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
