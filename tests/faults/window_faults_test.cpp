// Faults on the real game's window: closing it in each phase of the story
// interlude, Escape at the story text, storms of resizes, hiding and showing,
// and a flood of key presses whose end result must match the replay's.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "game_process.h"
#include "waiting.h"

namespace tervalon::test {
namespace {

const std::string LEVELS = std::string(TERVALON_SOURCE_DIR) + "/tests/faults/levels/";

// The top-left wall pixel's red: 128 (grey) in play, 255 under the full story
// text, in between while the board fades.
int corner(const std::vector<std::uint8_t>& rgb) { return rgb.empty() ? -1 : rgb[0]; }
bool fading(const std::vector<std::uint8_t>& rgb) { return corner(rgb) > 128 && corner(rgb) < 255; }

// How often the main thread of process `pid` has gone to sleep: the game's
// does once a frame, waiting for the next.
long sleeps(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("voluntary_ctxt_switches:")) return std::stol(line.substr(line.find(':') + 1));
  return -1;
}

class WindowFault : public testing::Test {
 protected:
  // The game on one of our level files: "story" starts the story at once (the
  // entry is right above the exit), "play" has no reachable exit at all.
  void start(const std::string& level) {
    ASSERT_NO_FATAL_FAILURE(prepare(level));
    launch();
    ASSERT_FALSE(window_of(*game_).empty()) << "no window\n" << game_->err();
  }

  void prepare(const std::string& level) {
    ASSERT_TRUE(x_.ok()) << "Xvfb did not start";
    dir_ = fresh_dir();
    std::filesystem::copy_file(LEVELS + level + ".dat", dir_ + "/tervalon.dat");
  }
  void launch() { game_ = std::make_unique<GameProcess>(dir_); }

  // Lets the game run only in short slices and calls `look` between them
  // with the game held stopped, until it returns true; false if it never
  // does. A moment of a few frames cannot pass unseen however late the
  // test's own tools run, and what `look` does meets the game still in it:
  // the game draws once a pass, and the fade moves one step a drawing.
  template <typename Look>
  bool step_until(Look look) {
    return eventually(
        [&] {
          {
            Frozen held(game_->pid());
            if (look()) return true;
          }
          std::this_thread::sleep_for(10ms);  // the game's slice: anything from nothing to a frame or two
          return false;
        },
        PATIENCE, 0ms);
  }

  // The game's window, looked for without waiting, so that a held game is
  // never waited on.
  bool window_shown() { return !run("xdotool search --onlyvisible --name '^Tervalon' 2>/dev/null").empty(); }

  // The replay's picture of the story text fully shown: the fade-in is over
  // and the story waits for a key.
  std::vector<std::uint8_t> full_story() { return replay_picture(dir_, "frames 200\n"); }

  bool story_shown() {
    const auto story = full_story();
    return !story.empty() && game_->wait_picture([&](const auto& shot) { return shot == story; }, PATIENCE);
  }

  bool close_button() { return press_close_button(std::stoul(game_->window())); }

  // The normal end: exit code 0, nothing on standard error.
  void expect_clean_exit() {
    EXPECT_EQ(game_->wait_exit(PATIENCE), 0) << game_->err();
    EXPECT_EQ(game_->err(), "");
  }

  PrivateX x_;
  std::string dir_;
  std::unique_ptr<GameProcess> game_;
};

TEST_F(WindowFault, ClosedDuringTheFadeIn) {
  ASSERT_NO_FATAL_FAILURE(prepare("story"));
  const auto story = full_story();
  // Held in slices from its start: the fade-in begins as soon as the window
  // shows, and a lookout that first waits for the window may find it over.
  launch();
  std::vector<std::uint8_t> seen;
  ASSERT_TRUE(step_until([&] {
    if (!window_shown()) return !game_->running();
    seen = game_->screenshot();
    if (fading(seen)) {
      EXPECT_TRUE(close_button());
    }
    return fading(seen) || seen == story;
  })) << "no window\n"
      << game_->err();
  ASSERT_TRUE(fading(seen)) << (seen == story ? "the fade-in went by unseen" : "the game ended\n" + game_->err());
  expect_clean_exit();
}

TEST_F(WindowFault, ClosedAtTheFullyShownStory) {
  start("story");
  ASSERT_TRUE(story_shown());
  EXPECT_TRUE(close_button());
  expect_clean_exit();
}

TEST_F(WindowFault, ClosedDuringTheFadeOut) {
  start("story");
  ASSERT_TRUE(story_shown());
  {
    // The key is taken in once the game goes on, in the slices below.
    Frozen held(game_->pid());
    game_->xdo("key space");
  }
  int seen = -1;
  ASSERT_TRUE(step_until([&] {
    const auto shot = game_->screenshot();
    seen = corner(shot);
    if (fading(shot)) {
      EXPECT_TRUE(close_button());
    }
    return seen != 255 || !game_->running();
  })) << "the story never moved on";
  ASSERT_TRUE(seen > 128 && seen < 255) << "the fade-out went by unseen: corner " << seen << "\n" << game_->err();
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
  const auto resting = replay_picture(dir, "frames 60\n");
  game.xdo("windowsize " + game.window() + " 240 160");
  EXPECT_TRUE(game.wait_picture([&](const auto& shot) { return shot == resting; }, PATIENCE))
      << "the picture is wrong after " << after;
  int width = 0;
  game.screenshot(&width);
  EXPECT_EQ(width, 240) << after;
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
    game_->xdo("windowunmap --sync " + game_->window());
    // Hidden for half a second of the game's frames, however long they take.
    const long before = sleeps(game_->pid());
    EXPECT_TRUE(eventually([&] { return sleeps(game_->pid()) >= before + 30 || !game_->running(); }));
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
  const auto at_the_wall = replay_picture(dir_, script + "down right\nframes 200\n");
  const auto replay = replay_picture(dir_, script + "down right\nframes 200\nup right\nframes 60\n");
  game_->xdo("key --delay 0 " + taps);
  ASSERT_TRUE(game_->running()) << game_->err();
  // However late the flood is taken in, Right is held until the player is
  // seen against the wall, and the picture then waited for.
  game_->xdo("keydown Right");
  EXPECT_TRUE(game_->wait_picture([&](const auto& shot) { return shot == at_the_wall; }, PATIENCE))
      << "the player never came to rest against the right wall";
  game_->xdo("keyup Right");
  EXPECT_TRUE(game_->wait_picture([&](const auto& shot) { return shot == replay; }, PATIENCE))
      << "the game's picture differs from the replay of the same keys";
  int width = 0;
  game_->screenshot(&width);
  EXPECT_EQ(width, 240);
  EXPECT_FALSE(replay == replay_picture(dir_, "frames 60\n")) << "the player never moved";
  game_->xdo("key Escape");
  expect_clean_exit();
}

}  // namespace
}  // namespace tervalon::test
