// The player step and the contact probes: run-up, braking, jumps, wall jumps,
// collisions, and the probes at cell boundaries.
#include <gtest/gtest.h>

#include "coords.h"
#include "probes.h"
#include "step.h"
#include "support.h"

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

class Step : public testing::Test {
 protected:
  void SetUp() override { start({{1, playground()}}); }
  void steps(int n) {
    for (int i = 0; i < n; ++i) MAKESTP();
  }
};

TEST_F(Step, RunUpReachesFullSpeedInThe21stStep) {
  KR = 1;
  steps(1);
  EXPECT_EQ(VX, 2.0);
  steps(1);
  EXPECT_DOUBLE_EQ(VX, 2.1);
  steps(18);
  EXPECT_LT(VX, 4.0);  // the 20th step: 3.9
  steps(1);
  EXPECT_EQ(VX, 4.0);
  EXPECT_EQ(PY, 202.0);  // still standing on the floor
  EXPECT_EQ(VY, 0.0);
}

TEST_F(Step, ReleasedOrBothKeysDecayTo19Then09Then0) {
  for (int both = 0; both <= 1; ++both) {
    SetUp();
    KR = 1;
    steps(21);
    ASSERT_EQ(VX, 4.0);
    KR = both;
    KL = both;
    steps(1);
    EXPECT_DOUBLE_EQ(VX, 1.9);
    steps(1);
    EXPECT_DOUBLE_EQ(VX, 0.9);
    steps(1);
    EXPECT_EQ(VX, 0.0);
  }
}

TEST_F(Step, BrakingFromFullSpeedTurnsInThe41stStep) {
  PX = 30;  // room to brake before the pillar
  STPX[0][0] = PX;
  KR = 1;
  steps(21);
  KR = 0;
  KL = 1;
  steps(39);
  EXPECT_GT(VX, 0.0);
  steps(1);
  EXPECT_EQ(VX, 0.0);
  steps(1);
  EXPECT_EQ(VX, -2.0);
}

TEST_F(Step, JumpRisesFor33StepsAndAbout81Pixels) {
  PX = BD2X(10);  // clear sky above
  STPX[0][0] = PX;
  double floor_y = PY;
  KU = 1;
  steps(1);
  EXPECT_DOUBLE_EQ(VY, -4.85);
  EXPECT_EQ(KU, 2);
  double top = PY;
  int rising = 1;
  while (VY < 0) {
    steps(1);
    ++rising;
    top = std::min(top, PY);
  }
  EXPECT_EQ(rising, 34);  // VY turns positive in the 34th step
  EXPECT_NEAR(floor_y - top, 80.85, 1e-9);
  steps(60);
  EXPECT_EQ(PY, floor_y);  // lands back on the floor
  EXPECT_EQ(VY, 0.0);
}

TEST_F(Step, UpIsUsedOnceAndLostInTheAir) {
  KU = 3;  // a held key with auto-repeats: no jump
  steps(1);
  EXPECT_EQ(VY, 0.0);
  EXPECT_EQ(KU, 2);
  KU = 1;
  steps(1);
  EXPECT_LT(VY, 0.0);
  steps(5);
  KU = 1;  // pressed in mid-air away from walls: used up, no effect
  double vy = VY;
  steps(1);
  EXPECT_DOUBLE_EQ(VY, vy + 0.15);
  EXPECT_EQ(KU, 2);
}

TEST_F(Step, WallJumpsPushAwayFromTheWall) {
  // In the air, flush against the pillar's left side: jump off to the left.
  PX = 240 - 8;
  PY = 120;
  VY = 1.0;
  ASSERT_TRUE(ISRIGHT());
  ASSERT_FALSE(ISBOT());
  KU = 1;
  steps(1);
  EXPECT_DOUBLE_EQ(VY, -4.85);
  EXPECT_EQ(VX, -4.0);
  EXPECT_EQ(PX, 228.0);

  // Flush against the pillar's right side: jump off to the right.
  PX = 260 + 8;
  PY = 120;
  VY = 1.0;
  VX = 0;
  ASSERT_TRUE(ISLEFT());
  KU = 1;
  steps(1);
  EXPECT_EQ(VX, 4.0);

  // Against the wall and on a floor: an ordinary jump, speed unchanged.
  PX = 240 - 8;
  PY = 202;
  VY = 0;
  VX = 0;
  ASSERT_TRUE(ISRIGHT() && ISBOT());
  KU = 1;
  steps(1);
  EXPECT_DOUBLE_EQ(VY, -4.85);
  EXPECT_EQ(VX, 0.0);
}

TEST_F(Step, WallsStopTheBoxFlushWithTheCell) {
  KR = 1;
  steps(80);  // runs into the pillar at column 12
  EXPECT_EQ(PX, 232.0);  // right edge on x = 240
  EXPECT_EQ(VX, 0.0);
  std::uint32_t n = STPN[0];
  steps(10);  // pushing against the wall adds no trail point
  EXPECT_EQ(STPN[0], n);
  KR = 0;
  KL = 1;
  steps(200);
  EXPECT_EQ(PX, 28.0);  // left edge on the border wall's right side, x = 20
}

