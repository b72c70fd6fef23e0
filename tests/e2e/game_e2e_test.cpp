// The real game in a private X server: what the window shows against the
// replay tool's picture of the same state, play by real key presses, the
// story interlude, every way the program ends, and its exit codes.
#include <gtest/gtest.h>

#include <algorithm>

#include "../game/support.h"
#include "game_process.h"

namespace tervalon::test {
namespace {

using namespace std::chrono_literals;

// Level 0 (20 x 12 cells): end cell (1, 10), entry (3, 10), a pillar two
// cells high at column 8, exit (17, 10) far enough beyond it that a jump over
// the pillar lands short of it. Level 1: a room whose exit wants a long trail.
std::string levels() {
  auto hub = room(20, 12, 3, 10, 17, 10);
  hub[10][1] = 'e';
  hub[9][8] = hub[10][8] = 'x';
  return level_file({{1, hub}, {1000, room(20, 12, 2, 10, 13, 10)}});
}

// The game in a fresh folder holding `levels` as its level file (none when
// empty).
class Game : public GameProcess {
 public:
  explicit Game(const std::string& levels, bool with_display = true)
      : GameProcess(folder_with(levels), with_display) {}

  // The replay tool's picture after `script`, on the same level file.
  std::vector<std::uint8_t> replay_snap(const std::string& script) { return replay_picture(dir(), script); }

 private:
  static std::string folder_with(const std::string& levels) {
    std::string dir = make_temp_dir();
    if (!levels.empty()) write_file(dir, "tervalon.dat", levels);
    return dir;
  }
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
  game.xdo("keydown Right");
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == at_pillar; }))
      << "the player is not where the replay puts it";
  game.xdo("keyup Right sleep 0.3");
  EXPECT_TRUE(game.screenshot() == at_pillar);

  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
}

TEST_F(GameInX, AGoalBringsTheStoryInAndAKeyMovesOn) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  // Right to the pillar, one jump over it, on to the exit.
  auto at_pillar = game.replay_snap("down right\nframes 200\n");
  game.xdo("keydown Right");
  ASSERT_TRUE(game.wait_picture([&](const auto& p) { return p == at_pillar; }));
  game.xdo("keydown Up sleep 0.1 keyup Up");  // held over a frame, or the press is lost
  // The story fully shown: a key moves on only then.
  auto story = game.replay_snap("down right\nframes 60\ndown up\nframes 1\nup up\nframes 300\n");
  EXPECT_GT(corner_red(story), 250);  // the board has faded out ...
  EXPECT_GT(blue_pixels(story), 100);  // ... under the story text
  EXPECT_TRUE(game.wait_picture([&](const auto& p) { return p == story; })) << "the story has not come in";
  game.xdo("keyup Right");

  game.xdo("key space");
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
  game.xdo("keydown Left");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
  game.xdo("keyup Left");
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
