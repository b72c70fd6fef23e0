// Golden pictures of the frame composition, drawn with the off-screen window:
// board, ghosts and their shades, the entry, exit and end markers, the
// player, both passes' colours, and the story-text fade; and menus over them.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "base/sha256.h"
#include "display/text.h"
#include "display/window.h"
#include "game/rules/coords.h"
#include "game/rules/rules.h"
#include "game/rules/trail.h"
#include "game/view/draw.h"
#include "game/view/guide.h"
#include "game/view/menu.h"
#include "game/view/window_setup.h"
#include "tests/game/app_step.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

// A 16 x 12 board (320 x 240): entry (2, 10), exit (13, 10), end (7, 10);
// a wall block at (5..6, 4..5).
std::vector<Level> board() {
  auto rows = room(16, 12, 2, 10, 13, 10);
  rows[10][7] = 'e';
  for (int y = 4; y <= 5; ++y) rows[y][5] = rows[y][6] = 'x';
  return {{1, rows}, {8, rows}};
}

// One off-screen window for every test, and its view.
class Window : public testing::Environment {
 public:
  void SetUp() override {
    Game g;
    start(g, board());
    display::use_headless_backend();
    INITWIN(g, *view);
  }
  std::unique_ptr<View> view = std::make_unique<View>();
};
const auto* const window = static_cast<Window*>(testing::AddGlobalTestEnvironment(new Window));

std::uint32_t px(std::int32_t x, std::int32_t y) { return display::PMAIN->at(x, y); }

// Every pixel of the rectangle has colour c.
testing::AssertionResult filled(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, std::uint32_t c) {
  for (std::int32_t j = y; j < y + h; ++j)
    for (std::int32_t i = x; i < x + w; ++i)
      if (px(i, j) != c)
        return testing::AssertionFailure()
               << "pixel (" << i << ", " << j << ") is 0x" << std::hex << px(i, j) << ", not 0x" << c;
  return testing::AssertionSuccess();
}

// The blend of colour a over colour b with weight wa / 255, each channel
// rounded to nearest.
std::uint32_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t wa) {
  std::uint32_t out = 0;
  for (int s = 0; s < 24; s += 8) {
    double v = (((a >> s) & 255) * wa + ((b >> s) & 255) * (255.0 - wa)) / 255.0;
    out |= static_cast<std::uint32_t>(std::lround(v)) << s;
  }
  return out;
}

class Draw : public GameTest {
 protected:
  View& v = *window->view;
  void SetUp() override { start(g, board(), 1, 1); }
  // A trail of n + 1 points; point i stands at (x(i), y(i)).
  void trail(std::uint32_t n, double (*x)(std::uint32_t), double (*y)(std::uint32_t)) {
    for (std::uint32_t i = 0; i <= n; ++i) {
      g.STPX[g.BDLV][i] = x(i);
      g.STPY[g.BDLV][i] = y(i);
    }
    g.STPN[g.BDLV] = n;
  }
};

TEST_F(Draw, TheBoardIsGreyWallsOnWhite) {
  start(g, board(), 0, 0);
  compose_frame(g, v);
  EXPECT_TRUE(filled(0, 0, 320, 20, display::GRAY));    // top border row
  EXPECT_TRUE(filled(0, 220, 320, 20, display::GRAY));  // bottom
  EXPECT_TRUE(filled(300, 0, 20, 240, display::GRAY));  // right column
  EXPECT_TRUE(filled(100, 80, 40, 40, display::GRAY));  // the block
  EXPECT_TRUE(filled(20, 20, 80, 60, display::WHITE));  // air
  EXPECT_TRUE(filled(140, 80, 20, 40, display::WHITE));
}

// A cell changed between frames shows in the next one, and changed back, goes.
TEST_F(Draw, TheBoardIsDrawnAsItIsNow) {
  compose_frame(g, v);
  EXPECT_TRUE(filled(60, 60, 20, 20, display::WHITE));
  g.BD[g.BDLV][3][3] = 1;
  compose_frame(g, v);
  EXPECT_TRUE(filled(60, 60, 20, 20, display::GRAY));
  g.BD[g.BDLV][3][3] = 0;
  DRAWBDALL(g, v);
  EXPECT_TRUE(filled(60, 60, 20, 20, display::GRAY)) << "an empty cell draws nothing over what is there";
  compose_frame(g, v);
  EXPECT_TRUE(filled(60, 60, 20, 20, display::WHITE));
}

// The pieces a frame is made of, which the game itself draws only through
// its composition: a tile, one trail box, and the overlay with its fade step.
TEST_F(Draw, TilesBoxesAndTheOverlayDrawnOneByOne) {
  display::CLEAR();
  DRAWBD(v, 3, 2, 1);
  DRAWBD(v, 4, 2, 0);
  EXPECT_TRUE(filled(60, 40, 20, 20, display::GRAY));
  EXPECT_TRUE(filled(80, 40, 20, 20, display::WHITE)) << "an empty cell's tile draws nothing";

  trail(
      2, [](std::uint32_t i) { return 100.0 + 30 * i; }, [](std::uint32_t) { return 60.0; });
  DRAWRECT(g, 1, 64);  // a forward ghost at half strength
  EXPECT_TRUE(filled(122, 42, 16, 36, 64 * g.C[2]));
  EXPECT_TRUE(filled(152, 42, 16, 36, display::WHITE)) << "only the one point is drawn";

  // DRAWPAUSE is the fade step and then the overlay over what is there.
  g.PAUSE = 1;
  display::CLEAR();
  DRAWBDALL(g, v);
  DRAWRECTALL(g, v);
  DRAWPAUSE(g, v);
  EXPECT_EQ(g.CTEMP, 4);
  const std::vector<std::uint32_t> drawn = display::PMAIN->pixels;
  compose_frame(g, v);
  EXPECT_EQ(display::PMAIN->pixels, drawn);
  g.PAUSE = 0;
  g.CTEMP = 0;
}

