// The real game's window at other sizes, under a private X server with a
// window manager: the board scaled by whole factors and centred, full screen
// on F11 and back, full-screen keys that leave a story text waiting, a scale
// too large for the screen, and the display library's window filling a
// screen at a factor that is not whole.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "display/display.h"
#include "display/scaler.h"
#include "game_process.h"
#include "tests/game/support.h"
#include "waiting.h"

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
  // A 32 x 24 board: 640 x 480 pixels, opened at --scale 1 (the test's default).
  const std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", level_file({{1, room(32, 24, 3, 22, 28, 22)}}));
  GameProcess game(dir, true, {});
  ASSERT_FALSE(window_of(game).empty()) << game.err();
  const std::string w = game.window();
  EXPECT_EQ(run("xdotool getwindowgeometry " + w + " | grep Geometry"), "  Geometry: 640x480");
  const auto snap = replay_picture(dir, "frames 5\n");
  ASSERT_EQ(snap.size(), 640u * 480 * 3);
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 640, 480, 1, 0, 0, WHITE}, PATIENCE)) << "not the replay's picture";

  run("xdotool windowmove --sync " + w + " 0 0 windowsize --sync " + w + " 1280 960");
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 1280, 960, 2, 0, 0, WHITE}, PATIENCE)) << "not 2x at 1280 x 960";
  run("xdotool windowsize --sync " + w + " 1000 700");
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 1000, 700, 1, 180, 110, WHITE}, PATIENCE))
      << "not 1x centred at 1000 x 700";

  game.xdo("key F11");
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 1920, 1080, 2, 320, 60, BLACK}, PATIENCE))
      << "not full screen, 2x on black";
  game.xdo("key F11");
  EXPECT_TRUE(game.wait_picture(Scaled{snap, 640, 1000, 700, 1, 180, 110, WHITE}, PATIENCE))
      << "the window did not come back";

  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(PATIENCE), 0) << game.err();
}

TEST_F(ScaledWindow, FullScreenKeysLeaveTheStoryWaiting) {
  // The story starts at once on this board of 12 x 8 cells (240 x 160 pixels).
  const std::string dir = make_temp_dir();
  std::ifstream levels(std::string(TERVALON_SOURCE_DIR) + "/tests/faults/levels/story.dat");
  write_file(dir, "tervalon.dat", std::string(std::istreambuf_iterator<char>(levels), {}));
  // Fully shown: the fade-in over, the story waiting for a key.
  const auto story = replay_picture(dir, "frames 200\n");
  ASSERT_EQ(story.size(), 240u * 160 * 3);
  // At factor 1; the recording holds every key message the game took.
  GameProcess game(dir, true, {"--record", "keys.txt"});
  ASSERT_FALSE(window_of(game).empty()) << game.err();
  ASSERT_TRUE(game.wait_picture([&](const auto& p) { return p == story; }, PATIENCE)) << "the story never came in";

  for (const char* keys : {"F11", "alt+Return"}) {
    game.xdo(std::string("key ") + keys);
    EXPECT_TRUE(game.wait_picture(Scaled{story, 240, 1920, 1080, 6, 240, 60, BLACK}, PATIENCE))
        << keys << ": not full screen";
    game.xdo(std::string("key ") + keys);
    EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == story; }, PATIENCE))
        << keys << ": the story moved on";
  }
  game.xdo("key space");  // a plain key still moves it on
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return !p.empty() && p[0] < 255; }, PATIENCE))
      << "the story did not fade out";

  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(PATIENCE), 0) << game.err();
  // However late the game took its messages, none came from the full-screen
  // keys: the first key-down it took is Space's (an Up).
  std::ifstream recording(dir + "/keys.txt");
  std::string first_down;
  for (std::string line; first_down.empty() && std::getline(recording, line);)
    if (line.starts_with("down ")) first_down = line;
  EXPECT_EQ(first_down, "down up") << "a full-screen key reached the game";
}

// A scale the screen cannot hold: the window opens at the largest that fits
// its work area, and one line says so.
TEST(ScaleTooLarge, OpensAtTheLargestThatFitsAndSaysSo) {
  PrivateX x("1600x1000");
  ASSERT_TRUE(x.ok()) << "no Xvfb";
  const std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", level_file({{1, room(32, 24, 3, 22, 28, 22)}}));
  GameProcess game(dir, true, {"--scale", "3"});
  ASSERT_FALSE(window_of(game).empty()) << game.err();
  EXPECT_EQ(run("xdotool getwindowgeometry " + game.window() + " | grep Geometry"), "  Geometry: 1280x960");
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(PATIENCE), 0);
  EXPECT_EQ(game.err(), "tervalon: --scale 3 does not fit the screen (1600 x 1000); using 2\n");
}

