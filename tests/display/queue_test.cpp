// The message rings: order, index wrap, the user queue first, the current
// message kept when nothing is queued, ISMSG over arrays, and a real writer thread.
#include <gtest/gtest.h>

#include <thread>

#include "display/display.h"

using namespace display;

namespace {

MSG key(std::uint32_t code, std::int32_t vk) {
  MSG m;
  m.MESSAGE = code;
  m.WPARAM = vk;
  return m;
}

TEST(Queue, TheIndexWrapsWithoutLoss) {
  EXPECT_FALSE(ISNEXTMSG());
  EXPECT_TRUE(ISMSG(0u)) << "the current message starts all zero";
  ASSERT_TRUE(queue_window_message(key(WM_KEYDOWN, K_LEFT)));
  ASSERT_TRUE(ISNEXTMSG());
  EXPECT_EQ(MS.WPARAM, K_LEFT);
  // Go round the ring almost twice, a few messages ahead of the reader.
  std::int32_t written = 0, read = 0;
  for (int round = 0; round < 2 * 65536 / 3; ++round) {
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(queue_window_message(key(WM_KEYUP, ++written)));
    for (int k = 0; k < 3; ++k) {
      ASSERT_TRUE(ISNEXTMSG());
      ASSERT_EQ(MS.WPARAM, ++read);
    }
  }
  EXPECT_FALSE(ISNEXTMSG());
}

TEST(Queue, FullWindowQueueKeepsTheUnreadMessagesAndDropsNewOnes) {
  for (std::int32_t i = 1; i <= 65535; ++i) ASSERT_TRUE(queue_window_message(key(WM_KEYDOWN, i)));
  EXPECT_FALSE(queue_window_message(key(WM_KEYDOWN, 65536)));
  for (std::int32_t i = 1; i <= 65535; ++i) {
    ASSERT_TRUE(ISNEXTMSG());
    ASSERT_EQ(MS.WPARAM, i);
  }
  EXPECT_FALSE(ISNEXTMSG());
}

TEST(Queue, UserQueueGoesFirstAndAnEmptyQueueKeepsTheCurrentMessage) {
  queue_window_message(key(WM_KEYDOWN, K_UP));
  queue_user_message(7, -8);
  ASSERT_TRUE(ISNEXTMSG());
  EXPECT_EQ(MS.MESSAGE, WM_USER);
  EXPECT_EQ(MS.WPARAM, 7);
  EXPECT_EQ(MS.LPARAM, -8);
  EXPECT_EQ(MS.HWND, 0u);
  ASSERT_TRUE(ISNEXTMSG());
  EXPECT_EQ(MS.WPARAM, K_UP);
  EXPECT_FALSE(ISNEXTMSG());
  EXPECT_TRUE(ISMSG(WM_KEYDOWN)) << "still the previous message";
  EXPECT_EQ(MS.WPARAM, K_UP);
  EXPECT_FALSE(CUSTOMMSG());
}

TEST(Queue, UserQueueWrapsAfterItsLastSlotAndNeverOverwritesAFullSlot) {
  for (std::int32_t i = 1; i <= 65536; ++i) ASSERT_TRUE(queue_user_message(i, 0));
  EXPECT_FALSE(queue_user_message(-1, 0)) << "slot 1 is still unread";
  for (std::int32_t i = 1; i <= 65536; ++i) {
    ASSERT_TRUE(CUSTOMMSG());
    ASSERT_EQ(MS.WPARAM, i);
  }
  EXPECT_TRUE(queue_user_message(42, 0));
  ASSERT_TRUE(CUSTOMMSG());
  EXPECT_EQ(MS.WPARAM, 42);
}

TEST(Queue, IsMsgLooksForTheCurrentCodeInAnArray) {
  queue_window_message(key(WM_KEYUP, K_ESC));
  ASSERT_TRUE(ISNEXTMSG());
  EXPECT_TRUE(ISMSG({WM_KEYDOWN, WM_KEYUP}));
  EXPECT_TRUE(ISMSG({WM_KEYUP, WM_KEYUP, WM_KEYUP}));
  EXPECT_FALSE(ISMSG({WM_KEYDOWN, WM_CHAR}));
  EXPECT_FALSE(ISMSG(std::span<const std::uint32_t>{}));
  EXPECT_FALSE(ISMSG(WM_KEYDOWN));
}

// A writer on its own thread, the reader waiting between messages: every
// message arrives once, whole and in order (run under ThreadSanitizer too).
TEST(Queue, MessagesFromAnotherThreadArriveWholeAndInOrder) {
  constexpr std::int32_t N = 200000;
  std::thread writer([] {
    for (std::int32_t i = 1; i <= N; ++i) {
      MSG m = key(WM_KEYDOWN, i);
      m.LPARAM = -i;
      m.PT = {i, 2 * i};
      while (!queue_window_message(m)) std::this_thread::yield();
      if (i % 1000 == 0) queue_user_message(i, 0);
    }
  });
  std::int32_t next = 1, users = 0;
  while (next <= N) {
    if (!ISNEXTMSG()) {
      wait_message(100);
      continue;
    }
    if (MS.MESSAGE == WM_USER) {
      ++users;
      continue;
    }
    ASSERT_EQ(MS.WPARAM, next);
    ASSERT_EQ(MS.LPARAM, -next);
    ASSERT_EQ(MS.PT.Y, 2 * next);
    ++next;
  }
  writer.join();
  while (ISNEXTMSG()) users += MS.MESSAGE == WM_USER;
  EXPECT_EQ(users, N / 1000);
}

TEST(Queue, WaitMessageReturnsWhenAMessageArrivesOrTheTimeIsUp) {
  EXPECT_FALSE(wait_message(5));
  std::thread writer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue_window_message(key(WM_KEYDOWN, K_RIGHT));
  });
  EXPECT_TRUE(wait_message(60000));
  writer.join();
  ASSERT_TRUE(ISNEXTMSG());
  EXPECT_EQ(MS.WPARAM, K_RIGHT);
}

}  // namespace