TEST_F(Draw, Level0ShowsExitEndAndPlayerButNoEntryOrGhosts) {
  start(g, board(), 0, 0);
  trail(
      400, [](std::uint32_t i) { return 60.0 + (i % 2) * 100; }, [](std::uint32_t) { return 100.0; });
  g.STPX[0][400] = BD2X(2);
  g.STPY[0][400] = BD2Y(10);
  compose_frame(g, v);
  EXPECT_TRUE(filled(262, 184, 16, 36, 0xBF0000));      // exit: blue, full (STPM 1)
  EXPECT_TRUE(filled(142, 184, 16, 36, 0x0000FF));      // end: red
  EXPECT_TRUE(filled(42, 184, 16, 36, 0x010101));       // player on the entry
  EXPECT_TRUE(filled(52, 82, 16, 36, display::WHITE));  // ghosts are not drawn
}

TEST_F(Draw, GhostShadesFadeWithDistanceInBothPasses) {
  // Nine ghosts, each standing alone in its own column of the air.
  auto x = [](std::uint32_t i) {
    const std::uint32_t ghost = (1441 - i) / 160;
    return 30.0 + 30.0 * ghost;
  };
  trail(1441, x, [](std::uint32_t) { return 60.0; });
  g.STPY[1][1441] = 202;  // the head, on the floor
  const std::uint32_t intensity[] = {0, 64, 96, 112, 120, 124, 126, 127, 128, 128};
  for (int pass : {1, 2}) {
    g.GSIT = static_cast<std::int8_t>(pass);
    g.STPP[1][3] = true;  // caught: not drawn in the backward pass
    compose_frame(g, v);
    std::uint32_t hue = pass == 1 ? 0x101 : 0x10000;
    for (int k = 1; k <= 9; ++k) {
      std::uint32_t expected = pass == 2 && k == 3 ? display::WHITE : intensity[k] * hue;
      EXPECT_EQ(px(22 + 30 * k + 8, 50), expected) << "pass " << pass << " ghost " << k;
    }
  }
}

TEST_F(Draw, FurtherGhostsPaintOverNearerOnesAndThePlayerOverAll) {
  trail(
      321, [](std::uint32_t i) { return i == 1     ? 108.0
                                        : i == 321 ? 250.0
                                                   : 100.0; },
      [](std::uint32_t) { return 60.0; });
  compose_frame(g, v);
  EXPECT_EQ(px(93, 60), 64u * 0x101);   // ghost 1 (point 161) alone, left of ghost 2
  EXPECT_EQ(px(110, 60), 96u * 0x101);  // ghost 2 (point 1) over ghost 1
  g.STPX[1][321] = 100;                 // the player at the head covers ghost 1
  compose_frame(g, v);
  EXPECT_TRUE(filled(92, 42, 16, 36, 0x010101));
}

TEST_F(Draw, GhostEdgesRoundHalvesToEven) {
  trail(
      161, [](std::uint32_t i) { return i == 1 ? 20.5 + 30 : 250.0; }, [](std::uint32_t) { return 100.0; });
  g.STPX[1][1] = 50.5;  // left edge 42.5: rounds to 42
  compose_frame(g, v);
  EXPECT_EQ(px(42, 100), 64u * 0x101);
  EXPECT_EQ(px(57, 100), 64u * 0x101);
  EXPECT_EQ(px(58, 100), display::WHITE);
  g.STPX[1][1] = 51.5;  // left edge 43.5: rounds to 44
  compose_frame(g, v);
  EXPECT_EQ(px(43, 100), display::WHITE);
  EXPECT_EQ(px(44, 100), 64u * 0x101);
}

TEST_F(Draw, TheEntryMarkerRisesAsTheNextGhostComesDue) {
  // (head index, marker height, intensity)
  struct Case {
    std::uint32_t n, height, intensity;
  } cases[] = {{0, 0, 63},    {1, 0, 63},   {20, 4, 63},  {100, 22, 63}, {140, 32, 63},
               {160, 36, 63}, {161, 0, 95}, {180, 4, 95}, {320, 36, 95}, {321, 0, 111}};
  for (const Case& c : cases) {
    trail(
        c.n, [](std::uint32_t) { return 200.0; }, [](std::uint32_t) { return 60.0; });
    compose_frame(g, v);
    // The entry's player box spans x 42..57, y 184..219; the marker fills its
    // bottom `height` rows.
    std::int32_t top = 220 - static_cast<std::int32_t>(c.height);
    EXPECT_TRUE(filled(42, 184, 16, top - 184, display::WHITE)) << c.n;
    EXPECT_TRUE(filled(42, top, 16, 220 - top, c.intensity * 0x101)) << c.n;
  }
}

TEST_F(Draw, TheExitMarkerGrowsTowardsTheLeastTrailLength) {
  // STPM 8: heights round(36 (n + 1) / 8), ties to even, at most 36.
  struct Case {
    std::uint32_t n, height;
  } cases[] = {{0, 4}, {1, 9}, {2, 14}, {3, 18}, {6, 32}, {7, 36}, {50, 36}};
  for (const Case& c : cases) {
    trail(
        c.n, [](std::uint32_t) { return 200.0; }, [](std::uint32_t) { return 60.0; });
    compose_frame(g, v);
    std::int32_t h = static_cast<std::int32_t>(c.height);
    EXPECT_TRUE(filled(262, 184, 16, h, 0xBF0000)) << c.n;
    EXPECT_TRUE(filled(262, 184 + h, 16, 36 - h, display::WHITE)) << c.n;
  }
  g.GSIT = 2;  // backward: yellow
  compose_frame(g, v);
  EXPECT_TRUE(filled(262, 184, 16, 36, 0xBFBF));
  EXPECT_EQ(px(150, 200), display::WHITE);  // no end marker outside level 0's pass
  g.STPM[1] = 0;                            // a least length of 0 is met from the start: full marker
  g.STPN[1] = 0;
  compose_frame(g, v);
  EXPECT_TRUE(filled(262, 184, 16, 36, 0xBFBF));
}

