// The real game's window at other sizes, under a private X server with a
// window manager: the board scaled by whole factors and centred, full screen
// on F11 and back, full-screen keys that leave a story text waiting, and a
// scale too large for any window.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "game_process.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

using Rgb = std::array<std::uint8_t, 3>;
constexpr Rgb WHITE{255, 255, 255}, BLACK{0, 0, 0};

// A window picture that must be `snap` (sw pixels wide) scaled k times with
// its top-left corner at (x, y), on `border` everywhere else.
struct Scaled {
  const std::vector<std::uint8_t>& snap;
  int sw, ww, wh, k, x, y;
  Rgb border;
  bool operator()(const std::vector<std::uint8_t>& shot) const {
    const int sh = static_cast<int>(snap.size() / 3) / sw;
    if (shot.size() != std::size_t(ww) * wh * 3) return false;
    for (int py = 0; py < wh; ++py)
      for (int px = 0; px < ww; ++px) {
        const bool inside = px >= x && px < x + sw * k && py >= y && py < y + sh * k;
        const std::uint8_t* want = inside ? &snap[(std::size_t((py - y) / k) * sw + (px - x) / k) * 3] : border.data();
        if (std::memcmp(&shot[(std::size_t(py) * ww + px) * 3], want, 3) != 0) return false;
      }
    return true;
  }
};

class ScaledWindow : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok()) << "no Xvfb";
    ASSERT_TRUE(wm_.ok()) << "openbox did not start";
  }
  PrivateX x_{"1920x1080"};
  WindowManager wm_;
};

TEST_F(ScaledWindow, WholeFactorsCentredAndFullScreenOnF11) {
  // A 32 x 24 board: 640 x 480 pixels, factor 1 within three quarters of 1920 x 1080.
  const std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", level_file({{1, room(32, 24, 3, 22, 28, 22)}}));
  GameProcess game(dir, true, {});
  ASSERT_FALSE(game.window().empty()) << game.err();
  const std::string w = game.window();
  EXPECT_EQ(run("xdotool getwindowgeometry " + w + " | grep Geometry"), "  Geometry: 640x480");
  const auto snap = replay_picture(dir, "frames 5\n");
  ASSERT_EQ(snap.size(), 640u * 480 * 3);
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 640, 480, 1, 0, 0, WHITE})) << "not the replay's picture";

  run("xdotool windowmove --sync " + w + " 0 0 windowsize --sync " + w + " 1280 960");
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 1280, 960, 2, 0, 0, WHITE})) << "not 2x at 1280 x 960";
  run("xdotool windowsize --sync " + w + " 1000 700");
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 1000, 700, 1, 180, 110, WHITE})) << "not 1x centred at 1000 x 700";

  game.xdo("key F11");
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 1920, 1080, 2, 320, 60, BLACK})) << "not full screen, 2x on black";
  game.xdo("key F11");
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 1000, 700, 1, 180, 110, WHITE})) << "the window did not come back";

  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
}

TEST_F(ScaledWindow, FullScreenKeysLeaveTheStoryWaiting) {
  // The story starts at once on this board of 12 x 8 cells (240 x 160 pixels).
  const std::string dir = make_temp_dir();
  std::ifstream levels(std::string(TERVALON_SOURCE_DIR) + "/tests/faults/levels/story.dat");
  write_file(dir, "tervalon.dat", std::string(std::istreambuf_iterator<char>(levels), {}));
  GameProcess game(dir);  // at factor 1
  ASSERT_FALSE(game.window().empty()) << game.err();
  // Fully shown: the corner has turned white and the picture stays.
  std::vector<std::uint8_t> story, before;
  for (int i = 0; i < 50 && story.empty(); ++i) {
    auto now = game.screenshot();
    if (!now.empty() && now[0] == 255 && now == before) story = now;
    before = now;
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_FALSE(story.empty()) << "the story never came in";

  for (const char* keys : {"F11", "alt+Return"}) {
    game.xdo(std::string("key ") + keys);
    EXPECT_TRUE(game.wait_picture(Scaled{story, 240, 1920, 1080, 6, 240, 60, BLACK})) << keys << ": not full screen";
    game.xdo(std::string("key ") + keys);
    EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == story; })) << keys << ": the story moved on";
  }
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(game.screenshot() == story) << "the story moved on";
  game.xdo("key space");  // a plain key still moves it on
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return !p.empty() && p[0] < 255; }))
      << "the story did not fade out";

  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
}

// A scale that makes the window larger than any the display opens: the line
// says how large, at which scale, and the scale that fits; exit code 1 as
// for any window that cannot open.
TEST(ScaleTooLarge, NamesTheSizeAndTheScaleThatFits) {
  PrivateX x("5120x5120");
  ASSERT_TRUE(x.ok()) << "no Xvfb";
  const std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", level_file({{1, room(127, 127, 3, 125, 120, 125)}}));
  GameProcess game(dir, true, {"--scale", "16"});
  EXPECT_EQ(game.wait_exit(30s), 1);
  EXPECT_EQ(game.err(),
            "display: cannot open a window: a window of 40640 x 40640 pixels (scale 16) is larger than the largest "
            "the display allows, 16384 x 16384; scale 2 fits this screen\n");
}

}  // namespace
}  // namespace tervalon::test
