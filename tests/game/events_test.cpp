// Sound events read from the state, played through the real rules, and the
// synthesised sounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "game/replay/events.h"
#include "game/rules/rules.h"
#include "game/view/sounds.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

// Plays passes of one frame and key messages as the replay tool does,
// collecting the events in order and the passes whose trail head fell.
class Events : public GameTest {
 protected:
  std::vector<Sound> heard;
  std::vector<Sound> at_fall;  // what was heard on passes where STPN fell
  EventState seen;

  void begin(const std::vector<std::string>& rows, int pass) {
    start(g, {{1, rows}, {1000, rows}}, 1, pass);
    seen = event_state(g);
  }
  void note() {
    const EventState now = event_state(g);
    const std::uint32_t e = events_between(seen, now, false);
    for (std::size_t i = 0; i < SOUND_COUNT; ++i)
      if (has(e, static_cast<Sound>(i))) heard.push_back(static_cast<Sound>(i));
    seen = now;
  }
  void frames(int n) {
    for (int i = 0; i < n; ++i) {
      const std::uint32_t trail = g.STPN[g.BDLV];
      const std::size_t from = heard.size();
      frame_pass(g, 1);
      note();
      if (g.STPN[g.BDLV] < trail) at_fall.insert(at_fall.end(), heard.begin() + static_cast<long>(from), heard.end());
    }
  }
  void key(std::uint32_t message, std::int32_t k) {
    handle_message(g, message, k);
    note();
  }
  std::size_t count(Sound s) const { return static_cast<std::size_t>(std::count(heard.begin(), heard.end(), s)); }
};

// 40 x 12 cells, entry at column 5 and exit at column 30 on the floor, a wall
// pillar at column 12 rows 3..10.
std::vector<std::string> hall(bool pillar) {
  auto rows = room(40, 12, 5, 10, 30, 10);
  if (pillar)
    for (int y = 3; y <= 10; ++y) rows[y][12] = 'x';
  return rows;
}

TEST_F(Events, StandingStillIsSilentAndAJumpFromTheFloorLands) {
  begin(hall(false), 1);
  frames(120);
  EXPECT_TRUE(heard.empty());
  key(WM_KEYDOWN, K_UP);
  frames(1);
  key(WM_KEYUP, K_UP);
  EXPECT_EQ(heard, (std::vector<Sound>{Sound::jump}));
  frames(100);
  EXPECT_EQ(heard, (std::vector<Sound>{Sound::jump, Sound::land}));
  EXPECT_EQ(g.VY, 0.0);
}

TEST_F(Events, AFreshUpInTheAirAgainstAWallIsAWallJump) {
  begin(hall(true), 1);
  key(WM_KEYDOWN, K_RIGHT);
  frames(60);  // run into the pillar
  key(WM_KEYDOWN, K_UP);
  frames(1);
  key(WM_KEYUP, K_UP);
  frames(8);
  key(WM_KEYDOWN, K_UP);  // in the air, against the pillar
  frames(1);
  key(WM_KEYUP, K_UP);
  key(WM_KEYUP, K_RIGHT);
  frames(200);
  EXPECT_EQ(heard, (std::vector<Sound>{Sound::jump, Sound::wall_jump, Sound::land}));
}

// Running out and straight back meets the first ghost coming along the trail.
TEST_F(Events, AGhostTouchedRewindsForwardAndIsCaughtBackward) {
  for (int pass : {1, 2}) {
    SCOPED_TRACE(pass);
    heard.clear();
    at_fall.clear();
    begin(hall(false), pass);
    const std::int32_t out = pass == 1 ? K_RIGHT : K_LEFT, back = pass == 1 ? K_LEFT : K_RIGHT;
    key(WM_KEYDOWN, out);
    frames(100);
    key(WM_KEYUP, out);
    key(WM_KEYDOWN, back);
    frames(300);
    EXPECT_EQ(count(Sound::rewound), pass == 1 ? at_fall.size() : 0u);
    EXPECT_GE(count(Sound::rewound), pass == 1 ? 1u : 0u);
    EXPECT_EQ(std::count(at_fall.begin(), at_fall.end(), Sound::rewound), count(Sound::rewound));
    EXPECT_EQ(count(Sound::caught), pass == 2 ? 1u : 0u);
    EXPECT_EQ(count(Sound::land), 0u);
  }
}