TEST_F(Draw, StoryLayoutColoursAndPositions) {
  start(g, board(), 0, 0);
  g.STEXT[0][1][1] = "\xE5\x9B\x9E\xE5\xAE\xB6";  // 回家: 4 cells, 56 pixels
  g.STEXT[0][1][3] = "Home.";
  g.PAUSE = 1;
  fade_step(g);
  compose_frame(g, v);
  ASSERT_EQ(g.CURTEXTC, 0xBF0000u);
  // With H = 240 the lines start at y = 36, 66, 96 and 126, 28 pixels high.
  auto ink_rows = [&](std::uint32_t y0, std::uint32_t y1, std::uint32_t& left, std::uint32_t& right) {
    bool any = false;
    left = 9999;
    right = 0;
    for (std::uint32_t y = y0; y < y1; ++y)
      for (std::uint32_t x = 0; x < 320; ++x)
        if (v.PTEXT->at(x, y) != display::WHITE) {
          any = true;
          left = std::min(left, x);
          right = std::max(right, x);
        }
    return any;
  };
  std::uint32_t l, r;
  EXPECT_FALSE(ink_rows(0, 36, l, r));
  ASSERT_TRUE(ink_rows(36, 64, l, r));  // line 1, centred by its 56-pixel estimate
  EXPECT_GE(l, 132u);
  EXPECT_LE(r, 132u + 56 + 4);
  ASSERT_TRUE(ink_rows(66, 94, l, r));  // line 2: "T0.1.2", 84 pixels
  EXPECT_GE(l, 118u);
  EXPECT_FALSE(ink_rows(154, 240, l, r));
  // Glyph pixels in the story colour itself, not just shades of it.
  bool blue = false;
  for (std::uint32_t y = 96; y < 154; ++y)
    for (std::uint32_t x = 0; x < 320; ++x) blue |= v.PTEXT->at(x, y) == 0xBF0000;
  EXPECT_TRUE(blue);
  start(g, board(), 1, 2);
  g.STEXT[1][2][1] = "back";
  g.PAUSE = 1;
  fade_step(g);
  EXPECT_EQ(g.CURTEXTC, 0x7F7Fu);
  EXPECT_EQ(g.CURTEXT[1], "back");
}

// One story line that is not UTF-8 makes the whole file GBK: there C5 A3 is
// 牛, two cells wide, drawn just as a UTF-8 file with 牛 draws it.
TEST_F(Draw, OneGbkStoryLineMakesTheWholeFileGbk) {
  auto story_page = [&](const char* first, const char* second) {
    std::string f = level_file(board());
    f.replace(f.find("T0.1.1"), 6, first);
    f.replace(f.find("T0.1.2"), 6, second);
    start(g, f, 0, 0);
    g.PAUSE = 1;
    fade_step(g);
    compose_frame(g, v);
    EXPECT_EQ(GETSTRWIDTH(g, g.CURTEXT[1]), 28u);
    return v.PTEXT->pixels;
  };
  const auto gbk = story_page("\xC5\xA3", "\xBA\xDA\xCC\xE5");  // 牛 and 黑体 in GBK
  const auto utf8 = story_page("\xE7\x89\x9B", "\xE9\xBB\x91\xE4\xBD\x93");
  EXPECT_TRUE(gbk == utf8) << "the GBK file's story is drawn differently";
}

// The text page is laid out again whenever any of its four lines changes.
TEST_F(Draw, AStoryPageChangedInAnyLineIsLaidOutAgain) {
  start(g, board(), 0, 0);
  g.CTEMP = 255;
  g.CTEXT = 0;
  g.CURTEXTC = 0xBF0000;
  for (int i = 1; i <= 4; ++i) g.CURTEXT[i] = "line " + std::to_string(i);
  compose_frame(g, v);
  for (int i = 1; i <= 4; ++i) {
    const std::vector<std::uint32_t> before = v.PTEXT->pixels;
    g.CURTEXT[i] = "changed";
    compose_frame(g, v);
    EXPECT_NE(v.PTEXT->pixels, before) << "line " << i;
  }
}

// The guide's entry mark is an arrow pointing down at the entry box, in a
// shade no ghost has in either pass; the goal stays off the story's fade.
TEST_F(Draw, TheEntryArrowIsNoGhostsShadeAndTheGoalStaysOffTheStory) {
  for (const int pass : {1, 2}) {
    g.GSIT = static_cast<std::int8_t>(pass);
    trail(
        500, [](std::uint32_t i) { return 50.0 + i % 200; }, [](std::uint32_t) { return 202.0; });
    compose_frame(g, v);
    std::vector<std::uint32_t> before = display::PMAIN->pixels;
    draw_guide(g, v);
    const std::int32_t x = BD2X(g.BDIX[1]), top = BD2Y(g.BDIY[1]) - PH / 2;
    std::int32_t last_width = 99;
    for (std::int32_t j = 40; j < top; ++j) {
      std::int32_t width = 0;
      for (std::int32_t i = 0; i < static_cast<std::int32_t>(g.W); ++i) {
        const std::uint32_t p = px(i, j);
        if (p == before[static_cast<std::size_t>(j) * g.W + i]) continue;
        ++width;
        EXPECT_LT(std::abs(i - x), 7) << i << "," << j;
        for (std::uint32_t shade = 63; shade <= 128; ++shade) EXPECT_NE(p, shade * g.C[3 - pass]) << pass;
      }
      if (width == 0) continue;
      EXPECT_LT(width, last_width) << "row " << j << " of the arrow";
      last_width = width;
    }
    EXPECT_LT(last_width, 4) << "no arrow";

    g.CTEMP = 128;  // the story's fade over the board: no goal on it
    compose_frame(g, v);
    before = display::PMAIN->pixels;
    draw_goal(g);
    EXPECT_TRUE(before == display::PMAIN->pixels);
    g.CTEMP = 0;
  }
}

