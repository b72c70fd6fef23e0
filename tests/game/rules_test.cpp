// The game frame, the progression between levels and passes, the key
// handling of the main loop and the fade bookkeeping of the interlude.
#include <gtest/gtest.h>

#include "game/replay/script.h"
#include "game/rules/coords.h"
#include "game/rules/rules.h"
#include "game/rules/trail.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

// Level 0: entry (3, 4), exit (6, 4), end (1, 4). Levels 1 and 2: entry (2, 4),
// exit (8, 4), least trail lengths 5 and 6.
std::vector<Level> course() {
  auto hub = room(12, 6, 3, 4, 6, 4);
  hub[4][1] = 'e';
  return {{1, hub}, {5, room(12, 6, 2, 4, 8, 4)}, {6, room(12, 6, 2, 4, 8, 4)}};
}

class Rules : public GameTest {
 protected:
  void SetUp() override { start(g, course()); }
  // Frames as the game runs them with a drawing after each.
  bool frames(int n) {
    for (int i = 0; i < n; ++i)
      if (frame_pass(g, 1).end) return true;
    return false;
  }
  void walk_to_exit() {
    g.KR = 1;
    for (int i = 0; i < 400 && g.PAUSE == 0; ++i) frames(1);
    g.KR = 0;
    ASSERT_EQ(g.PAUSE, 1u);
  }
  void wait_text() {
    for (int i = 0; i < 62; ++i) frames(1);
    ASSERT_EQ(g.PAUSE, 2u);
    ASSERT_EQ(g.CTEMP, 252);
  }
  void key() { handle_message(g, WM_KEYDOWN, 32); }
};

TEST_F(Rules, TheInterludeFadesIn63FramesEachWay) {
  walk_to_exit();
  EXPECT_EQ(g.CTEMP, 4);
  EXPECT_EQ(g.CTEXT, 251);
  EXPECT_EQ(g.CURTEXT[1], "T0.1.1");
  EXPECT_EQ(g.CURTEXT[4], "T0.1.4");
  EXPECT_EQ(g.CURTEXTC, 0xBF0000u);
  std::uint32_t n = g.STPN[0];
  double x = g.PX;
  for (int i = 0; i < 61; ++i) frames(1);
  EXPECT_EQ(g.PAUSE, 1u);
  frames(1);  // the 63rd drawn frame
  EXPECT_EQ(g.PAUSE, 2u);
  EXPECT_EQ(g.CTEMP, 252);
  frames(100);  // waiting: nothing moves
  EXPECT_EQ(g.CTEMP, 252);
  EXPECT_EQ(g.STPN[0], n);
  EXPECT_EQ(g.PX, x);

  key();  // the forward pass starts on level 1
  EXPECT_EQ(g.PAUSE, 3u);
  EXPECT_EQ(g.BDLV, 1);
  EXPECT_EQ(g.GSIT, 1);
  EXPECT_EQ(g.PX, BD2X(2));
  EXPECT_EQ(g.STPN[1], 0u);
  for (int i = 0; i < 62; ++i) frames(1);
  EXPECT_EQ(g.PAUSE, 3u);
  EXPECT_EQ(g.CTEMP, 4);
  frames(1);
  EXPECT_EQ(g.PAUSE, 0u);
  EXPECT_EQ(g.CTEMP, 0);
  EXPECT_EQ(g.CTEXT, 255);
  EXPECT_EQ(g.CURTEXT[1], "T0.1.1");  // kept through the fade-out
}

TEST_F(Rules, TheWholeCourseForwardBackAndHome) {
  walk_to_exit();
  wait_text();
  key();
  frames(63);
  for (int level = 1; level <= 2; ++level) {
    ASSERT_EQ(g.BDLV, level);
    walk_to_exit();
    EXPECT_GE(g.STPN[g.BDLV], g.STPM[g.BDLV]);
    wait_text();
    EXPECT_EQ(g.CURTEXT[2], "T" + std::to_string(level) + ".1.2");
    EXPECT_EQ(g.CURTEXTC, 0xBF0000u);
    key();
    frames(63);
  }
  // The backward pass starts where the forward pass ended, trail kept.
  EXPECT_EQ(g.BDLV, 2);
  EXPECT_EQ(g.GSIT, 2);
  EXPECT_GT(g.STPN[2], 0u);
  for (int level = 2; level >= 1; --level) {
    ASSERT_EQ(g.BDLV, level);
    g.KL = 1;
    for (int i = 0; i < 600 && g.PAUSE == 0; ++i) frames(1);
    g.KL = 0;
    ASSERT_EQ(g.PAUSE, 1u);
    wait_text();
    EXPECT_EQ(g.CURTEXT[3], "T" + std::to_string(level) + ".2.3");
    EXPECT_EQ(g.CURTEXTC, 0x7F7Fu);
    key();
    if (level == 2) {  // level 1 from its exit, its forward trail kept
      EXPECT_EQ(g.PX, BD2X(8));
      EXPECT_GT(g.STPN[1], 0u);
    }
    frames(63);
  }
  // Home on level 0 at its entry; its end cell ends the game.
  EXPECT_EQ(g.BDLV, 0);
  EXPECT_EQ(g.GSIT, 0);
  EXPECT_EQ(g.PX, BD2X(3));
  g.KL = 1;
  bool end = false;
  for (int i = 0; i < 100 && !end; ++i) end = frames(1);
  EXPECT_TRUE(end);
}

