// The X server killed under the running game, many times over, with the
// window enlarged and a key held: the game ends at once with one line and
// exit code 1, never by a signal, never hanging, and (in the thread-checked
// build) with no report. Under the run-time error's box it ends with the
// error number.
#include <gtest/gtest.h>

#include <filesystem>

#include "game_process.h"
#include "waiting.h"

namespace tervalon::test {
namespace {

const std::string PLAY = std::string(TERVALON_SOURCE_DIR) + "/tests/faults/levels/play.dat";
const std::string LOST = "display: the connection to the X server was lost\n";

TEST(LostDisplay, TwentyKillsOfTheXServerUnderPlay) {
  const std::string dir = fresh_dir();
  std::filesystem::copy_file(PLAY, dir + "/tervalon.dat");
  int survived = 0;
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    PrivateX x;
    ASSERT_TRUE(x.ok()) << "Xvfb did not start";
    GameProcess game(dir);
    ASSERT_FALSE(window_of(game).empty()) << game.err();
    // The server goes at a different moment of the game's work each round.
    game.xdo("windowsize " + game.window() + " 1500 1100 keydown Right sleep 0." + std::to_string(round % 5));
    x.kill_now();
    const int code = game.wait_exit(PATIENCE);
    EXPECT_EQ(code, 1) << game.err();
    EXPECT_EQ(game.err(), LOST);
    survived += code == 1 && game.err() == LOST;
  }
  EXPECT_EQ(survived, 20);
}

TEST(LostDisplay, UnderTheErrorBoxEndsWithTheErrorNumber) {
  PrivateX x;
  ASSERT_TRUE(x.ok()) << "Xvfb did not start";
  GameProcess game(fresh_dir());  // no level file: error 2 and its box
  eventually([] { return !error_boxes().empty(); }, PATIENCE, 50ms);
  ASSERT_EQ(error_boxes().size(), 1u) << game.err();
  x.kill_now();
  EXPECT_EQ(game.wait_exit(PATIENCE), 2) << game.err();
  EXPECT_TRUE(game.err().ends_with(LOST)) << game.err();
}

}  // namespace
}  // namespace tervalon::test