// A menu's text is made smaller until its widest line or item fits inside
// the picture; and the font left italic, underlined or struck out by
// someone else changes nothing.
TEST_F(Draw, AMenuShrinksToItsWidestTextAndStaysInsideThePicture) {
  // The columns where item 0 is hit, on the first row that hits it.
  auto item_columns = [&](const Menu& m) {
    std::pair<std::int32_t, std::int32_t> range{-1, -1};
    for (std::int32_t y = 0; y < static_cast<std::int32_t>(g.H) && range.first < 0; ++y)
      for (std::int32_t x = 0; x < static_cast<std::int32_t>(g.W); ++x)
        if (menu_item_at(g, m, x, y) == 0) {
          if (range.first < 0) range.first = x;
          range.second = x;
        }
    return range;
  };
  const Menu narrow{"", "", {}, {{"", "Go"}}, 0};
  Menu wide = narrow;
  wide.lines = {"A line far wider than the picture, so wide that every text of the menu is made smaller"};
  const auto n = item_columns(narrow), w = item_columns(wide);
  EXPECT_LT(w.second - w.first, n.second - n.first) << "the item shrinks with the line";
  Menu huge = narrow;
  huge.items[0].en = std::string(80, 'W');
  const auto h = item_columns(huge);
  EXPECT_TRUE(h.first > 0 && h.second < static_cast<std::int32_t>(g.W) - 1) << h.first << ".." << h.second;

  compose_frame(g, v);
  draw_menu(g, v, wide);
  const std::vector<std::uint32_t> plain = display::PMAIN->pixels;
  display::FLT = display::FUD = display::FSK = 1;
  compose_frame(g, v);
  draw_menu(g, v, wide);
  display::FLT = display::FUD = display::FSK = 0;
  EXPECT_EQ(display::PMAIN->pixels, plain);
}

// Menus and notes are pinned pixel for pixel, as the game's pictures are
// by the replay tool: their layout, text and colours change only on purpose.
TEST_F(Draw, MenusAndNotesAreAsPinned) {
  std::string ascii;
  for (char c = ' '; c <= '~'; ++c) ascii += c;
  const Menu menus[] = {
      {"\xE6\x9A\x82\xE5\x81\x9C",
       "Paused",
       {ascii.substr(0, 32), ascii.substr(32, 32), ascii.substr(64)},
       {{"\xE7\xBB\xA7\xE7\xBB\xAD", "Resume"}, {"", "Quit"}},
       1},
      {"", "The journey's end", {"Play time 0:02:27", "Any key ends the game"}, {}, 0},
      {"", "", {}, {{"", "One"}, {"", "Two"}}, 0},
  };
  std::vector<std::string> hashes;
  auto picture_hash = [] {
    const std::vector<std::uint32_t>& p = display::PMAIN->pixels;
    return base::sha256_hex({reinterpret_cast<const char*>(p.data()), p.size() * sizeof p[0]}).substr(0, 16);
  };
  for (const Menu& m : menus) {
    compose_frame(g, v);
    draw_menu(g, v, m);
    hashes.push_back(picture_hash());
  }
  for (const bool top : {false, true}) {
    compose_frame(g, v);
    draw_note(g, v, "\xE6\x96\xB0\xE7\xBA\xAA\xE5\xBD\x95 New best: level 1 forward, 2.5 s", top);
    hashes.push_back(picture_hash());
  }
  EXPECT_EQ(hashes, (std::vector<std::string>{"b2beb8f2547cb866", "73d56d8efb019350", "49ec097a37e07dc9",
                                              "59de7f51ef5ae7f5", "e0da52732300728d"}));
}

// Menus measure each printable ASCII character as wide as their face draws
// it at a cell of 100 pixels.
TEST_F(Draw, MenuTextIsMeasuredAsItsFaceDrawsIt) {
  display::PBITMAP page = display::CREATEBMP(400, 200, display::BLACK);
  const std::string face = display::FFN;
  display::FFN = "\xE9\xBB\x91\xE4\xBD\x93";  // 黑体
  display::FW = 100, display::FH = 200, display::FWG = 0;
  display::SETFONT(page);
  for (char c = ' '; c <= '~'; ++c) {
    display::DRAWTEXTXY(page, std::string(1, c), 0, 0, display::WHITE);
    EXPECT_EQ(menu_text_width(std::string(1, c), 200), display::FX) << c;
  }
  display::FFN = face;
  display::RELEASEBMP(page);
}

