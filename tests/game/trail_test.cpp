// Trail tests and the ghost rules of both passes.
#include <gtest/gtest.h>

#include "game/rules/coords.h"
#include "game/rules/trail.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

class Trail : public GameTest {
 protected:
  // Level 1 of a two-level file: entry (2, 10), exit (13, 10), STPM 200.
  void SetUp() override { start(g, {{1, room(16, 12, 2, 10, 13, 10)}, {200, room(16, 12, 2, 10, 13, 10)}}, 1, 1); }
  // A trail of n points, all far from each other and from the marked cells
  // (a diagonal line through the room's air).
  void far_trail(std::uint32_t n) {
    for (std::uint32_t i = 0; i <= n; ++i) {
      g.STPX[1][i] = 1000.0 + i * 40.0;
      g.STPY[1][i] = 1000.0 + i * 40.0;
    }
    g.STPN[1] = n;
  }
  void put(std::uint32_t i, double x, double y) {
    g.STPX[1][i] = x;
    g.STPY[1][i] = y;
  }
};

TEST_F(Trail, BoxesOverlapOnlyWithPositiveArea) {
  EXPECT_FALSE(HITSTP(0.0, 16.0, 0.0, 0.0));
  EXPECT_FALSE(HITSTP(16.0, 0.0, 0.0, 0.0));
  EXPECT_TRUE(HITSTP(0.0, 15.5, 0.0, 35.5));
  EXPECT_TRUE(HITSTP(0.0, -15.5, 0.0, -35.5));
  EXPECT_FALSE(HITSTP(0.0, 0.0, 0.0, 36.0));
  EXPECT_FALSE(HITSTP(0.0, 0.0, 36.0, 0.0));
  put(5, 100, 100);
  put(9, 110, 130);
  put(7, 100, 136);
  EXPECT_TRUE(HITSTP(g, 5u, 9u));
  EXPECT_FALSE(HITSTP(g, 5u, 7u));
}

TEST_F(Trail, GhostsCountFromTheHead) {
  // 160 points: no ghost; 161: ghost 1; 320: still one; 321: two.
  far_trail(160);
  EXPECT_TRUE(NOSTP(g));
  far_trail(161);
  EXPECT_FALSE(NOSTP(g));
  g.STPP[1][1] = true;
  EXPECT_TRUE(NOSTP(g));
  far_trail(320);
  EXPECT_TRUE(NOSTP(g));
  far_trail(321);
  EXPECT_FALSE(NOSTP(g));
  g.STPP[1][2] = true;
  g.STPP[1][3] = false;  // beyond the ghosts that exist: ignored
  EXPECT_TRUE(NOSTP(g));
}

TEST_F(Trail, MarkedCellsAndTheirConditions) {
  // The exit's standing position is (270, 202).
  put(199, 270, 202);
  put(200, 270 + 15.9, 202 - 35.9);
  put(201, 270 - 16, 202);
  EXPECT_FALSE(ENDOSTP(g, 199));  // below STPM
  EXPECT_TRUE(ENDOSTP(g, 200));   // STPM equal to the index counts
  EXPECT_FALSE(ENDOSTP(g, 201));  // exactly 16 to the left: no hit
  g.STPM[1] = 0;
  EXPECT_TRUE(ENDOSTP(g, 199));  // only the hit matters
  EXPECT_FALSE(ENDOSTP(g, 201));

  // The end cell is live only while GSIT = 0.
  g.BDEX[1] = 13;
  g.BDEY[1] = 10;
  for (int pass : {1, 2}) {
    g.GSIT = static_cast<std::int8_t>(pass);
    EXPECT_FALSE(ENDESTP(g, 199));
  }
  g.GSIT = 0;
  EXPECT_TRUE(ENDESTP(g, 199));

  // The entry needs every ghost caught; the ghosts count from the head.
  far_trail(400);
  put(7, BD2X(2), BD2Y(10));
  EXPECT_FALSE(ENDISTP(g, 7));
  g.STPP[1][1] = g.STPP[1][2] = true;
  EXPECT_TRUE(ENDISTP(g, 7));
}