// With no scale asked for, the window opens at the largest whole factor
// within nine tenths of the work area: 2 for 640 x 480 on 1920 x 1080 (a
// screen with no panels, its work area whole), and 1 for 900 x 500, whose 2x
// fits the screen but not within that margin.
TEST(OpeningScale, TheLargestWithinNineTenthsOfTheWorkArea) {
  PrivateX x("1920x1080");
  ASSERT_TRUE(x.ok()) << "no Xvfb";
  for (const auto [w, h, k] : {std::array<std::uint32_t, 3>{640, 480, 2}, {900, 500, 1}}) {
    display::set_logical_size(w, h);
    display::CREATEWIN(0, 0, display::BLACK, display::WHITE);
    ASSERT_TRUE(display::ISWIN());
    EXPECT_EQ(display::window_scale(), k) << w << " x " << h;
    display::CLOSEWIN();
  }
  display::set_logical_size(0, 0);
}

// Only pictures larger than any window even at 1x still cannot open: the
// line names the size and the scale.
TEST(ScaleTooLarge, PicturesBeyondTheLargestWindowAtOnceStillFail) {
  EXPECT_EXIT(
      {
        display::use_headless_backend();
        display::set_logical_size(17000, 100, 2);
        display::CREATEWIN(0, 0, display::BLACK, display::WHITE);
      },
      testing::ExitedWithCode(display::NO_DISPLAY),
      "display: cannot open a window: a window of 17000 x 100 pixels \\(scale 1\\) is larger than the largest the "
      "display allows, 16384 x 16384\n");
}

// Filling the screen (the game has no option for it yet, so the display
// library's own window): in full screen on 1366 x 768 a 640 x 480 picture
// spans all 768 rows, 1024 columns from 171, exactly as the scaler places it,
// and the pointer is read back through the same placement.
TEST(FitToScreen, FullScreenSpansTheScreensHeight) {
  PrivateX x("1366x768");
  ASSERT_TRUE(x.ok()) << "no Xvfb";
  WindowManager wm;
  ASSERT_TRUE(wm.ok()) << "openbox did not start";
  display::set_logical_size(640, 480, 1, true, true);
  display::CREATEWIN(0, 0, display::BLACK, display::WHITE);
  ASSERT_TRUE(display::ISWIN());
  std::vector<std::uint32_t> picture(std::size_t{640} * 480);
  for (std::uint32_t i = 0; i < picture.size(); ++i) picture[i] = (i + 2) * 16;  // never the colour key
  std::copy(picture.begin(), picture.end(), display::PMAIN->pixels.begin());
  display::FRESHWIN();
  std::vector<std::uint32_t> want(std::size_t{1366} * 768);
  const display::Placement at = display::fit_picture(640, 480, 1366, 768, true);
  ASSERT_EQ(at.h, 768u);
  display::scale_picture(picture.data(), 640, 480, at, {want.data(), 1366, 768, std::size_t{1366} * 4}, 0, false);
  const std::string window = std::to_string(display::HW.load());
  const std::string path = make_temp_dir() + "/shot.ppm";
  std::vector<std::uint32_t> shot;
  eventually(
      [&] {
        run("import -depth 8 -window " + window + " ppm:" + path);
        const std::vector<std::uint8_t> rgb = read_ppm(path);
        shot.assign(rgb.size() / 3, 0);
        for (std::size_t i = 0; i < shot.size(); ++i)
          shot[i] = 0xFF000000u | rgb[3 * i] | (rgb[3 * i + 1] << 8) | (rgb[3 * i + 2] << 16);
        return shot == want;
      },
      PATIENCE, 100ms);
  ASSERT_EQ(shot.size(), want.size()) << "not full screen";
  EXPECT_TRUE(shot == want) << "not the filled picture";
  EXPECT_EQ(shot[171] & 0xFFFFFFu, picture[0]) << "the top row is the picture's";
  EXPECT_EQ(shot[767 * 1366 + 1194] & 0xFFFFFFu, picture.back()) << "the bottom row is the picture's";
  EXPECT_EQ(shot[767 * 1366 + 1195] & 0xFFFFFFu, 0u);

  // Window pixel (1000, 500) shows picture pixel (829 * 640 / 1024, 500 * 480 / 768).
  // The move is made again until the window reports it; a report that comes
  // late is still read on a later round.
  std::int32_t px = -99, py = -99;
  eventually(
      [&] {
        run("xdotool mousemove --window " + window + " 0 0 mousemove --window " + window + " 1000 500");
        display::wait_message(200);
        while (display::ISNEXTMSG())
          if (display::ISMSG({display::WM_MOUSEMOVE}) && !(px == 518 && py == 312))
            px = static_cast<std::int16_t>(display::MS.LPARAM & 0xFFFF),
            py = static_cast<std::int16_t>(display::MS.LPARAM >> 16);
        return px == 518 && py == 312;
      },
      PATIENCE, 0ms);
  EXPECT_EQ(px, 518);
  EXPECT_EQ(py, 312);
  display::CLOSEWIN();
}

}  // namespace
}  // namespace tervalon::test