TEST_F(Draw, TheFadeWeighsTheGameAgainstTheTextPage) {
  start(g, board(), 0, 0);
  for (std::uint8_t level : {std::uint8_t{4}, std::uint8_t{252}}) {
    g.CTEMP = level;
    g.CTEXT = static_cast<std::uint8_t>(255 - level);
    g.CURTEXT[1] = "XXXXXXXXXXXXXXXXXXXX";
    g.CURTEXTC = 0xBF0000;
    compose_frame(g, v);
    // The game picture faded towards white with weight (255 - CTEMP) / 255,
    // then the white text page laid over it with weight CTEMP / 255.
    std::uint32_t wall = mix(display::GRAY, display::WHITE, 255 - level);
    EXPECT_EQ(px(5, 5), mix(display::WHITE, wall, level)) << int(level);
    std::uint32_t player = mix(0x010101, display::WHITE, 255 - level);
    EXPECT_EQ(px(50, 200), mix(display::WHITE, player, level)) << int(level);
    // A glyph pixel of the story colour, over white air.
    for (std::uint32_t y = 36; y < 64; ++y)
      for (std::uint32_t x = 0; x < 320; ++x)
        if (v.PTEXT->at(x, y) == 0xBF0000) {
          EXPECT_EQ(px(x, y), mix(0xBF0000, display::WHITE, level)) << x << "," << y;
          y = 64;
          break;
        }
  }
  g.CTEMP = 0;  // at 0 the frame is the plain game picture
  g.CTEXT = 255;
  compose_frame(g, v);
  EXPECT_TRUE(filled(0, 0, 320, 20, display::GRAY));
}

TEST_F(Draw, WithTheWindowGoneTheTextPageIsNotLaidOver) {
  start(g, board(), 0, 0);
  g.CTEMP = 252;
  g.CTEXT = 3;
  compose_frame(g, v);
  std::uint32_t with_page = px(5, 5);
  display::CLOSEWIN();
  compose_frame(g, v);
  EXPECT_EQ(px(5, 5), mix(display::GRAY, display::WHITE, 3));
  EXPECT_NE(px(5, 5), with_page);
}

TEST_F(Draw, DrawAllComposesAgainExactlyWhenSomethingDrawnHasChanged) {
  g.GSIT = 2;
  auto x = [](std::uint32_t i) {
    const std::uint32_t ghost = (481 - i) / 160;
    return 30.0 + 30.0 * ghost;
  };
  trail(481, x, [](std::uint32_t) { return 60.0; });
  // The window's picture after DRAWALL is the one composed from scratch now.
  auto shows_what_is_composed = [&] {
    DRAWALL(g, v);
    const std::vector<std::uint32_t> shown = display::PMSCR->pixels, left = display::PMAIN->pixels;
    compose_frame(g, v);
    return shown == display::PMAIN->pixels && left == display::PMAIN->pixels;
  };
  ASSERT_TRUE(shows_what_is_composed());
  DRAWALL(g, v);  // composes again: compose_frame drew on the main surface
  const std::uint64_t changes = display::main_surface_changes();
  DRAWALL(g, v);
  EXPECT_EQ(display::main_surface_changes(), changes) << "nothing changed, yet the frame was composed again";

  const std::pair<const char*, std::function<void()>> changed[] = {
      {"a ghost moved", [&] { g.STPY[1][321] = 100.0; }},
      {"a ghost caught", [&] { g.STPP[1][2] = true; }},
      {"the least length", [&] { g.STPM[1] = 2000; }},
      {"a colour step", [&] { g.C[1] = 0x20000; }},
      {"the exit cell", [&] { g.BDOX[1] = 9; }},
      {"the main surface drawn on", [&] { display::CLEAR(display::GRAY); }},
      {"the fade", [&] { g.CTEMP = 100; }},
      {"the story text", [&] { g.CURTEXT[3] = "The way home."; }},
  };
  const std::uint32_t colour = g.C[1];
  for (const auto& [what, change] : changed) {
    DRAWALL(g, v);  // the picture of now, shown: the next DRAWALL would change nothing
    change();
    EXPECT_TRUE(shows_what_is_composed()) << what;
  }
  g.C[1] = colour;
}