TEST_F(Rules, LastLevelExitOnTheEntryTurnsAndLeavesInOneKeyPress) {
  // Level 2 with its entry next to its exit and a short trail: no ghost, so
  // the key press turns to the backward pass and leaves the level at once.
  start(g, course(), 2, 1);
  g.BDIX[2] = 7;
  walk_to_exit();
  wait_text();
  key();
  EXPECT_EQ(g.BDLV, 1);
  EXPECT_EQ(g.GSIT, 2);
  EXPECT_EQ(g.PAUSE, 3u);
  EXPECT_EQ(g.PX, BD2X(8));
}

TEST_F(Rules, TheEndCellIsReportedInAnyPhase) {
  g.PX = BD2X(1);
  g.PY = BD2Y(4);
  g.STPN[0] = 1;
  g.STPX[0][1] = g.PX;
  g.STPY[0][1] = g.PY;
  g.PAUSE = 2;
  g.CTEMP = 252;
  EXPECT_TRUE(game_frame(g));
  EXPECT_EQ(g.FRAME, 1u);
  g.GSIT = 1;  // never outside level 0's pass
  EXPECT_FALSE(game_frame(g));
}

TEST_F(Rules, TheTrailLimitRestartsTheLevelInEitherPass) {
  start(g, course(), 1, 2);
  for (std::uint32_t i = 0; i <= 65535; ++i) {
    g.STPX[1][i] = 1000.0 + i;
    g.STPY[1][i] = 1000.0;
  }
  g.STPN[1] = 65535;
  g.PX = 100;
  g.PY = 50;  // falling: the step records point 65536
  game_frame(g);
  EXPECT_EQ(g.STPN[1], 0u);
  EXPECT_EQ(g.PX, BD2X(8));  // the backward pass starts from the exit
  EXPECT_EQ(g.PAUSE, 0u);
}

TEST_F(Rules, KeysSetTheKeyStateAndEscapeAsksToClose) {
  EXPECT_FALSE(handle_message(g, WM_KEYDOWN, K_LEFT));
  EXPECT_FALSE(handle_message(g, WM_KEYDOWN, K_RIGHT));
  EXPECT_EQ(g.KL + g.KR, 2);
  handle_message(g, WM_KEYUP, K_LEFT);
  EXPECT_EQ(g.KL, 0);
  EXPECT_EQ(g.KR, 1);
  handle_message(g, WM_KEYDOWN, K_UP);
  handle_message(g, WM_KEYDOWN, K_UP);
  EXPECT_EQ(g.KU, 2);
  for (int i = 0; i < 300; ++i) handle_message(g, WM_KEYDOWN, K_UP);
  EXPECT_EQ(g.KU, 127);  // the count stops at the top of its range
  handle_message(g, WM_KEYUP, K_UP);
  EXPECT_EQ(g.KU, 0);
  EXPECT_TRUE(handle_message(g, WM_KEYDOWN, K_ESC));
  EXPECT_FALSE(handle_message(g, WM_KEYUP, K_ESC));
  EXPECT_FALSE(handle_message(g, 258, K_LEFT));  // other messages do nothing
  EXPECT_EQ(g.KR, 1);
  handle_message(g, WM_KEYUP, K_RIGHT);
  EXPECT_EQ(g.KR, 0);
}

TEST_F(Rules, AnyKeyDownMovesOnWhileTheTextIsShownEscapeToo) {
  walk_to_exit();
  key();  // too early: the text is still fading in
  EXPECT_EQ(g.BDLV, 0);
  wait_text();
  g.KR = 1;  // an arrow still held; its auto-repeat moves on
  EXPECT_TRUE(handle_message(g, WM_KEYDOWN, K_ESC));
  EXPECT_EQ(g.BDLV, 1);
  EXPECT_EQ(g.PAUSE, 3u);
  EXPECT_EQ(g.KR, 1);  // held through the level change
  handle_message(g, WM_KEYUP, 65);
  EXPECT_EQ(g.PAUSE, 3u);
}

TEST_F(Rules, NothingIsDrawnOnAFreshForwardLevelSoItsFadeWaits) {
  walk_to_exit();
  wait_text();
  key();
  frames(30);  // the fade-out runs while PAUSE = 3 ...
  EXPECT_EQ(g.CTEMP, 132);
  frames(33);
  EXPECT_EQ(g.PAUSE, 0u);
  // ... and with no trail point on level 1 no drawing (and no fade) happens.
  g.PAUSE = 1;
  frames(5);
  EXPECT_EQ(g.CTEMP, 0);
}