TEST(Sounds, EachIsAudibleShortQuietDistinctAndFreeOfClicks) {
  std::vector<std::vector<std::int16_t>> all;
  for (std::size_t i = 0; i < SOUND_COUNT; ++i) {
    const auto s = static_cast<Sound>(i);
    SCOPED_TRACE(sound_name(s));
    const std::vector<std::int16_t> pcm = make_sound(s);
    ASSERT_FALSE(pcm.empty());
    // The journey's end closes the game with a phrase and a chord let ring.
    EXPECT_LT(pcm.size(), static_cast<std::size_t>((s == Sound::journey_end ? 2 : 0.3) * SOUND_RATE));
    int peak = 0;
    for (const std::int16_t x : pcm) peak = std::max(peak, std::abs(int{x}));
    EXPECT_GT(peak, 32767 / 10);
    EXPECT_LE(peak, 32767 / 3 + 1);
    // Ramps at both ends: silence at the edges, and the first and last
    // millisecond well below the peak.
    EXPECT_LT(std::abs(int{pcm.front()}), 100);
    EXPECT_LT(std::abs(int{pcm.back()}), 100);
    for (std::size_t k = 0; k < SOUND_RATE / 1000; ++k) {
      EXPECT_LT(std::abs(int{pcm[k]}), peak / 2) << "sample " << k;
      EXPECT_LT(std::abs(int{pcm[pcm.size() - 1 - k]}), peak / 2) << "sample " << pcm.size() - 1 - k;
    }
    EXPECT_EQ(pcm, make_sound(s));
    EXPECT_EQ(std::find(all.begin(), all.end(), pcm), all.end());
    all.push_back(pcm);
    EXPECT_NE(std::string(sound_name(s)), "?");
    // No click inside either: a jump between samples shows in the second
    // difference, which for these tones stays far below the peak.
    int bend = 0;
    for (std::size_t k = 1; k + 1 < pcm.size(); ++k)
      bend = std::max(bend, std::abs(int{pcm[k + 1]} - 2 * int{pcm[k]} + int{pcm[k - 1]}));
    if (s != Sound::land) {  // the thud is noise
      EXPECT_LT(bend, peak / 10);
    }
  }
  // The ending is the fullest sound: the most energy of all.
  const auto energy = [](const std::vector<std::int16_t>& pcm) {
    double e = 0;
    for (const std::int16_t x : pcm) e += static_cast<double>(x) * x;
    return e;
  };
  for (std::size_t i = 0; i + 1 < SOUND_COUNT; ++i)
    EXPECT_GT(energy(all.back()), energy(all[i])) << sound_name(static_cast<Sound>(i));
}

// The sounds are pinned sample for sample, as the journey is frame for
// frame: a change to one is made on purpose, and this list changed with it.
TEST(Sounds, AreTheSoundsAsPinned) {
  const char* const pinned[SOUND_COUNT] = {
      "e927b21edf374e0d", "beac1d5639419486", "6966733eb7c0ddd8", "9fd33481d3ecb6b0", "f5578c06ccbee925",
      "bad380dc1f632f0a", "b8d53dba82ecd8dc", "82569acf444723b6", "6df7ec038cb57c35", "f1d95119a00edd78"};
  for (std::size_t i = 0; i < SOUND_COUNT; ++i) {
    const std::vector<std::int16_t> pcm = make_sound(static_cast<Sound>(i));
    const std::string bytes(reinterpret_cast<const char*>(pcm.data()), pcm.size() * sizeof pcm[0]);
    EXPECT_EQ(base::sha256_hex(bytes).substr(0, 16), pinned[i]) << sound_name(static_cast<Sound>(i));
  }
}

}  // namespace
}  // namespace tervalon::test