// A menu goes over the picture and stays inside it, its items are hit where
// their highlight is drawn, and it leaves nothing behind: the next DRAWALL
// shows a whole frame. A note changes only its band at the bottom.
TEST_F(Draw, MenusAndNotesStayInsideHitWhereDrawnAndLeaveNothingBehind) {
  Menu m{"\xE6\x9A\x82\xE5\x81\x9C", "Paused", {"Arrows move, Up jumps.", "Esc resumes."}, {}, 0};
  m.items = {{"\xE7\xBB\xA7\xE7\xBB\xAD", "Resume"}, {"", "Restart level"}, {"\xE9\x80\x80\xE5\x87\xBA", "Quit"}};
  const std::string face = display::FFN;
  const std::uint32_t height = display::FH, width = display::FW;
  auto pixels = [] { return display::PMAIN->pixels; };
  // Pixels of `after` that differ from `before`: their bounding box, and
  // whether any lies outside w x h.
  struct Changed {
    std::int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
    bool outside = false;
  };
  auto changed = [](const std::vector<std::uint32_t>& before, const std::vector<std::uint32_t>& after, std::uint32_t w,
                    std::uint32_t h) {
    Changed c;
    for (std::uint32_t i = 0; i < before.size(); ++i) {
      if (before[i] == after[i]) continue;
      const auto x = static_cast<std::int32_t>(i % display::PMAIN->WIDTH),
                 y = static_cast<std::int32_t>(i / display::PMAIN->WIDTH);
      c.outside |= x >= static_cast<std::int32_t>(w) || y >= static_cast<std::int32_t>(h);
      c.x0 = std::min(c.x0, x), c.y0 = std::min(c.y0, y), c.x1 = std::max(c.x1, x), c.y1 = std::max(c.y1, y);
    }
    return c;
  };

  DRAWALL(g, v);
  const std::vector<std::uint32_t> frame = pixels();
  m.selected = m.items.size();  // none marked
  draw_menu(g, v, m);
  const std::vector<std::uint32_t> unmarked = pixels();
  EXPECT_NE(display::PMSCR->pixels, unmarked) << "the caller presents the menu, once";
  display::FRESHWIN();
  EXPECT_EQ(display::PMSCR->pixels, unmarked);
  const Changed all = changed(frame, unmarked, g.W, g.H);
  EXPECT_TRUE(all.x0 == 0 && all.y0 == 0 && all.x1 == 319 && all.y1 == 239) << "the whole picture is dimmed";
  EXPECT_TRUE(display::FFN == face && display::FH == height && display::FW == width) << "font settings kept";

  for (std::size_t item = 0; item < m.items.size(); ++item) {
    compose_frame(g, v);
    m.selected = item;
    draw_menu(g, v, m);
    const Changed bar = changed(unmarked, pixels(), g.W, g.H);
    ASSERT_GE(bar.x1, bar.x0) << "no highlight for item " << item;
    // Across the bar's middle row and down its middle column, the item is
    // hit exactly where the bar was drawn, and nothing is hit outside the picture.
    const std::int32_t cx = (bar.x0 + bar.x1) / 2, cy = (bar.y0 + bar.y1) / 2, want = static_cast<int>(item);
    for (std::int32_t x = -1; x <= static_cast<std::int32_t>(g.W); ++x)
      EXPECT_EQ(menu_item_at(g, m, x, cy) == want, x >= bar.x0 && x <= bar.x1) << "item " << item << " x " << x;
    for (std::int32_t y = -1; y <= static_cast<std::int32_t>(g.H); ++y)
      EXPECT_EQ(menu_item_at(g, m, cx, y) == want, y >= bar.y0 && y <= bar.y1) << "item " << item << " y " << y;
  }
  EXPECT_EQ(menu_item_at(g, m, 160, 5), -1) << "above the menu";

  // The next frame is whole: what the window shows and what is left in the
  // main surface are a fresh composition of the game.
  DRAWALL(g, v);
  draw_menu(g, v, m);
  DRAWALL(g, v);
  const std::vector<std::uint32_t> shown = display::PMSCR->pixels, left = pixels();
  compose_frame(g, v);
  EXPECT_TRUE(shown == pixels() && left == pixels()) << "the menu left something behind";

  draw_note(g, v, "New best: 12.35 s");
  const Changed note = changed(frame, pixels(), g.W, g.H);
  EXPECT_TRUE(note.x0 >= 0 && note.x1 < 320 && note.y0 > 200 && note.y1 == 239) << note.y0;
  EXPECT_TRUE(display::FFN == face && display::FH == height && display::FW == width) << "font settings kept";

  // A 100 x 60 board in the 320 x 240 surface: menu and note stay in the board's corner.
  start(g, {{1, room(5, 3, 1, 1, 3, 1)}, {1, room(5, 3, 1, 1, 3, 1)}}, 1, 1);
  compose_frame(g, v);
  const std::vector<std::uint32_t> tiny = pixels();
  draw_menu(g, v, m);
  const Changed in_corner = changed(tiny, pixels(), g.W, g.H);
  EXPECT_FALSE(in_corner.outside);
  EXPECT_TRUE(in_corner.x1 == 99 && in_corner.y1 == 59) << "dimmed to its edges";
  bool hit = false;  // the list is cut to fit, but some item shows
  for (std::int32_t y = 0; y < 60; ++y) hit |= menu_item_at(g, m, 50, y) >= 0;
  EXPECT_TRUE(hit);
  compose_frame(g, v);
  draw_note(g, v, "New best: 12.35 s, the best of all the runs so far");
  EXPECT_FALSE(changed(tiny, pixels(), g.W, g.H).outside);
}

// The view's palette, text size and the opaque panel, for one test: the
// window's view goes back to the defaults after it.
class Look : public Draw {
 protected:
  void TearDown() override {
    v.palette = Palette::standard;
    v.text = TextSize::normal;
  }
  // The bounding box of the pixels where two pictures differ; x1 < x0 when none.
  struct Box {
    std::int32_t x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
    bool holds(std::int32_t x, std::int32_t y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
  };
  static Box differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    Box box;
    for (std::size_t i = 0; i < a.size(); ++i)
      if (a[i] != b[i]) {
        const auto x = static_cast<std::int32_t>(i % display::PMAIN->WIDTH),
                   y = static_cast<std::int32_t>(i / display::PMAIN->WIDTH);
        box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x), std::max(box.y1, y)};
      }
    return box;
  }
  std::vector<std::uint32_t> composed(Palette p) {
    v.palette = p;
    compose_frame(g, v);
    return display::PMAIN->pixels;
  }
};

