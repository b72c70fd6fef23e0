// Text: measuring and scaling, drawing defaults, the end point FX, and that the
// faces the game names really put glyphs on a surface.
#include <gtest/gtest.h>

#include "display/display.h"

using namespace display;

namespace {

const char* const HEITI_GBK = "\xBA\xDA\xCC\xE5";  // "黑体" in GBK

class Text : public ::testing::Test {
 protected:
  void SetUp() override {
    use_headless_backend();
    CREATEWIN(320, 64, BLACK, WHITE);
  }
  // Pixels of `s` drawn in `face` at 14 x 28 in the colour given, on white.
  static std::vector<std::uint32_t> draw(const char* face, const char* s, std::uint32_t colour = NAVY) {
    PBITMAP page = CREATEBMP(320, 64, WHITE);
    SETFONTNAME(face);
    SETFONTSIZE(14, 28);
    SETFONT(page);
    DRAWTEXTXY(page, s, 4, 4, colour);
    auto pixels = page->pixels;
    RELEASEBMP(page);
    return pixels;
  }
  static int count(const std::vector<std::uint32_t>& p, std::uint32_t c) {
    return static_cast<int>(std::count(p.begin(), p.end(), c));
  }
};

TEST(TextRules, ScalingRoundsToNearestWithTiesToEven) {
  EXPECT_EQ(scale_to_height(80, 28, 16), 140u);
  EXPECT_EQ(scale_to_height(81, 28, 16), 142u);  // 141.75
  EXPECT_EQ(scale_to_height(3, 1, 2), 2u);       // 1.5
  EXPECT_EQ(scale_to_height(5, 1, 2), 2u);       // 2.5
  EXPECT_EQ(scale_to_height(7, 3, 6), 4u);       // 3.5
  EXPECT_EQ(scale_to_height(80, 28, 0), 0u);
  EXPECT_EQ(scale_to_height(0x7FFFFFFF, 4, 2), 0xFFFFFFFEu) << "the product is taken exactly";
}

TEST(TextRules, GbkAndUtf8BothRead) {
  EXPECT_EQ(to_utf8(HEITI_GBK), "黑体");
  EXPECT_EQ(to_utf8("黑体 abc"), "黑体 abc");
}

// Valid UTF-8 passes unchanged; anything else is read as GBK, which changes
// it. The edges: the first code point of each length and the overlong form
// just below it, a NUL byte, the surrogates, the top of the range, a lone
// continuation byte, a cut sequence.
TEST(TextRules, Utf8IsTakenExactlyAtTheEdgesOfEachSequenceLength) {
  const std::string nul("\0", 1);
  for (const std::string& ok :
       {nul + "\xE9\xBB\x91", std::string("\xC2\x80"), std::string("\xE0\xA0\x80"), std::string("\xF0\x90\x80\x80"),
        std::string("\x7F\xDF\xBF"), std::string("\xED\x9F\xBF\xEE\x80\x80"), std::string("\xF4\x8F\xBF\xBF")})
    EXPECT_EQ(to_utf8(ok), ok) << testing::PrintToString(ok);
  for (const std::string& gbk :
       {nul + "\xBA\xDA", std::string("\xC1\xBF"), std::string("\xE0\x9F\xBF"), std::string("\xF0\x8F\xBF\xBF"),
        std::string("\xED\xA0\x80"), std::string("\xED\xBF\xBF"), std::string("\xF4\x90\x80\x80"),
        std::string("\xF8\x88\x80\x80\x80"), std::string("\x80"), std::string("\xE9\xBB"), std::string("\xC2\xC2")})
    EXPECT_NE(to_utf8(gbk), gbk) << testing::PrintToString(gbk);
  // A sequence cut by the end of the text, whatever lies in memory behind it.
  EXPECT_EQ(to_utf8(std::string_view("\xE9\xBB\x91", 2)), to_utf8("\xE9\xBB"));
  EXPECT_EQ(to_utf8(nul + "\xBA\xDA"), nul + "黑");
}

TEST_F(Text, FirstFontTakesTheWindowContextHeight) {
  EXPECT_EQ(FH, DEFAULT_FONT_HEIGHT);
  SETFONTSIZE(14, 0);
  EXPECT_EQ(FH, DEFAULT_FONT_HEIGHT) << "0 means the window context's height, never 0";
}

TEST_F(Text, WidthAndHeightAreTheMeasuredExtentScaledToTheFontHeight) {
  SETFONTSIZE(14, 28);
  for (const char* s : {"Tervalon", "i", "黑体 text", HEITI_GBK}) {
    GETSTRINGSIZE(s);
    const SIZE measured = STRZ;
    EXPECT_EQ(measured.CY, static_cast<std::int32_t>(DEFAULT_FONT_HEIGHT)) << s;
    EXPECT_GT(measured.CX, 0) << s;
    EXPECT_EQ(GETSTRINGWIDTH(s), scale_to_height(measured.CX, 28, measured.CY)) << s;
    EXPECT_EQ(GETSTRINGHEIGHT(s), 28u) << s;
  }
  GETSTRINGSIZE("WWWW");
  const std::int32_t wide = STRZ.CX;
  GETSTRINGSIZE("iiii");
  EXPECT_LT(STRZ.CX, wide) << "measured in a proportional face";
  EXPECT_EQ(GETSTRINGWIDTH(""), 0u);
}

TEST_F(Text, DrawDefaultsWhiteTextTransparentBackgroundAndEndPoint) {
  PBITMAP page = CREATEBMP(200, 40, GRAY);
  SETFONT(page);
  DRAWTEXTXY(page, "Hello", 10, 5, 0);
  EXPECT_GT(count(page->pixels, WHITE), 10) << "colour 0 draws white";
  EXPECT_GT(count(page->pixels, GRAY), 200 * 40 - 5 * 16 * 12) << "the surface shows between glyphs";
  EXPECT_EQ(FX, 10 + GETSTRINGWIDTH("Hello"));
  EXPECT_EQ(FY, 5u);

  // An empty text is one blank: only an opaque background shows it.
  CLEAR(page, GRAY);
  DRAWTEXTXY(page, "", 30, 7, RED);
  EXPECT_EQ(count(page->pixels, GRAY), 200 * 40);
  DRAWTEXTXY(page, "", 30, 7, RED, NAVY);
  EXPECT_EQ(FX, 30 + GETSTRINGWIDTH(" "));
  const int cell = count(page->pixels, NAVY);
  EXPECT_EQ(cell % DEFAULT_FONT_HEIGHT, 0);
  EXPECT_GT(cell, 0);
  EXPECT_EQ(page->at(30, 7), NAVY);
  EXPECT_EQ(page->at(30, 7 + DEFAULT_FONT_HEIGHT), GRAY);
}

TEST_F(Text, WeightsFrom600DrawBold) {
  const auto normal = draw("", "Tervalon");
  FWG = 599;
  EXPECT_EQ(draw("", "Tervalon"), normal);
  FWG = 600;
  const auto bold = draw("", "Tervalon");
  FWG = 0;
  EXPECT_GT(count(bold, NAVY), count(normal, NAVY) + 20) << "heavier strokes";
}

TEST_F(Text, ChineseInHeitiAndAsciiInConsolasPutRealGlyphsOnTheSurface) {
  const auto heiti = draw(HEITI_GBK, "\xCC\xEC\xB5\xD8");  // "天地" in GBK
  EXPECT_GT(count(heiti, NAVY), 40) << "solid glyph strokes";
  EXPECT_EQ(draw("黑体", "天地"), heiti) << "the same text in UTF-8 draws the same";
  // Missing glyphs would all be the same box: other characters must differ.
  EXPECT_NE(draw(HEITI_GBK, "\xC8\xCB\xBF\xDA"), heiti);  // "人口"
  // Two CJK characters are four cells of 14 wide: the ink lies within 56 pixels.
  int right = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 320; ++x)
      if (heiti[y * 320 + x] != WHITE) right = std::max(right, x);
  EXPECT_GT(right, 4 + 40);
  EXPECT_LE(right, 4 + 56 + 6);

  const auto mono = draw("Consolas", "Tervalon");
  EXPECT_GT(count(mono, NAVY), 20);
  EXPECT_NE(mono, draw("", "Tervalon")) << "a monospace face, not the default sans";
  // Monospace at width 14: the same number of cells puts ink as far right.
  auto extent = [](const std::vector<std::uint32_t>& p) {
    int r = 0;
    for (int i = 0; i < static_cast<int>(p.size()); ++i)
      if (p[i] != WHITE) r = std::max(r, i % 320);
    return r;
  };
  EXPECT_NEAR(extent(draw("Consolas", "MMMMMMMM")), extent(draw("Consolas", "HHHHHHHH")), 3);
  EXPECT_NEAR(extent(draw("Consolas", "MMMMMMMM")), 4 + 8 * 14, 4);
}

}  // namespace