TEST_F(Step, HeadBumpStopsTheRiseFlushUnderTheCeiling) {
  PX = BD2X(7);  // under the ledge at row 5 (bottom edge y = 120)
  STPX[0][0] = PX;
  KU = 1;
  steps(1);
  while (VY < 0) steps(1);
  EXPECT_EQ(PY, 138.0);  // top edge exactly on the ledge's underside
  EXPECT_EQ(VY, 0.0);
  EXPECT_FALSE(ISTOP());  // a top edge on the boundary does not touch
  steps(1);
  EXPECT_GT(PY, 138.0);  // gravity pulls it down again
}

TEST_F(Step, AFastFallDeepIntoALedgeLandsOnTopOfIt) {
  PX = BD2X(7);
  PY = 81.85;
  VY = 19.5;  // the bottom edge ends 19.5 pixels into the ledge's row
  steps(1);
  EXPECT_EQ(PY, 82.0);
  EXPECT_EQ(VY, 0.0);
}

TEST_F(Step, ABoxStandingWithItsTopInAWallStaysWhereItStands) {
  start({{1, {"xxxx", "xxxx", "xi x", "xxxx"}}});  // the entry's ceiling is one cell low
  for (int i = 0; i < 10; ++i) MAKESTP();
  EXPECT_EQ(PY, BD2Y(2));
  EXPECT_EQ(STPN[0], 0u);
}

TEST_F(Step, StandingStillAddsNoTrailPointAndMovingAddsOneEach) {
  steps(30);
  EXPECT_EQ(STPN[0], 0u);
  EXPECT_EQ(PY, 202.0);
  KR = 1;
  steps(3);
  EXPECT_EQ(STPN[0], 3u);
  EXPECT_EQ(STPX[0][3], PX);
  EXPECT_EQ(STPY[0][3], PY);
}

TEST_F(Step, ProbesAtCellBoundaries) {
  // Floor: bottom edge on y = 220 touches row 11; lifted, it does not.
  PX = 70;
  PY = 202;
  EXPECT_TRUE(ISBOT());
  PY = 202 - 1e-9;
  EXPECT_FALSE(ISBOT());
  // Ceiling (the ledge's underside at y = 120): flush is no touch, above is.
  PX = BD2X(7);
  PY = 138;
  EXPECT_FALSE(ISTOP());
  PY = 138 - 1e-9;
  EXPECT_TRUE(ISTOP());
  // Side walls: flush touches, a pixel away does not.
  PX = 232;
  PY = 150;
  EXPECT_TRUE(ISRIGHT());
  PX = 231;
  EXPECT_FALSE(ISRIGHT());
  PX = 268;
  EXPECT_TRUE(ISLEFT());
  PX = 269;
  EXPECT_FALSE(ISLEFT());
  // A wall that meets the box only at a corner is seen by no probe: the box
  // sits diagonally below-left of the ledge's left cell (6, 5).
  PX = 120 - 8;
  PY = 120 + 18;
  EXPECT_FALSE(ISTOP());
  EXPECT_FALSE(ISRIGHT());
  // A cell value other than 1 is passable.
  BD[0][12][8] = 2;
  BD[0][12][7] = 2;
  BD[0][12][9] = 2;
  PX = 232;
  PY = 170;
  EXPECT_FALSE(ISRIGHT());
  // Above the board, coordinates between -20 and 0 map to row 0.
  PX = 70;
  PY = 2;
  EXPECT_TRUE(ISTOP());
}

// Each probe feels along a segment of pixels next to one edge of the box, 1
// pixel in from the corners: the top and bottom probes on the rows of the top
// and bottom edges, the side probes in the columns just left and just right of
// the box. With one wall cell swept around the box, in whole and half pixels,
// a probe must answer "touching" exactly when its segment meets the cell, so
// every one of its contact points counts.
TEST(Probes, EachProbeFeelsItsWholeEdgeButNotTheCorners) {
  start({{1, room(16, 12, 1, 10, 14, 10)}});
  const double left = 160, top = 120;  // the wall cell (8, 6)
  BD[0][8][6] = 1;
  auto meets = [&](double x0, double x1, double y0, double y1) {
    return x1 >= left && x0 < left + 20 && y1 >= top && y0 < top + 20;
  };
  for (PY = top - 40; PY <= top + 60; PY += 0.5)
    for (PX = left - 30; PX <= left + 50; PX += 0.5) {
      SCOPED_TRACE("box centre " + std::to_string(PX) + ", " + std::to_string(PY));
      ASSERT_EQ(ISTOP(), meets(PX - 7, PX + 7, PY - 18, PY - 18));
      ASSERT_EQ(ISBOT(), meets(PX - 7, PX + 7, PY + 18, PY + 18));
      ASSERT_EQ(ISLEFT(), meets(PX - 9, PX - 9, PY - 17, PY + 17));
      ASSERT_EQ(ISRIGHT(), meets(PX + 8, PX + 8, PY - 17, PY + 17));
    }
}

}  // namespace
}  // namespace tervalon::test