// Ghosts, entry and exit (and the end on level 0) change colour, nothing
// else does; in the colour-blind palette the ghosts still fade with
// distance, and no marker shares a colour with a ghost or another marker.
TEST_F(Look, TheColourBlindPaletteRecoloursOnlyGhostsAndMarkers) {
  // Ghosts 1..3 in columns, the player at x 30, the entry marker part risen.
  auto x = [](std::uint32_t i) {
    const std::uint32_t ghost = (540 - i) / 160;  // whole ghosts behind the player
    return 30.0 + 30.0 * ghost;
  };
  trail(540, x, [](std::uint32_t) { return 60.0; });
  auto lightness = [](std::uint32_t c) { return (c & 255) + (c >> 8 & 255) + (c >> 16 & 255); };
  for (const int pass : {0, 1, 2}) {
    g.GSIT = static_cast<std::int8_t>(pass);
    const std::vector<std::uint32_t> standard = composed(Palette::standard), clear = composed(Palette::colourblind);
    // The boxes that may change: ghosts 1..3, then entry, exit, end.
    std::vector<std::pair<std::int32_t, std::int32_t>> boxes = {{52, 42}, {82, 42}, {112, 42}, {42, 184}, {262, 184}};
    if (pass == 0) boxes = {{262, 184}, {142, 184}};
    for (std::size_t i = 0; i < standard.size(); ++i) {
      const auto px_x = static_cast<std::int32_t>(i % 320), px_y = static_cast<std::int32_t>(i / 320);
      const bool in_box = std::any_of(boxes.begin(), boxes.end(), [&](auto b) {
        return px_x >= b.first && px_x < b.first + PW && px_y >= b.second && px_y < b.second + PH;
      });
      if (!in_box) {
        ASSERT_EQ(standard[i], clear[i]) << "pass " << pass << " at " << px_x << "," << px_y;
      }
    }
    std::vector<std::uint32_t> colours;
    for (const auto& [bx, by] : boxes) {
      const std::uint32_t c = clear[static_cast<std::size_t>(by + PH - 1) * 320 + bx];
      EXPECT_NE(c, standard[static_cast<std::size_t>(by + PH - 1) * 320 + bx]) << "pass " << pass << " at " << bx;
      EXPECT_TRUE(c != display::WHITE && c != display::GRAY && c != 0x010101) << "pass " << pass << " at " << bx;
      for (const std::uint32_t other : colours) EXPECT_NE(c, other) << "pass " << pass << " at " << bx;
      colours.push_back(c);
    }
    if (pass > 0) {
      EXPECT_TRUE(lightness(colours[0]) < lightness(colours[1]) && lightness(colours[1]) < lightness(colours[2]))
          << "pass " << pass << ": further ghosts are paler";
    }
  }

  // A palette changed between frames is drawn at the next one.
  g.GSIT = 1;
  v.palette = Palette::standard;
  DRAWALL(g, v);
  v.palette = Palette::colourblind;
  DRAWALL(g, v);
  const std::vector<std::uint32_t> shown = display::PMSCR->pixels;
  EXPECT_EQ(shown, composed(Palette::colourblind));

  // The guide's mark over the entry takes the palette's entry colour.
  draw_guide(g, v);
  const std::uint32_t mark = px(BD2X(g.BDIX[1]), BD2Y(g.BDIY[1]) - PH / 2 - 6);
  EXPECT_EQ(mark, entry_mark_colour(g, Palette::colourblind));
  EXPECT_NE(mark, entry_mark_colour(g, Palette::standard));
}

// Large text: larger rows, a wide line wrapped rather than the whole menu
// made smaller, items hit where their bar is drawn, all inside the picture;
// a long note wraps onto a taller band.
TEST_F(Look, LargeTextIsLargerWrapsAndIsHitWhereDrawn) {
  Menu m{"", "Paused", {}, {{"", "Resume"}, {"", "Quit"}}, 0};
  Menu wide = m;
  wide.lines = {"A line far wider than the picture, so wide that it takes several rows in large text"};
  compose_frame(g, v);
  const std::vector<std::uint32_t> frame = display::PMAIN->pixels;
  // The highlight bar of item 0 as drawn.
  auto bar = [&](Menu menu, TextSize text) {
    v.text = text;
    menu.selected = 0;
    display::PMAIN->pixels = frame;
    draw_menu(g, v, menu);
    const std::vector<std::uint32_t> marked = display::PMAIN->pixels;
    menu.selected = menu.items.size();
    display::PMAIN->pixels = frame;
    draw_menu(g, v, menu);
    return differing(display::PMAIN->pixels, marked);
  };
  const Box normal = bar(m, TextSize::normal), large = bar(m, TextSize::large), large_wide = bar(wide, TextSize::large);
  EXPECT_GT(large.y1 - large.y0, normal.y1 - normal.y0) << "taller rows";
  EXPECT_EQ(large_wide.y1 - large_wide.y0, large.y1 - large.y0) << "a wide line wraps: the items keep their size";
  EXPECT_LT(bar(wide, TextSize::normal).y1 - bar(wide, TextSize::normal).y0, normal.y1 - normal.y0)
      << "in normal text a wide line shrinks everything";
  for (std::int32_t y = -1; y <= static_cast<std::int32_t>(g.H); ++y)
    for (std::int32_t x : {large_wide.x0 - 1, (large_wide.x0 + large_wide.x1) / 2, large_wide.x1 + 1})
      EXPECT_EQ(menu_item_at(g, wide, x, y, TextSize::large) == 0, large_wide.holds(x, y)) << x << "," << y;

  // An item too wide for a row wraps within one taller bar.
  Menu long_item = m;
  long_item.items[0].en = "An item with a great many words in it that cannot fit on one row";
  const Box tall = bar(long_item, TextSize::large);
  EXPECT_GT(tall.y1 - tall.y0, large.y1 - large.y0);
  EXPECT_EQ(menu_item_at(g, long_item, (tall.x0 + tall.x1) / 2, tall.y1, TextSize::large), 0);

  // On a tiny board nothing reaches past it, and some item still shows.
  start(g, {{1, room(5, 3, 1, 1, 3, 1)}, {1, room(5, 3, 1, 1, 3, 1)}}, 1, 1);
  compose_frame(g, v);
  const std::vector<std::uint32_t> tiny = display::PMAIN->pixels;
  draw_menu(g, v, long_item);
  EXPECT_TRUE(differing(tiny, display::PMAIN->pixels).x1 < 100 && differing(tiny, display::PMAIN->pixels).y1 < 60);
  draw_note(g, v, wide.lines[0]);
  EXPECT_TRUE(differing(tiny, display::PMAIN->pixels).x1 < 100 && differing(tiny, display::PMAIN->pixels).y1 < 60);

  // A long note: one shrunken row in normal text, a taller band in large.
  start(g, board(), 1, 1);
  auto note_top = [&](TextSize text) {
    v.text = text;
    display::PMAIN->pixels = frame;
    draw_note(g, v, wide.lines[0]);
    return differing(frame, display::PMAIN->pixels).y0;
  };
  EXPECT_LT(note_top(TextSize::large), note_top(TextSize::normal) - 12);
}

