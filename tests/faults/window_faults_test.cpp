// Faults on the real game's window: closing it in each phase of the story
// interlude, Escape at the story text, storms of resizes, hiding and showing,
// and a flood of key presses whose end result must match the replay's.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "game_process.h"

namespace tervalon::test {
namespace {

const std::string LEVELS = std::string(TERVALON_SOURCE_DIR) + "/tests/faults/levels/";

// The top-left wall pixel's red: 128 (grey) in play, 255 under the full story
// text, in between while the board fades.
int corner(const std::vector<std::uint8_t>& rgb) { return rgb.empty() ? -1 : rgb[0]; }
bool fading(const std::vector<std::uint8_t>& rgb) { return corner(rgb) > 128 && corner(rgb) < 255; }

class WindowFault : public testing::Test {
 protected:
  // The game on one of our level files: "story" starts the story at once (the
  // entry is right above the exit), "play" has no reachable exit at all.
  void start(const std::string& level) {
    ASSERT_TRUE(x_.ok()) << "Xvfb did not start";
    dir_ = fresh_dir();
    std::filesystem::copy_file(LEVELS + level + ".dat", dir_ + "/tervalon.dat");
    game_ = std::make_unique<GameProcess>(dir_);
    ASSERT_FALSE(game_->window().empty()) << "no window\n" << game_->err();
  }

  // Waits until the story text is fully shown; false if it never is. The
  // corner turns white a few frames before the fade-in ends, so the picture
  // must also have stopped changing.
  bool story_shown() {
    std::vector<std::uint8_t> before;
    for (int i = 0; i < 50; ++i) {
      auto now = game_->screenshot();
      if (corner(now) == 255 && now == before) return true;
      before = now;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  void close_button() { ASSERT_TRUE(press_close_button(std::stoul(game_->window()))); }

  // The normal end: exit code 0, nothing on standard error.
  void expect_clean_exit() {
    EXPECT_EQ(game_->wait_exit(), 0) << game_->err();
    EXPECT_EQ(game_->err(), "");
  }

  PrivateX x_;
  std::string dir_;
  std::unique_ptr<GameProcess> game_;
};

TEST_F(WindowFault, ClosedDuringTheFadeIn) {
  start("story");
  EXPECT_TRUE(fading(game_->screenshot())) << "too late: the story was not fading in";
  close_button();
  expect_clean_exit();
}

TEST_F(WindowFault, ClosedAtTheFullyShownStory) {
  start("story");
  ASSERT_TRUE(story_shown());
  close_button();
  expect_clean_exit();
}

TEST_F(WindowFault, ClosedDuringTheFadeOut) {
  start("story");
  ASSERT_TRUE(story_shown());
  game_->xdo("key space sleep 0.3");
  auto shot = game_->screenshot();
  EXPECT_TRUE(fading(shot)) << "the story was not fading out: corner " << corner(shot);
  close_button();
  expect_clean_exit();
}

TEST_F(WindowFault, EscapeWhileTheStoryWaitsForAKey) {
  start("story");
  ASSERT_TRUE(story_shown());
  game_->xdo("key Escape");
  expect_clean_exit();
}

// After any storm the window is put back to the board's size (240 x 160), and
// the picture must then be the one the replay draws for the player at rest.
void expect_resting_picture(GameProcess& game, const std::string& dir, const char* after) {
  game.xdo("windowsize " + game.window() + " 240 160 sleep 0.5");
  int width = 0;
  auto shot = game.screenshot(&width);
  EXPECT_EQ(width, 240) << after;
  EXPECT_TRUE(shot == replay_picture(dir, "frames 60\n")) << "the picture is wrong after " << after;
}

TEST_F(WindowFault, TwoHundredResizesDuringPlay) {
  start("play");
  std::mt19937 random(200);
  std::string storm;
  for (int i = 0; i < 200; ++i) {
    // Down to a single pixel and up to most of the screen.
    std::uint32_t w = i % 50 == 0 ? 1 : 1 + static_cast<std::uint32_t>(random() % 1200),
                  h = i % 50 == 0 ? 1 : 1 + static_cast<std::uint32_t>(random() % 1000);
    storm += "windowsize " + game_->window() + " " + std::to_string(w) + " " + std::to_string(h) + " ";
  }
  game_->xdo(storm);
  ASSERT_TRUE(game_->running()) << game_->err();
  expect_resting_picture(*game_, dir_, "200 resizes");
  game_->xdo("key Escape");
  expect_clean_exit();
}

// Without a window manager, hiding and showing the window is what minimising
// and restoring it look like to the game.
TEST_F(WindowFault, MinimisedAndRestored) {
  start("play");
  for (int round = 0; round < 3; ++round) {
    game_->xdo("windowunmap --sync " + game_->window() + " sleep 0.3");
    ASSERT_TRUE(game_->running()) << "while minimised\n" << game_->err();
    run("xdotool windowmap --sync " + game_->window());
    ASSERT_TRUE(game_->running()) << "after restoring\n" << game_->err();
  }
  expect_resting_picture(*game_, dir_, "minimising and restoring");
  game_->xdo("key Escape");
  expect_clean_exit();
}

// 20,000 key events as fast as xdotool sends them. Where the player is after
// them depends on when each arrived, so the flood ends with Right held until
// the player rests against the right wall: that picture is fixed, and the
// replay of the same keys must show it exactly. (That no single event is lost
// on the way is counted in the display library's flood test.)
TEST_F(WindowFault, TwentyThousandKeyEventsThenTheReplaysPicture) {
  start("play");
  std::mt19937 random(20000);
  const char* names[] = {"Left", "Right", "Up"};
  const char* replay_names[] = {"left", "right", "up"};
  std::string taps, script;
  for (int i = 0; i < 10000; ++i) {  // a tap is a key-down and a key-up
    auto k = random() % 3;
    taps += std::string(names[k]) + " ";
    script += std::string("down ") + replay_names[k] + "\nup " + replay_names[k] + "\n";
  }
  game_->xdo("key --delay 0 " + taps);
  ASSERT_TRUE(game_->running()) << game_->err();
  game_->xdo("keydown Right sleep 2.5 keyup Right sleep 0.5");
  int width = 0;
  auto shot = game_->screenshot(&width);
  auto replay = replay_picture(dir_, script + "down right\nframes 200\nup right\nframes 60\n");
  ASSERT_EQ(width, 240);
  EXPECT_TRUE(shot == replay) << "the game's picture differs from the replay of the same keys";
  EXPECT_FALSE(replay == replay_picture(dir_, "frames 60\n")) << "the player never moved";
  game_->xdo("key Escape");
  expect_clean_exit();
}

}  // namespace
}  // namespace tervalon::test