// What a level start leaves behind, from a state where every value it may
// touch is stale: a running, falling player with keys held, a long trail,
// ghosts caught on this level and the next.
TEST_F(Rules, ALevelStartSetsThePlayerAndTheTrailAndKeepsTheKeys) {
  for (int pass : {1, 2}) {
    SCOPED_TRACE(pass);
    g.BDLV = 1;
    g.GSIT = static_cast<std::int8_t>(pass);
    g.PX = g.PY = 55.5;
    g.VX = -3.5;
    g.VY = 4.25;
    g.KL = g.KR = 1;
    g.KU = 2;
    g.STPN[1] = 300;
    g.STPX[1][0] = g.STPY[1][0] = g.STPX[1][300] = -1;
    for (int k = 0; k <= STPPMAX; ++k) g.STPP[1][k] = g.STPP[2][k] = true;
    INITLV(g);
    std::int32_t x = pass == 1 ? BD2X(2) : BD2X(8);
    EXPECT_EQ(g.PX, x) << "the entry forward, the exit backward";
    EXPECT_EQ(g.PY, BD2Y(4));
    EXPECT_EQ(g.VX, 0.0);
    EXPECT_EQ(g.VY, 0.0) << "the fall of the last level carries over";
    EXPECT_EQ(g.STPN[1], pass == 1 ? 0u : 300u) << "the backward pass keeps the forward trail";
    EXPECT_EQ(g.STPX[1][0], x);
    EXPECT_EQ(g.STPY[1][0], BD2Y(4));
    EXPECT_EQ(g.STPX[1][300], -1.0);
    for (int k = 0; k <= STPPMAX; ++k) ASSERT_FALSE(g.STPP[1][k]) << "ghost " << k;
    EXPECT_TRUE(g.STPP[2][1]) << "another level's ghosts stay caught";
    EXPECT_EQ(g.KL + g.KR, 2) << "held keys stay held";
    EXPECT_EQ(g.KU, 2);
  }
}

// The one frame pass: frames back to back, cut short by the end cell, and
// the fade moved on once, only when the picture is drawn.
TEST_F(Rules, AFramePassRunsItsFramesThenFadesOnceWhenDrawn) {
  walk_to_exit();  // on level 0, drawn every frame
  const std::uint8_t fade = g.CTEMP;
  Pass p = frame_pass(g, 5);
  EXPECT_EQ(p.frames, 5u);
  EXPECT_TRUE(p.drawn);
  EXPECT_FALSE(p.end);
  EXPECT_EQ(g.CTEMP, fade + 4) << "one fade step for a pass of five frames";

  start(g, course(), 1, 1);  // a fresh forward level with no trail point is not drawn
  g.PAUSE = 1;
  p = frame_pass(g, 3);
  EXPECT_FALSE(p.drawn);
  EXPECT_EQ(g.CTEMP, 0);

  start(g, course());  // towards the end cell, one column left of the entry
  g.KL = 1;
  p = frame_pass(g, 1000);
  EXPECT_TRUE(p.end);
  EXPECT_LT(p.frames, 1000u);
  EXPECT_EQ(g.FRAME, p.frames) << "no frame runs after the end";
  EXPECT_FALSE(p.drawn);
}

// Two games in one process share nothing: one played, copied or moved to
// another level leaves the other exactly as it was, frame for frame.
TEST(State, TwoGamesSideBySideDoNotTouchEachOther) {
  auto one = std::make_unique<Game>(), two = std::make_unique<Game>();
  start(*one, course());
  start(*two, course(), 1, 1);
  const std::string two_before = state_line(*two);
  one->KR = 1;
  for (int i = 0; i < 200; ++i) frame_pass(*one, 1);
  EXPECT_EQ(state_line(*two), two_before);
  EXPECT_EQ(two->STPN[0], 0u);

  // A copy goes its own way: the same keys give the same frames, other keys other ones.
  auto copy = std::make_unique<Game>(*one);
  one->KR = 0, one->KL = 1;
  for (int i = 0; i < 30; ++i) frame_pass(*one, 1), frame_pass(*copy, 1);
  EXPECT_NE(state_line(*one), state_line(*copy));
  *copy = *one;
  for (int i = 0; i < 30; ++i) frame_pass(*one, 1), frame_pass(*copy, 1);
  EXPECT_EQ(state_line(*one), state_line(*copy));
  EXPECT_EQ(one->STPX[0][one->STPN[0]], copy->STPX[0][copy->STPN[0]]);
  EXPECT_EQ(state_line(*two), two_before);
}

TEST(RulesDeathTest, AFadeOutOfRangeIsARangeError) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  g.PAUSE = 3;  // a fade-out with nothing to fade
  EXPECT_EXIT(fade_step(g), testing::ExitedWithCode(201), "Runtime error 201 at \\$[0-9A-F]{16}\n  \\$");
}

}  // namespace
}  // namespace tervalon::test
