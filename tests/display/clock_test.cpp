// The clock and the frame-time ring.
#include <gtest/gtest.h>

#include "display/display.h"

using namespace display;

namespace {

TEST(Clock, MillisecondsAreTruncatedAndDoNotStopAfter49Days) {
  EXPECT_EQ(whole_milliseconds(1.9999), 1999u);
  EXPECT_EQ(whole_milliseconds(0.0), 0u);
  const double fifty_days = 50.0 * 24 * 3600;
  EXPECT_EQ(whole_milliseconds(fifty_days), 4320000000u);
  EXPECT_GT(whole_milliseconds(fifty_days), 0xFFFFFFFFull);
}

TEST(Clock, TimeOriginIsTakenWhenTheWindowOpens) {
  EXPECT_GT(GETTIMER(), 0.0) << "before a window: the monotonic clock";
  use_headless_backend();
  CREATEWIN(8, 8, BLACK, WHITE);
  const std::uint64_t t0 = GETTIME();
  EXPECT_LT(t0, 1000u) << "just after the window opened";
  DELAY(0);
  const std::uint64_t t1 = GETTIME();
  EXPECT_GE(t1, t0 + 1) << "DELAY(0) sleeps a millisecond";
  CLOSEWIN();
  CREATEWIN(8, 8, BLACK, WHITE);
  EXPECT_GE(GETTIME(), t1) << "a second window does not set the clock back";
}

TEST(Clock, FrameRingHoldsThePresentationsOfTheLastSecond) {
  // Sixty presentations a second for three seconds.
  for (int i = 1; i <= 180; ++i) record_presentation(i / 60.0);
  // The entry exactly one second older than the newest is dropped.
  EXPECT_EQ(frame_rate(), 60u);
}

TEST(Clock, AddFpsCountsAPresentationAndFreshFpsRestampsTheNewest) {
  ADDFPS();
  const std::uint32_t n = frame_rate();
  FRESHFPS();
  EXPECT_EQ(frame_rate(), n) << "the same entry again";
  ADDFPS();
  EXPECT_EQ(frame_rate(), n + 1);
}

TEST(Clock, MaxAndAs2pc) {
  EXPECT_EQ(MAX(0, -5), 0);
  EXPECT_EQ(MAX(-7, 3), 3);
  EXPECT_STREQ(AS2PC(""), "") << "an empty text, never a null pointer";
  EXPECT_STREQ(AS2PC(std::string("ab\0c", 4)), "ab");
}

TEST(Clock, TheRingWrapsAfter65536Presentations) {
  // 1024 a second, so that every time is exact in binary.
  for (std::uint32_t i = 1; i <= 65536; ++i) record_presentation(i / 1024.0);
  EXPECT_EQ(frame_rate(), 1024u);
}

}  // namespace
