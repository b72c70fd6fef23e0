// The real game in a private X server: what the window shows against the
// replay tool's picture of the same state, play by real key presses, the
// story interlude, every way the program ends, and its exit codes.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "../game/support.h"
#include "xvfb.h"

extern char** environ;

namespace tervalon::test {
namespace {

using namespace std::chrono_literals;

const std::string BIN = TERVALON_BINARY_DIR;

// Level 0 (20 x 12 cells): end cell (1, 10), entry (3, 10), a pillar two
// cells high at column 8, exit (17, 10) far enough beyond it that a jump over
// the pillar lands short of it. Level 1: a room whose exit wants a long trail.
std::string levels() {
  auto hub = room(20, 12, 3, 10, 17, 10);
  hub[10][1] = 'e';
  hub[9][8] = hub[10][8] = 'x';
  return level_file({{1, hub}, {1000, room(20, 12, 2, 10, 13, 10)}});
}

// The game running in a folder of its own.
class Game {
 public:
  explicit Game(const std::string& level_file, bool with_display = true) : dir_(make_temp_dir()) {
    if (!level_file.empty()) write_file(dir_, "tervalon.dat", level_file);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addchdir_np(&fa, dir_.c_str());
    posix_spawn_file_actions_addopen(&fa, 2, (dir_ + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string exe = BIN + "/game/tervalon";
    char* argv[] = {exe.data(), nullptr};
    std::vector<std::string> env_store;
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
      if (with_display || std::string(*e).rfind("DISPLAY=", 0) != 0) env.push_back(*e);
    env.push_back(nullptr);
    posix_spawn(&pid_, exe.c_str(), &fa, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&fa);
  }
  ~Game() {
    if (pid_ > 0 && exit_code_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  const std::string& dir() const { return dir_; }

  // The window's id, once it is mapped; empty when none appears in time.
  std::string window() {
    if (window_.empty()) window_ = run("timeout 10 xdotool search --sync --onlyvisible --name '^Tervalon$' | head -1");
    return window_;
  }

  // The exit code once the process ends (dismissing any error box meanwhile);
  // -1 when it is still running after `limit`.
  int wait_exit(std::chrono::milliseconds limit = 5s) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (exit_code_ < 0 && std::chrono::steady_clock::now() < until) {
      int status;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        break;
      }
      if (getenv("DISPLAY")) dismiss_error_boxes();
      std::this_thread::sleep_for(50ms);
    }
    return exit_code_;
  }

  std::string err() const {
    std::ostringstream s;
    s << std::ifstream(dir_ + "/stderr").rdbuf();
    return s.str();
  }

  // Real key presses (xdotool, through the X server) into the focused window.
  void keys(const std::string& xdotool_args) {
    run("xdotool windowfocus --sync " + window() + " 2>/dev/null");
    run("xdotool " + xdotool_args);
  }

  // Waits until the window's picture satisfies `ok`; false after `limit`.
  // Polling, not sleeping a fixed time: a loaded machine may run the game late.
  template <typename Ok>
  bool wait_picture(Ok ok, std::chrono::milliseconds limit = 8s) {
    for (auto until = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < until;) {
      if (ok(screenshot())) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  // The window's picture as the X server has it.
  std::vector<std::uint8_t> screenshot() {
    std::string path = dir_ + "/shot.ppm";
    run("import -window " + window() + " -depth 8 ppm:" + path);
    return ppm_pixels(path);
  }

  // The replay tool's picture after `script`, on the same level file.
  std::vector<std::uint8_t> replay_snap(const std::string& script) {
    std::string path = dir_ + "/snap.ppm";
    write_file(dir_, "script", script + "snap " + path + "\n");
    run("cd " + dir_ + " && '" + BIN + "/tools/tervalon-replay' script > /dev/null");
    return ppm_pixels(path);
  }

  static std::vector<std::uint8_t> ppm_pixels(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, max = 0;
    f >> magic >> w >> h >> max;
    f.get();
    std::vector<std::uint8_t> p(static_cast<std::size_t>(w) * h * 3);
    f.read(reinterpret_cast<char*>(p.data()), static_cast<std::streamsize>(p.size()));
    if (magic != "P6" || max != 255 || !f) p.clear();
    return p;
  }

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int exit_code_ = -1;
  std::string window_;
};

// Pixels of a picture that are clearly blue: the forward story colour (and
// the exit marker).
int blue_pixels(const std::vector<std::uint8_t>& rgb) {
  int n = 0;
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) n += rgb[i + 2] > rgb[i] + 80 && rgb[i + 2] > rgb[i + 1] + 80;
  return n;
}

// The top-left pixel, a wall: grey in play, nearly white under the story.
int corner_red(const std::vector<std::uint8_t>& rgb) { return rgb.empty() ? -1 : rgb[0]; }

class GameInX : public testing::Test {
 protected:
  PrivateX x;
  void SetUp() override { ASSERT_TRUE(x.ok()) << "no Xvfb"; }
};

TEST_F(GameInX, ShowsTheBoardAndMovesAsTheReplayPredicts) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  EXPECT_EQ(run("xdotool getwindowgeometry " + game.window() + " | grep Geometry"), "  Geometry: 400x240");
  auto start = game.replay_snap("frames 5\n");
  ASSERT_EQ(start.size(), 400u * 240 * 3);
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == start; }))
      << "the window differs from the replay's picture";