TEST_F(Trail, ForwardTouchCutsTheTrailBackAgainAndAgain) {
  far_trail(400);
  put(400, 500, 500);
  put(240, 505, 510);  // ghost 1 under the head
  put(80, 495, 490);   // and, 160 before it, another overlap
  g.PX = 1;
  g.VX = 3;
  g.VY = -2;
  ERASESTP(g);
  EXPECT_EQ(g.STPN[1], 80u);
  EXPECT_EQ(g.PX, 495.0);
  EXPECT_EQ(g.PY, 490.0);
  EXPECT_EQ(g.VX, 0.0);
  EXPECT_EQ(g.VY, 0.0);
  for (int k = 0; k <= STPPMAX; ++k) EXPECT_FALSE(g.STPP[1][k]);

  // No ghost (head at 160 or below) and level 0 change nothing.
  far_trail(160);
  put(0, g.STPX[1][160], g.STPY[1][160]);
  ERASESTP(g);
  EXPECT_EQ(g.STPN[1], 160u);
  far_trail(400);
  put(240, g.STPX[1][400], g.STPY[1][400]);
  g.GSIT = 0;
  ERASESTP(g);
  EXPECT_EQ(g.STPN[1], 400u);
}

TEST_F(Trail, BackwardTouchCatchesAGhostAndKeepsTheTrail) {
  g.GSIT = 2;
  far_trail(500);
  put(180, g.STPX[1][500] + 3, g.STPY[1][500]);  // ghost 2
  g.PX = 7;
  ERASESTP(g);
  EXPECT_TRUE(g.STPP[1][2]);
  EXPECT_FALSE(g.STPP[1][1]);
  EXPECT_FALSE(g.STPP[1][3]);
  EXPECT_EQ(g.STPN[1], 500u);
  EXPECT_EQ(g.PX, 7.0);
}

TEST_F(Trail, BackwardUncaughtGhostOnTheExitResetsThePlayer) {
  g.GSIT = 2;
  far_trail(700);
  put(220, 270, 202);  // ghost 3 stands on the exit, index >= STPM (200)
  for (int k = 1; k <= STPPMAX; ++k) g.STPP[1][k] = true;
  g.STPP[1][3] = false;
  g.PX = 40;
  g.PY = 40;
  g.VX = 2;
  g.VY = 1;
  ERASESTP(g);
  EXPECT_EQ(g.PX, 270.0);
  EXPECT_EQ(g.PY, 202.0);
  EXPECT_EQ(g.VX, 0.0);
  EXPECT_EQ(g.VY, 0.0);
  EXPECT_TRUE(g.STPP[1][1] && g.STPP[1][2]);
  EXPECT_FALSE(g.STPP[1][3]);
  for (int k = 4; k <= STPPMAX; ++k) EXPECT_FALSE(g.STPP[1][k]) << k;
  EXPECT_EQ(g.STPN[1], 700u);  // the head point stays
}

TEST_F(Trail, BackwardNoResetBelowStpmOrWhenCaughtInTheSameCall) {
  g.GSIT = 2;
  far_trail(500);
  put(180, 270, 202);  // ghost 2 on the exit at index 180 < STPM
  g.PX = 40;
  ERASESTP(g);
  EXPECT_EQ(g.PX, 40.0);

  far_trail(700);
  put(220, 270, 202);  // ghost 3 on the exit, index 220 >= STPM ...
  put(700, 272, 200);  // ... and the head touches it in the same iteration
  ERASESTP(g);
  EXPECT_TRUE(g.STPP[1][3]);
  EXPECT_EQ(g.PX, 40.0);
}

TEST_F(Trail, BackwardGhostOnTheExitCountsFromTheLeastTrailLengthOn) {
  g.GSIT = 2;
  for (std::uint32_t least : {200u, 201u}) {
    far_trail(520);
    put(200, 270, 202);  // ghost 2 on the exit, at index 200
    g.STPM[1] = least;
    g.PX = 40;
    ERASESTP(g);
    EXPECT_EQ(g.PX, least == 200 ? 270.0 : 40.0) << "least trail length " << least;
  }
}

TEST_F(Trail, BackwardResetReleasesGhostsThatAreCaughtAgainInTheSameCall) {
  g.GSIT = 2;
  far_trail(700);
  put(380, 270, 202);                       // uncaught ghost 2 on the exit
  put(60, g.STPX[1][700], g.STPY[1][700]);  // ghost 4 under the head
  g.STPP[1][3] = true;
  ERASESTP(g);
  EXPECT_EQ(g.PX, 270.0);
  EXPECT_FALSE(g.STPP[1][3]);  // released by the reset
  EXPECT_TRUE(g.STPP[1][4]);   // caught again after it
}

}  // namespace
}  // namespace tervalon::test