// An opaque menu's panel shows the same pixels whatever is under it; around
// the panel the picture is dimmed as under any menu.
TEST_F(Look, AnOpaqueMenuHidesThePictureBehindItsText) {
  Menu m{"", "The journey's end", {"Play time 0:02:27", "Any key ends the game"}, {}, 0};
  auto under = [&](double player_x, bool opaque) {
    trail(
        1, [](std::uint32_t) { return 250.0; }, [](std::uint32_t) { return 110.0; });
    g.STPX[1][1] = player_x;
    m.opaque = opaque;
    compose_frame(g, v);
    draw_menu(g, v, m);
    return display::PMAIN->pixels;
  };
  const std::vector<std::uint32_t> see_through = under(150, false), opaque = under(150, true);
  const Box panel = differing(see_through, opaque);
  ASSERT_TRUE(panel.holds(150, 110) && panel.holds(170, 110)) << "the panel covers the player";
  const std::vector<std::uint32_t> moved = under(170, true), moved_see_through = under(170, false);
  EXPECT_NE(differing(see_through, moved_see_through).x1, -1) << "without it the player shows through";
  const Box changed = differing(opaque, moved);
  for (std::int32_t y = changed.y0; y <= changed.y1; ++y)
    for (std::int32_t x = changed.x0; x <= changed.x1; ++x)
      if (opaque[static_cast<std::size_t>(y) * 320 + x] != moved[static_cast<std::size_t>(y) * 320 + x]) {
        ASSERT_FALSE(panel.holds(x, y)) << "the player shows through the panel at " << x << "," << y;
      }
}

// The palette is the window's alone: the same keys make the same game and
// the same recording with either palette; only the picture differs.
TEST_F(AppStep, ThePaletteChangesTheWindowsPictureAndNothingElse) {
  struct Played {
    std::string state, recording;
    std::vector<std::uint32_t> picture;
  };
  auto play = [&](Palette p) {
    Options o;
    o.palette = p;
    clock_ = 0.001;
    open(o);
    Played r;
    EXPECT_TRUE(playable());
    send(K_RIGHT);
    run(0.5);
    send(K_RIGHT, WM_KEYUP);
    run(0.2);
    r.state = state_line(g());
    r.picture = picture();
    send(K_ESC);
    EXPECT_EQ(app_->finish(), 0);
    // Its lines but the comments, which say when it was made.
    std::istringstream lines(save());
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("# ", 0) != 0) r.recording += line + "\n";
    app_.reset();
    std::filesystem::remove_all(dir_ + "/tervalon");  // the next run starts afresh
    return r;
  };
  const Played standard = play(Palette::standard), clear = play(Palette::colourblind);
  EXPECT_EQ(standard.state, clear.state);
  EXPECT_FALSE(standard.recording.empty());
  EXPECT_EQ(standard.recording, clear.recording);
  EXPECT_NE(standard.picture, clear.picture);
}

// The guide's line and its counts: the next ghost comes when the rules say
// it does (the first after 161 moves, then every 160), and the way home is
// counted along the forward trail, less its start that touches the entry.
TEST(Guide, SaysWhereThePlayerIsWhenTheNextGhostComesAndHowFarHomeIs) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  start(g, {{1, room(20, 12, 3, 4, 9, 4)}, {100, room(20, 12, 2, 10, 12, 10)}}, 1, 1);
  for (const std::uint32_t head : {0u, 1u, 159u, 160u, 161u, 170u, 481u}) {
    g.STPN[1] = head;
    const std::uint32_t next = moves_to_next_ghost(g);
    for (std::uint32_t k = 1; k <= 4; ++k) g.STPP[1][k] = k <= (head + next - 2) / 160;
    g.STPN[1] = head + next - 1;
    EXPECT_TRUE(NOSTP(g)) << head << ": a ghost before " << next << " moves";
    g.STPN[1] = head + next;
    EXPECT_FALSE(NOSTP(g)) << head << ": no ghost after " << next << " moves";
  }
  // Forward: up 100 px, right 200, down 100 to the exit, 4 px a move; the
  // first 8 moves still touch the entry. Then back along the top.
  auto at = [&](std::uint32_t i, double x, double y) { g.STPX[1][i] = x, g.STPY[1][i] = y; };
  for (int i = 0; i <= 100; ++i) at(i, 50.0 + 4 * std::clamp(i - 25, 0, 50), 202.0 - 4 * std::min({i, 25, 100 - i}));
  for (std::uint32_t i = 101; i <= 140; ++i) at(i, 250.0 - (i - 100) * 4.0, 102.0);
  g.GSIT = 2;
  g.STPN[1] = 140;
  EXPECT_EQ(moves_home(g), 32u - 8) << "at x 90 on top: first touched at move 32, at x 78";
  g.STPN[1] = 141;
  at(141, 150.0, 182.0);
  EXPECT_EQ(moves_home(g), 50u - 8 + 20) << "80 px under move 50";
  at(141, 52.0, 202.0);
  EXPECT_EQ(moves_home(g), 0u);
  g.STPP[1][1] = true;
  at(170, 150.0, 182.0);
  g.STPN[1] = 170;
  EXPECT_EQ(guide_line(g),
            "第1关 level 1 回程 back · 影子 ghosts 1，抓到 caught 1 · 新影子 next: 151 步 moves · "
            "沿轨迹回家 home by the trail: 62 步 moves");
  g.BDLV = 0;
  g.GSIT = 0;
  EXPECT_EQ(guide_line(g), "起点 hub · 轨迹 trail 0/1 · 影子 ghosts 0 · 下一个 next: 161 步 moves");
}

}  // namespace
}  // namespace tervalon::test
