// The player step and the contact probes: run-up, braking, jumps, wall jumps,
// collisions, and the probes at cell boundaries.
#include <gtest/gtest.h>

#include "game/rules/coords.h"
#include "game/rules/probes.h"
#include "game/rules/step.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

// A room of 16 x 12 cells, the player standing at cell (3, 10) on the floor.
// A wall pillar stands at column 12, rows 3..10; a ledge at (6..8, 5).
std::vector<std::string> playground() {
  auto rows = room(16, 12, 3, 10, 14, 10);
  for (int y = 3; y <= 10; ++y) rows[y][12] = 'x';
  for (int x = 6; x <= 8; ++x) rows[5][x] = 'x';
  return rows;
}

class Step : public GameTest {
 protected:
  void SetUp() override { start(g, {{1, playground()}}); }
  void steps(int n) {
    for (int i = 0; i < n; ++i) MAKESTP(g);
  }
};

TEST_F(Step, RunUpReachesFullSpeedInThe21stStep) {
  g.KR = 1;
  steps(1);
  EXPECT_EQ(g.VX, 2.0);
  steps(1);
  EXPECT_DOUBLE_EQ(g.VX, 2.1);
  steps(18);
  EXPECT_LT(g.VX, 4.0);  // the 20th step: 3.9
  steps(1);
  EXPECT_EQ(g.VX, 4.0);
  EXPECT_EQ(g.PY, 202.0);  // still standing on the floor
  EXPECT_EQ(g.VY, 0.0);
}

TEST_F(Step, ReleasedOrBothKeysDecayTo19Then09Then0) {
  for (std::int8_t both = 0; both <= 1; ++both) {
    SetUp();
    g.KR = 1;
    steps(21);
    ASSERT_EQ(g.VX, 4.0);
    g.KR = both;
    g.KL = both;
    steps(1);
    EXPECT_DOUBLE_EQ(g.VX, 1.9);
    steps(1);
    EXPECT_DOUBLE_EQ(g.VX, 0.9);
    steps(1);
    EXPECT_EQ(g.VX, 0.0);
  }
}

TEST_F(Step, BrakingFromFullSpeedTurnsInThe41stStep) {
  g.PX = 30;  // room to brake before the pillar
  g.STPX[0][0] = g.PX;
  g.KR = 1;
  steps(21);
  g.KR = 0;
  g.KL = 1;
  steps(39);
  EXPECT_GT(g.VX, 0.0);
  steps(1);
  EXPECT_EQ(g.VX, 0.0);
  steps(1);
  EXPECT_EQ(g.VX, -2.0);
}

TEST_F(Step, JumpRisesFor33StepsAndAbout81Pixels) {
  g.PX = BD2X(10);  // clear sky above
  g.STPX[0][0] = g.PX;
  double floor_y = g.PY;
  g.KU = 1;
  steps(1);
  EXPECT_DOUBLE_EQ(g.VY, -4.85);
  EXPECT_EQ(g.KU, 2);
  double top = g.PY;
  int rising = 1;
  while (g.VY < 0) {
    steps(1);
    ++rising;
    top = std::min(top, g.PY);
  }
  EXPECT_EQ(rising, 34);  // VY turns positive in the 34th step
  EXPECT_NEAR(floor_y - top, 80.85, 1e-9);
  steps(60);
  EXPECT_EQ(g.PY, floor_y);  // lands back on the floor
  EXPECT_EQ(g.VY, 0.0);
}

TEST_F(Step, UpIsUsedOnceAndLostInTheAir) {
  g.KU = 3;  // a held key with auto-repeats: no jump
  steps(1);
  EXPECT_EQ(g.VY, 0.0);
  EXPECT_EQ(g.KU, 2);
  g.KU = 1;
  steps(1);
  EXPECT_LT(g.VY, 0.0);
  steps(5);
  g.KU = 1;  // pressed in mid-air away from walls: used up, no effect
  double vy = g.VY;
  steps(1);
  EXPECT_DOUBLE_EQ(g.VY, vy + 0.15);
  EXPECT_EQ(g.KU, 2);
}

TEST_F(Step, WallJumpsPushAwayFromTheWall) {
  // In the air, flush against the pillar's left side: jump off to the left.
  g.PX = 240 - 8;
  g.PY = 120;
  g.VY = 1.0;
  ASSERT_TRUE(ISRIGHT(g));
  ASSERT_FALSE(ISBOT(g));
  g.KU = 1;
  steps(1);
  EXPECT_DOUBLE_EQ(g.VY, -4.85);
  EXPECT_EQ(g.VX, -4.0);
  EXPECT_EQ(g.PX, 228.0);

  // Flush against the pillar's right side: jump off to the right.
  g.PX = 260 + 8;
  g.PY = 120;
  g.VY = 1.0;
  g.VX = 0;
  ASSERT_TRUE(ISLEFT(g));
  g.KU = 1;
  steps(1);
  EXPECT_EQ(g.VX, 4.0);

  // Against the wall and on a floor: an ordinary jump, speed unchanged.
  g.PX = 240 - 8;
  g.PY = 202;
  g.VY = 0;
  g.VX = 0;
  ASSERT_TRUE(ISRIGHT(g) && ISBOT(g));
  g.KU = 1;
  steps(1);
  EXPECT_DOUBLE_EQ(g.VY, -4.85);
  EXPECT_EQ(g.VX, 0.0);
}

TEST_F(Step, WallsStopTheBoxFlushWithTheCell) {
  g.KR = 1;
  steps(80);               // runs into the pillar at column 12
  EXPECT_EQ(g.PX, 232.0);  // right edge on x = 240
  EXPECT_EQ(g.VX, 0.0);
  std::uint32_t n = g.STPN[0];
  steps(10);  // pushing against the wall adds no trail point
  EXPECT_EQ(g.STPN[0], n);
  g.KR = 0;
  g.KL = 1;
  steps(200);
  EXPECT_EQ(g.PX, 28.0);  // left edge on the border wall's right side, x = 20
}

