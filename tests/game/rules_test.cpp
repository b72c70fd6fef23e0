// The game frame, the progression between levels and passes, the key
// handling of the main loop and the fade bookkeeping of the interlude.
#include <gtest/gtest.h>

#include "coords.h"
#include "rules.h"
#include "support.h"
#include "trail.h"

namespace tervalon::test {
namespace {

// Level 0: entry (3, 4), exit (6, 4), end (1, 4). Levels 1 and 2: entry (2, 4),
// exit (8, 4), least trail lengths 5 and 6.
std::vector<Level> course() {
  auto hub = room(12, 6, 3, 4, 6, 4);
  hub[4][1] = 'e';
  return {{1, hub}, {5, room(12, 6, 2, 4, 8, 4)}, {6, room(12, 6, 2, 4, 8, 4)}};
}

class Rules : public testing::Test {
 protected:
  void SetUp() override { start(course()); }
  // Frames as the game runs them with a drawing after each.
  bool frames(int n) {
    bool end = false;
    for (int i = 0; i < n && !end; ++i) {
      end = game_frame();
      if (frame_is_drawn()) fade_step();
    }
    return end;
  }
  void walk_to_exit() {
    KR = 1;
    for (int i = 0; i < 400 && PAUSE == 0; ++i) frames(1);
    KR = 0;
    ASSERT_EQ(PAUSE, 1u);
  }
  void wait_text() {
    for (int i = 0; i < 62; ++i) frames(1);
    ASSERT_EQ(PAUSE, 2u);
    ASSERT_EQ(CTEMP, 252);
  }
  void key() { handle_message(WM_KEYDOWN, 32); }
};

TEST_F(Rules, TheInterludeFadesIn63FramesEachWay) {
  walk_to_exit();
  EXPECT_EQ(CTEMP, 4);
  EXPECT_EQ(CTEXT, 251);
  EXPECT_EQ(CURTEXT[1], "T0.1.1");
  EXPECT_EQ(CURTEXT[4], "T0.1.4");
  EXPECT_EQ(CURTEXTC, 0xBF0000u);
  std::uint32_t n = STPN[0];
  double x = PX;
  for (int i = 0; i < 61; ++i) frames(1);
  EXPECT_EQ(PAUSE, 1u);
  frames(1);  // the 63rd drawn frame
  EXPECT_EQ(PAUSE, 2u);
  EXPECT_EQ(CTEMP, 252);
  frames(100);  // waiting: nothing moves
  EXPECT_EQ(CTEMP, 252);
  EXPECT_EQ(STPN[0], n);
  EXPECT_EQ(PX, x);

  key();  // the forward pass starts on level 1
  EXPECT_EQ(PAUSE, 3u);
  EXPECT_EQ(BDLV, 1);
  EXPECT_EQ(GSIT, 1);
  EXPECT_EQ(PX, BD2X(2));
  EXPECT_EQ(STPN[1], 0u);
  for (int i = 0; i < 62; ++i) frames(1);
  EXPECT_EQ(PAUSE, 3u);
  EXPECT_EQ(CTEMP, 4);
  frames(1);
  EXPECT_EQ(PAUSE, 0u);
  EXPECT_EQ(CTEMP, 0);
  EXPECT_EQ(CTEXT, 255);
  EXPECT_EQ(CURTEXT[1], "T0.1.1");  // kept through the fade-out
}

TEST_F(Rules, TheWholeCourseForwardBackAndHome) {
  walk_to_exit();
  wait_text();
  key();
  frames(63);
  for (int level = 1; level <= 2; ++level) {
    ASSERT_EQ(BDLV, level);
    walk_to_exit();
    EXPECT_GE(STPN[BDLV], STPM[BDLV]);
    wait_text();
    EXPECT_EQ(CURTEXT[2], "T" + std::to_string(level) + ".1.2");
    EXPECT_EQ(CURTEXTC, 0xBF0000u);
    key();
    frames(63);
  }
  // The backward pass starts where the forward pass ended, trail kept.
  EXPECT_EQ(BDLV, 2);
  EXPECT_EQ(GSIT, 2);
  EXPECT_GT(STPN[2], 0u);
  for (int level = 2; level >= 1; --level) {
    ASSERT_EQ(BDLV, level);
    KL = 1;
    for (int i = 0; i < 600 && PAUSE == 0; ++i) frames(1);
    KL = 0;
    ASSERT_EQ(PAUSE, 1u);
    wait_text();
    EXPECT_EQ(CURTEXT[3], "T" + std::to_string(level) + ".2.3");
    EXPECT_EQ(CURTEXTC, 0x7F7Fu);
    key();
    if (level == 2) {  // level 1 from its exit, its forward trail kept
      EXPECT_EQ(PX, BD2X(8));
      EXPECT_GT(STPN[1], 0u);
    }
    frames(63);
  }
  // Home on level 0 at its entry; its end cell ends the game.
  EXPECT_EQ(BDLV, 0);
  EXPECT_EQ(GSIT, 0);
  EXPECT_EQ(PX, BD2X(3));
  KL = 1;
  bool end = false;
  for (int i = 0; i < 100 && !end; ++i) end = frames(1);
  EXPECT_TRUE(end);
}

TEST_F(Rules, LastLevelExitOnTheEntryTurnsAndLeavesInOneKeyPress) {
  // Level 2 with its entry next to its exit and a short trail: no ghost, so
  // the key press turns to the backward pass and leaves the level at once.
  start(course(), 2, 1);
  BDIX[2] = 7;
  walk_to_exit();
  wait_text();
  key();
  EXPECT_EQ(BDLV, 1);
  EXPECT_EQ(GSIT, 2);
  EXPECT_EQ(PAUSE, 3u);
  EXPECT_EQ(PX, BD2X(8));
}

TEST_F(Rules, TheEndCellIsReportedInAnyPhase) {
  PX = BD2X(1);
  PY = BD2Y(4);
  STPN[0] = 1;
  STPX[0][1] = PX;
  STPY[0][1] = PY;
  PAUSE = 2;
  CTEMP = 252;
  EXPECT_TRUE(game_frame());
  EXPECT_EQ(FRAME, 1u);
  GSIT = 1;  // never outside level 0's pass
  EXPECT_FALSE(game_frame());
}

TEST_F(Rules, TheTrailLimitRestartsTheLevelInEitherPass) {
  start(course(), 1, 2);
  for (std::uint32_t i = 0; i <= 65535; ++i) {
    STPX[1][i] = 1000.0 + i;
    STPY[1][i] = 1000.0;
  }
  STPN[1] = 65535;
  PX = 100;
  PY = 50;  // falling: the step records point 65536
  game_frame();
  EXPECT_EQ(STPN[1], 0u);
  EXPECT_EQ(PX, BD2X(8));  // the backward pass starts from the exit
  EXPECT_EQ(PAUSE, 0u);
}

TEST_F(Rules, KeysSetTheKeyStateAndEscapeAsksToClose) {
  EXPECT_FALSE(handle_message(WM_KEYDOWN, K_LEFT));
  EXPECT_FALSE(handle_message(WM_KEYDOWN, K_RIGHT));
  EXPECT_EQ(KL + KR, 2);
  handle_message(WM_KEYUP, K_LEFT);
  EXPECT_EQ(KL, 0);
  EXPECT_EQ(KR, 1);
  handle_message(WM_KEYDOWN, K_UP);
  handle_message(WM_KEYDOWN, K_UP);
  EXPECT_EQ(KU, 2);
  for (int i = 0; i < 300; ++i) handle_message(WM_KEYDOWN, K_UP);
  EXPECT_EQ(KU, 127);  // the count stops at the top of its range
  handle_message(WM_KEYUP, K_UP);
  EXPECT_EQ(KU, 0);
  EXPECT_TRUE(handle_message(WM_KEYDOWN, K_ESC));
  EXPECT_FALSE(handle_message(WM_KEYUP, K_ESC));
  EXPECT_FALSE(handle_message(258, K_LEFT));  // other messages do nothing
  EXPECT_EQ(KR, 1);
  handle_message(WM_KEYUP, K_RIGHT);
  EXPECT_EQ(KR, 0);
}

TEST_F(Rules, AnyKeyDownMovesOnWhileTheTextIsShownEscapeToo) {
  walk_to_exit();
  key();  // too early: the text is still fading in
  EXPECT_EQ(BDLV, 0);
  wait_text();
  KR = 1;  // an arrow still held; its auto-repeat moves on
  EXPECT_TRUE(handle_message(WM_KEYDOWN, K_ESC));
  EXPECT_EQ(BDLV, 1);
  EXPECT_EQ(PAUSE, 3u);
  EXPECT_EQ(KR, 1);  // held through the level change
  handle_message(WM_KEYUP, 65);
  EXPECT_EQ(PAUSE, 3u);
}

TEST_F(Rules, NothingIsDrawnOnAFreshForwardLevelSoItsFadeWaits) {
  walk_to_exit();
  wait_text();
  key();
  frames(30);  // the fade-out runs while PAUSE = 3 ...
  EXPECT_EQ(CTEMP, 132);
  frames(33);
  EXPECT_EQ(PAUSE, 0u);
  // ... and with no trail point on level 1 no drawing (and no fade) happens.
  PAUSE = 1;
  frames(5);
  EXPECT_EQ(CTEMP, 0);
}

// What a level start leaves behind, from a state where every value it may
// touch is stale: a running, falling player with keys held, a long trail,
// ghosts caught on this level and the next.
TEST_F(Rules, ALevelStartSetsThePlayerAndTheTrailAndKeepsTheKeys) {
  for (int pass : {1, 2}) {
    SCOPED_TRACE(pass);
    BDLV = 1;
    GSIT = static_cast<std::int8_t>(pass);
    PX = PY = 55.5;
    VX = -3.5;
    VY = 4.25;
    KL = KR = 1;
    KU = 2;
    STPN[1] = 300;
    STPX[1][0] = STPY[1][0] = STPX[1][300] = -1;
    for (int k = 0; k <= STPPMAX; ++k) STPP[1][k] = STPP[2][k] = true;
    INITLV();
    std::int32_t x = pass == 1 ? BD2X(2) : BD2X(8);
    EXPECT_EQ(PX, x) << "the entry forward, the exit backward";
    EXPECT_EQ(PY, BD2Y(4));
    EXPECT_EQ(VX, 0.0);
    EXPECT_EQ(VY, 0.0) << "the fall of the last level carries over";
    EXPECT_EQ(STPN[1], pass == 1 ? 0u : 300u) << "the backward pass keeps the forward trail";
    EXPECT_EQ(STPX[1][0], x);
    EXPECT_EQ(STPY[1][0], BD2Y(4));
    EXPECT_EQ(STPX[1][300], -1.0);
    for (int k = 0; k <= STPPMAX; ++k) ASSERT_FALSE(STPP[1][k]) << "ghost " << k;
    EXPECT_TRUE(STPP[2][1]) << "another level's ghosts stay caught";
    EXPECT_EQ(KL + KR, 2) << "held keys stay held";
    EXPECT_EQ(KU, 2);
  }
}

// reset_state, for running several games in one process, leaves nothing of
// the last game behind: every global is back at its start value.
TEST(State, ResetPutsEveryGlobalBackToItsStartValue) {
  CHEAT = true;
  GSIT = 2;
  W = H = 7;
  CTEMP = CTEXT = 8;
  FRAME = PAUSE = 3;
  C[0] = C[1] = C[2] = C[3] = C[4] = 5;
  BDLV = BDLN = BDW = BDH = 4;
  for (auto* t : {&BDIX, &BDIY, &BDOX, &BDOY, &BDEX, &BDEY}) (*t)[0] = (*t)[BDLMAX] = 3;
  BD[0][0][0] = BD[BDLMAX][BDWMAX - 1][BDHMAX - 1] = 1;
  STPX[0][0] = STPY[0][0] = STPX[BDLMAX][STPMAX] = STPY[BDLMAX][STPMAX] = 1.5;
  STPN[0] = STPM[0] = STPN[BDLMAX] = STPM[BDLMAX] = 6;
  STPP[0][0] = STPP[BDLMAX][STPPMAX] = true;
  STEXT[0][1][1] = STEXT[BDLMAX][2][4] = CURTEXT[1] = CURTEXT[4] = "old";
  STEXTI = CURTEXTC = CURTEXTX = CURTEXTY = 2;
  PX = PY = VX = VY = AX = AY = 1.25;
  KL = KR = KU = 1;
  reset_state();
  EXPECT_FALSE(CHEAT);
  for (std::int64_t v : {std::int64_t{GSIT}, std::int64_t{W}, std::int64_t{H}, std::int64_t{CTEMP},
                         std::int64_t{CTEXT}, std::int64_t(FRAME), std::int64_t{PAUSE}, std::int64_t{BDLV},
                         std::int64_t{BDLN}, std::int64_t{BDW}, std::int64_t{BDH}, std::int64_t{STEXTI},
                         std::int64_t{CURTEXTC}, std::int64_t{CURTEXTX}, std::int64_t{CURTEXTY}, std::int64_t{KL},
                         std::int64_t{KR}, std::int64_t{KU}})
    EXPECT_EQ(v, 0);
  EXPECT_EQ(std::vector<std::uint32_t>(C.begin(), C.end()),
            (std::vector<std::uint32_t>{0x10000, 0x10000, 0x101, 0x101, 0x1}));
  for (auto* t : {&BDIX, &BDIY, &BDOX, &BDOY, &BDEX, &BDEY}) EXPECT_EQ((*t)[0] + (*t)[BDLMAX], 0);
  EXPECT_EQ(BD[0][0][0] + BD[BDLMAX][BDWMAX - 1][BDHMAX - 1], 0);
  for (double v : {STPX[0][0], STPY[0][0], STPX[BDLMAX][STPMAX], STPY[BDLMAX][STPMAX], PX, PY, VX, VY})
    EXPECT_EQ(v, 0.0);
  EXPECT_EQ(STPN[0] + STPM[0] + STPN[BDLMAX] + STPM[BDLMAX], 0u);
  EXPECT_FALSE(STPP[0][0] || STPP[BDLMAX][STPPMAX]);
  EXPECT_EQ(STEXT[0][1][1] + STEXT[BDLMAX][2][4] + CURTEXT[1] + CURTEXT[4], "");
  EXPECT_EQ(AX, 0.1);
  EXPECT_EQ(AY, 0.15);
}

TEST(RulesDeathTest, AFadeOutOfRangeIsARangeError) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  reset_state();
  PAUSE = 3;  // a fade-out with nothing to fade
  EXPECT_EXIT(fade_step(), testing::ExitedWithCode(201), "Runtime error 201 at \\$[0-9A-F]{16}\n  \\$");
}

}  // namespace
}  // namespace tervalon::test