  // Right held until the pillar stops the player (auto-repeat included).
  auto at_pillar = game.replay_snap("down right\nframes 200\nup right\nframes 20\n");
  EXPECT_FALSE(at_pillar == start);
  game.keys("keydown Right");
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == at_pillar; }))
      << "the player is not where the replay puts it";
  game.keys("keyup Right sleep 0.3");
  EXPECT_TRUE(game.screenshot() == at_pillar);

  game.keys("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
}

TEST_F(GameInX, AGoalBringsTheStoryInAndAKeyMovesOn) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  // Right to the pillar, one jump over it, on to the exit.
  auto at_pillar = game.replay_snap("down right\nframes 200\n");
  game.keys("keydown Right");
  ASSERT_TRUE(game.wait_picture([&](const auto& p) { return p == at_pillar; }));
  game.keys("keydown Up sleep 0.1 keyup Up");  // held over a frame, or the press is lost
  // The story fully shown: a key moves on only then.
  auto story = game.replay_snap("down right\nframes 60\ndown up\nframes 1\nup up\nframes 300\n");
  EXPECT_GT(corner_red(story), 250);  // the board has faded out ...
  EXPECT_GT(blue_pixels(story), 100);  // ... under the story text
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == story; })) << "the story has not come in";
  game.keys("keyup Right");

  game.keys("key space");
  auto level1 = game.replay_snap(
      "down right\nframes 60\ndown up\nframes 1\nup up\nframes 300\nup right\n"
      "down 32\nup 32\nframes 70\n");
  EXPECT_EQ(corner_red(level1), 128);  // level 1 in play: no story left
  EXPECT_EQ(blue_pixels(level1), 0);   // its exit marker is still empty
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == level1; }))
      << "level 1 has not faded in as the replay shows it";

  EXPECT_TRUE(press_close_button(std::stoul(game.window())));
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
}

TEST_F(GameInX, TheEndCellEndsTheGame) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  game.keys("keydown Left");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
  game.keys("keyup Left");
}

TEST_F(GameInX, ABadLevelFileStopsBeforeTheWindowWithItsCode) {
  Game missing("");
  EXPECT_EQ(missing.wait_exit(10s), 2);
  EXPECT_NE(missing.err().find("Runtime error 2 at $"), std::string::npos) << missing.err();

  Game invalid("1\n16 1x2\n");
  EXPECT_EQ(invalid.wait_exit(10s), 106);
  EXPECT_NE(invalid.err().find("tervalon.dat:2: \"1x2\" is not a whole number\nRuntime error 106 at $"),
            std::string::npos)
      << invalid.err();
}

TEST(GameWithoutDisplay, SaysSoAndExitsWith1) {
  Game game(levels(), false);
  EXPECT_EQ(game.wait_exit(10s), 1);
  std::string err = game.err();
  EXPECT_NE(err.find("display"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

}  // namespace
}  // namespace tervalon::test