TEST_F(Step, HeadBumpStopsTheRiseFlushUnderTheCeiling) {
  g.PX = BD2X(7);  // under the ledge at row 5 (bottom edge y = 120)
  g.STPX[0][0] = g.PX;
  g.KU = 1;
  steps(1);
  while (g.VY < 0) steps(1);
  EXPECT_EQ(g.PY, 138.0);  // top edge exactly on the ledge's underside
  EXPECT_EQ(g.VY, 0.0);
  EXPECT_FALSE(ISTOP(g));  // a top edge on the boundary does not touch
  steps(1);
  EXPECT_GT(g.PY, 138.0);  // gravity pulls it down again
}

TEST_F(Step, AFastFallDeepIntoALedgeLandsOnTopOfIt) {
  g.PX = BD2X(7);
  g.PY = 81.85;
  g.VY = 19.5;  // the bottom edge ends 19.5 pixels into the ledge's row
  steps(1);
  EXPECT_EQ(g.PY, 82.0);
  EXPECT_EQ(g.VY, 0.0);
}

TEST_F(Step, ABoxStandingWithItsTopInAWallStaysWhereItStands) {
  start(g, {{1, {"xxxx", "xxxx", "xi x", "xxxx"}}});  // the entry's ceiling is one cell low
  for (int i = 0; i < 10; ++i) MAKESTP(g);
  EXPECT_EQ(g.PY, BD2Y(2));
  EXPECT_EQ(g.STPN[0], 0u);
}

TEST_F(Step, StandingStillAddsNoTrailPointAndMovingAddsOneEach) {
  steps(30);
  EXPECT_EQ(g.STPN[0], 0u);
  EXPECT_EQ(g.PY, 202.0);
  g.KR = 1;
  steps(3);
  EXPECT_EQ(g.STPN[0], 3u);
  EXPECT_EQ(g.STPX[0][3], g.PX);
  EXPECT_EQ(g.STPY[0][3], g.PY);
}

TEST_F(Step, ProbesAtCellBoundaries) {
  // Floor: bottom edge on y = 220 touches row 11; lifted, it does not.
  g.PX = 70;
  g.PY = 202;
  EXPECT_TRUE(ISBOT(g));
  g.PY = 202 - 1e-9;
  EXPECT_FALSE(ISBOT(g));
  // Ceiling (the ledge's underside at y = 120): flush is no touch, above is.
  g.PX = BD2X(7);
  g.PY = 138;
  EXPECT_FALSE(ISTOP(g));
  g.PY = 138 - 1e-9;
  EXPECT_TRUE(ISTOP(g));
  // Side walls: flush touches, a pixel away does not.
  g.PX = 232;
  g.PY = 150;
  EXPECT_TRUE(ISRIGHT(g));
  g.PX = 231;
  EXPECT_FALSE(ISRIGHT(g));
  g.PX = 268;
  EXPECT_TRUE(ISLEFT(g));
  g.PX = 269;
  EXPECT_FALSE(ISLEFT(g));
  // A wall that meets the box only at a corner is seen by no probe: the box
  // sits diagonally below-left of the ledge's left cell (6, 5).
  g.PX = 120 - 8;
  g.PY = 120 + 18;
  EXPECT_FALSE(ISTOP(g));
  EXPECT_FALSE(ISRIGHT(g));
  // A cell value other than 1 is passable.
  g.BD[0][12][8] = 2;
  g.BD[0][12][7] = 2;
  g.BD[0][12][9] = 2;
  g.PX = 232;
  g.PY = 170;
  EXPECT_FALSE(ISRIGHT(g));
  // Above the board, coordinates between -20 and 0 map to row 0.
  g.PX = 70;
  g.PY = 2;
  EXPECT_TRUE(ISTOP(g));
}

// Each probe feels along a segment of pixels next to one edge of the box, 1
// pixel in from the corners: the top and bottom probes on the rows of the top
// and bottom edges, the side probes in the columns just left and just right of
// the box. With one wall cell swept around the box, in whole and half pixels,
// a probe must answer "touching" exactly when its segment meets the cell, so
// every one of its contact points counts.
TEST(Probes, EachProbeFeelsItsWholeEdgeButNotTheCorners) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  start(g, {{1, room(16, 12, 1, 10, 14, 10)}});
  const double left = 160, top = 120;  // the wall cell (8, 6)
  g.BD[0][8][6] = 1;
  auto meets = [&](double x0, double x1, double y0, double y1) {
    return x1 >= left && x0 < left + 20 && y1 >= top && y0 < top + 20;
  };
  for (g.PY = top - 40; g.PY <= top + 60; g.PY += 0.5)
    for (g.PX = left - 30; g.PX <= left + 50; g.PX += 0.5) {
      SCOPED_TRACE("box centre " + std::to_string(g.PX) + ", " + std::to_string(g.PY));
      ASSERT_EQ(ISTOP(g), meets(g.PX - 7, g.PX + 7, g.PY - 18, g.PY - 18));
      ASSERT_EQ(ISBOT(g), meets(g.PX - 7, g.PX + 7, g.PY + 18, g.PY + 18));
      ASSERT_EQ(ISLEFT(g), meets(g.PX - 9, g.PX - 9, g.PY - 17, g.PY + 17));
      ASSERT_EQ(ISRIGHT(g), meets(g.PX + 8, g.PX + 8, g.PY - 17, g.PY + 17));
    }
}

}  // namespace
}  // namespace tervalon::test
