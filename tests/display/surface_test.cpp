// Pixel tests of surfaces on an off-screen window: the defaults of BAR, CLEAR
// and CREATEBMP, colour keys, the translucent blend, stretching, every DRAWBMP form.
#include <gtest/gtest.h>

#include <cmath>

#include "display/blit.h"
#include "display/display.h"

using namespace display;

namespace {

class Surfaces : public ::testing::Test {
 protected:
  void SetUp() override {
    use_headless_backend();
    CREATEWIN(64, 48, BLACK, WHITE);
  }
};

// Deterministic noise in 0x00BBGGRR; `key` never occurs in it.
void noise(PBITMAP b, std::uint32_t seed, std::uint32_t key = TRANSPARENT) {
  for (auto& p : b->pixels) {
    seed = seed * 1664525u + 1013904223u;
    p = (seed >> 8) & 0xFFFFFFu;
    if (p == key) p ^= 0x10;
  }
}

int count(const BITMAP& b, std::uint32_t colour) {
  return static_cast<int>(std::count(b.pixels.begin(), b.pixels.end(), colour));
}

// The blend rule, worked out channel by channel in floating point.
std::uint32_t expected_blend(std::uint32_t s, std::uint32_t d, int a) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    double v = (((s >> shift) & 255) * (255.0 - a) + ((d >> shift) & 255) * double(a)) / 255.0;
    out |= static_cast<std::uint32_t>(std::lround(v)) << shift;
  }
  return out;
}

TEST_F(Surfaces, CreateTakesSizeAndColourFromTheMainSurfaceOrTheGivenOne) {
  PBITMAP work = CREATEBMP();
  EXPECT_EQ(work->WIDTH, 64u);
  EXPECT_EQ(work->HEIGHT, 48u);
  EXPECT_EQ(work->COLOR, TRANSPARENT);
  EXPECT_EQ(count(*work, 0), 64 * 48) << "colour 1 paints nothing: the surface stays black";

  PBITMAP tile = CREATEBMP(20, 20, WHITE);
  EXPECT_EQ(tile->COLOR, WHITE);
  EXPECT_EQ(count(*tile, WHITE), 400);

  PBITMAP copy = CREATEBMP(tile);
  EXPECT_EQ(copy->WIDTH, 20u);
  EXPECT_EQ(copy->COLOR, WHITE);
  EXPECT_EQ(count(*copy, WHITE), 400);

  PBITMAP wide = CREATEBMP(nullptr, 0, 5, GRAY);
  EXPECT_EQ(wide->WIDTH, 64u);
  EXPECT_EQ(wide->HEIGHT, 5u);
  RELEASEBMP(work);
  RELEASEBMP(nullptr);
  RELEASEBMP(PMAIN);  // belongs to the library: left alone
  CLEAR(GRAY);
  EXPECT_EQ(count(*PMAIN, GRAY), 64 * 48);
}

TEST_F(Surfaces, BarFillsWithTheForegroundOutlinesAndIgnoresEmptyRectangles) {
  BAR(10, 5, 16, 36, 0);
  EXPECT_EQ(count(*PMAIN, BLACK), 16 * 36) << "fill 0 is the window's foreground colour";
  EXPECT_EQ(PMAIN->at(10, 5), BLACK);
  EXPECT_EQ(PMAIN->at(25, 40), BLACK);
  EXPECT_EQ(PMAIN->at(26, 40), WHITE);

  CLEAR();
  BAR(2, 3, 5, 4, RED, TRANSPARENT);  // outline only
  EXPECT_EQ(count(*PMAIN, RED), 5 * 4 - 3 * 2);
  EXPECT_EQ(PMAIN->at(2, 3), RED);
  EXPECT_EQ(PMAIN->at(6, 6), RED);
  EXPECT_EQ(PMAIN->at(3, 4), WHITE) << "the inside is not filled";

  BAR(2, 3, 5, 4, RED, NAVY);  // the fill covers the outline
  EXPECT_EQ(count(*PMAIN, RED), 0);
  EXPECT_EQ(count(*PMAIN, NAVY), 20);

  auto before = PMAIN->pixels;
  BAR(1, 1, 0, 10, RED, RED);
  BAR(1, 1, 10, 0, RED, RED);
  BAR(1, 1, -3, 10, RED, RED);
  BAR(1, 1, 5, 5, TRANSPARENT, TRANSPARENT);
  EXPECT_EQ(PMAIN->pixels, before);

  BAR(-5, 40, 100, 100, OLIVE);  // clipped to the surface
  EXPECT_EQ(count(*PMAIN, OLIVE), 64 * 8);
}

TEST_F(Surfaces, BarLeavesItsPenAndBrushChosenAndTheTopByteIsTheAlpha) {
  PBITMAP b = CREATEBMP(8, 8, WHITE);
  SETPENCOLOR(b, RED);
  SETBRUSHCOLOR(b, GRAY);
  EXPECT_EQ(b->pen, RED);
  EXPECT_EQ(b->brush, GRAY);
  BAR(b, 1, 1, 4, 4, BLUE, TRANSPARENT);
  EXPECT_EQ(b->pen, BLUE);
  EXPECT_EQ(b->brush, TRANSPARENT);
  EXPECT_EQ(count(*b, BLUE), 12) << "an outline only";
  EXPECT_EQ(GETALPHA(0x80FFFFFFu), 0x80);
  EXPECT_EQ(GETALPHA(WHITE), 0);
  RELEASEBMP(b);
}

TEST_F(Surfaces, ClearUsesTheBackgroundAndOneLeavesTheSurface) {
  BAR(0, 0, 10, 10, RED);
  CLEAR();
  EXPECT_EQ(count(*PMAIN, WHITE), 64 * 48);
  BAR(0, 0, 10, 10, RED);
  CLEAR(TRANSPARENT);
  EXPECT_EQ(count(*PMAIN, RED), 100);
  PBITMAP tile = CREATEBMP(8, 8, GRAY);
  CLEAR(tile);
  EXPECT_EQ(count(*tile, WHITE), 64);
}

TEST(SurfaceDefaults, ClearWithBackgroundZeroFillsWithTheForeground) {
  use_headless_backend();
  CREATEWIN(30, 20, GRAY, 0);
  EXPECT_EQ(count(*PMAIN, GRAY), 600);
  PBITMAP b = CREATEBMP(4, 4, NAVY);
  CLEAR(b);
  EXPECT_EQ(count(*b, GRAY), 16);
}

TEST_F(Surfaces, KeyedCopiesLeaveOutTheKeyColour) {
  PBITMAP tile = CREATEBMP(20, 20, WHITE);
  CLEAR(RED);
  auto before = PMAIN->pixels;
  DRAWBMP(tile, 3, 4);
  EXPECT_EQ(PMAIN->pixels, before) << "a tile of its own colour draws nothing";

  BAR(tile, 5, 5, 4, 4, GRAY);
  DRAWBMP(tile, 3, 4);
  EXPECT_EQ(count(*PMAIN, GRAY), 16);
  EXPECT_EQ(PMAIN->at(8, 9), GRAY);

  // A key given in the colour, with no transparency: an opaque keyed copy.
  CLEAR(RED);
  DRAWBMP(tile, 0, 0, GRAY);
  EXPECT_EQ(count(*PMAIN, WHITE), 400 - 16);
  EXPECT_EQ(count(*PMAIN, GRAY), 0);

  // The main surface's own key is 0x000001.
  PBITMAP work = CREATEBMP();
  noise(PMAIN, 7);
  PMAIN->at(1, 1) = TRANSPARENT;
  DRAWBMP(PMAIN, work);
  EXPECT_EQ(work->at(1, 1), 0u);
  EXPECT_EQ(work->at(2, 1), PMAIN->at(2, 1));
}

TEST_F(Surfaces, TranslucentCopyBlendsEveryChannelAndSkipsTheKey) {
  PBITMAP src = CREATEBMP(64, 48, TRANSPARENT);
  noise(src, 11, 0);
  src->at(0, 0) = 0;
  src->at(63, 47) = 0;
  noise(PMAIN, 23);
  auto before = PMAIN->pixels;
  DRAWBMP(src, 0x80000000u);  // key 0x000000, transparency 128
  for (std::uint32_t y = 0; y < 48; ++y)
    for (std::uint32_t x = 0; x < 64; ++x) {
      std::uint32_t d = before[y * 64 + x];
      std::uint32_t want = src->at(x, y) == 0 ? d : expected_blend(src->at(x, y), d, 128);
      ASSERT_EQ(PMAIN->at(x, y), want) << x << "," << y;
    }

  before = PMAIN->pixels;
  DRAWBMP(src, 0xFF000000u);
  EXPECT_EQ(PMAIN->pixels, before) << "transparency 255 is invisible";

  CLOSEWIN();
  DRAWBMP(src, 0x40000000u);  // works like any other after the window closed
  EXPECT_NE(PMAIN->pixels, before);
}

TEST(BlendKernel, EveryChannelValueAndAmountRoundsToNearest) {
  for (int a = 0; a < 256; ++a)
    for (std::uint32_t s = 0; s < 256; ++s)
      for (std::uint32_t d = 0; d < 256; ++d) {
        std::uint32_t got = blit::blend_pixel(s, d, static_cast<std::uint8_t>(a));
        std::uint32_t x = s * (255 - a) + d * a;
        std::uint32_t want = x / 255 + (x % 255 > 127 ? 1 : 0);
        ASSERT_EQ(got, want) << s << " " << d << " " << a;
      }
}

TEST(BlendKernel, WideAndNarrowPathsAgreeOnEveryLength) {
  std::vector<std::uint32_t> src(37), dst(37), want(37);
  std::uint32_t seed = 5;
  for (std::size_t n = 0; n <= src.size(); ++n)
    for (std::uint8_t a : std::initializer_list<std::uint8_t>{1, 77, 128, 254}) {
      for (std::size_t i = 0; i < src.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        src[i] = (seed >> 8) & 0xFFFFFF;
        dst[i] = seed & 0xFFFFFF;
        if (i % 5 == 2) src[i] = 0x123456;  // keyed out
        want[i] = i < n && src[i] != 0x123456 ? blit::blend_pixel(src[i], dst[i], a) : dst[i];
      }
      blit::blend_keyed(dst.data(), src.data(), n, 0x123456, a);
      ASSERT_EQ(dst, want) << n << " " << int(a);
    }
}

TEST_F(Surfaces, ClearAndLayIsClearThenBothCopiesInOnePass) {
  // 37 x 5: a length the eight-pixel steps do not divide. Runs of one colour
  // with changes inside them, keyed pixels, and every kind of weight.
  PBITMAP frame = CREATEBMP(37, 5, WHITE), page = CREATEBMP(37, 5, WHITE);
  noise(frame, 3);
  noise(page, 4);
  for (std::size_t i = 0; i < frame->pixels.size(); ++i) {
    if (i % 23 < 17) frame->pixels[i] = i < 90 ? WHITE : GRAY;
    if (i % 19 < 15) page->pixels[i] = WHITE;
    if (i % 11 == 3) frame->pixels[i] = 0;
    if (i % 13 == 5) page->pixels[i] = 0;
  }
  for (std::uint32_t c1 : {0x80000000u, 0x04000000u, 0xFC000000u, 0u, 0xFF000000u})
    for (std::uint32_t c2 : {0x7F000000u, 0xFB000000u, 0x03000000u, 0x0u})
      for (bool with_page : {true, false}) {
        PBITMAP want = CREATEBMP(37, 5, GREEN), got = CREATEBMP(37, 5, GREEN);
        CLEAR(want);
        DRAWBMP(frame, want, c1);
        if (with_page) DRAWBMP(page, want, c2);
        ASSERT_TRUE(clear_and_lay(got, frame, c1, with_page ? page : nullptr, c2));
        ASSERT_EQ(got->pixels, want->pixels) << std::hex << c1 << " " << c2 << " " << with_page;
        EXPECT_EQ(got->brush, want->brush);
        RELEASEBMP(want);
        RELEASEBMP(got);
      }
  PBITMAP want = CREATEBMP(37, 5, WHITE);
  DRAWBMP(frame, want, 0u);
  DRAWBMP(page, want, 0x40000000u);
  PBITMAP snapshot = CREATEBMP(37, 5, WHITE);
  DRAWBMP(want, snapshot, 0u);
  CLEAR(want);
  DRAWBMP(snapshot, want, 0x80000000u);
  DRAWBMP(page, want, 0x30000000u);
  PBITMAP got = CREATEBMP(37, 5, WHITE);
  DRAWBMP(frame, got, 0u);
  DRAWBMP(page, got, 0x40000000u);
  ASSERT_TRUE(clear_and_lay(got, got, 0x80000000u, page, 0x30000000u)) << "the surface's own pixels, faded";
  EXPECT_EQ(got->pixels, want->pixels);
  EXPECT_FALSE(clear_and_lay(frame, page, 0x80000000u, frame, 0)) << "a page laid onto itself";
  EXPECT_FALSE(clear_and_lay(nullptr, frame, 0x80000000u, nullptr, 0)) << "sizes differ";
}

TEST(PresentKernel, KeyedCopyHandOverCopyAndComparisonAgreeOnEveryLength) {
  std::vector<std::uint32_t> src(37), shown(37), before(37);
  std::uint32_t seed = 9;
  for (std::size_t n = 0; n <= src.size(); ++n)
    for (int change : {-1, 0, 1}) {  // no earlier picture, the same one, one differing pixel
      for (std::size_t i = 0; i < src.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        src[i] = i % 4 == 1 ? TRANSPARENT : (seed >> 8) & 0xFFFFFF;
        shown[i] = seed & 0xFFFFFF;
      }
      std::vector<std::uint32_t> want = shown, out(37, 7);
      blit::copy_keyed(want.data(), src.data(), n, TRANSPARENT);
      before = want;
      if (change == 1 && n > 0) before[n - 1] ^= 1;
      const bool differs = blit::present_keyed(shown.data(), out.data(), src.data(),
                                               change < 0 ? nullptr : before.data(), n, TRANSPARENT);
      ASSERT_EQ(shown, want) << n;
      ASSERT_TRUE(std::equal(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n), want.begin())) << n;
      ASSERT_EQ(differs, change < 0 || (change == 1 && n > 0)) << n << " " << change;
    }
}

TEST_F(Surfaces, ZeroDestinationSizeStretchesTheSourceRectangleToTheSurfaceSize) {
  PBITMAP src = CREATEBMP(4, 4, TRANSPARENT);
  noise(src, 3);
  PBITMAP dst = CREATEBMP(8, 8, WHITE);
  DRAWBMP(src, dst, 1, 1, 2, 2, 2, 2, 0, 0, 0);  // 2x2 from (1,1) onto 4x4 at (2,2)
  for (std::uint32_t y = 0; y < 8; ++y)
    for (std::uint32_t x = 0; x < 8; ++x) {
      bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
      std::uint32_t want = inside ? src->at(1 + (x - 2) / 2, 1 + (y - 2) / 2) : WHITE;
      ASSERT_EQ(dst->at(x, y), want) << x << "," << y;
    }

  // Shrinking takes the source pixel under each destination pixel's centre.
  PBITMAP small = CREATEBMP(2, 2, WHITE);
  DRAWBMP(src, small, 0, 0, 4, 4, 0, 0, 2, 2, 0);
  EXPECT_EQ(small->at(0, 0), src->at(1, 1));
  EXPECT_EQ(small->at(1, 1), src->at(3, 3));
}

TEST_F(Surfaces, StretchingInOneDirectionLeavesTheOtherAsItIs) {
  PBITMAP src = CREATEBMP(4, 4, TRANSPARENT);
  noise(src, 5);
  for (auto [w, h] : {std::pair{8u, 4u}, std::pair{4u, 8u}, std::pair{2u, 4u}}) {
    PBITMAP dst = CREATEBMP(8, 8, WHITE);
    DRAWBMP(src, dst, 0, 0, 4, 4, 0, 0, w, h, 0);
    for (std::uint32_t y = 0; y < 8; ++y)
      for (std::uint32_t x = 0; x < 8; ++x) {
        // The source pixel under the destination pixel's centre.
        auto under = [](std::uint32_t d, std::uint32_t size) {
          return static_cast<std::uint32_t>((d + 0.5) * 4 / size);
        };
        std::uint32_t want = x < w && y < h ? src->at(under(x, w), under(y, h)) : WHITE;
        ASSERT_EQ(dst->at(x, y), want) << w << "x" << h << " at " << x << "," << y;
      }
  }
}

TEST_F(Surfaces, SourceRectangleOutsideTheSourceCopiesNothing) {
  PBITMAP src = CREATEBMP(4, 4, TRANSPARENT);
  CLEAR(src, GRAY);
  auto before = PMAIN->pixels;
  DRAWBMP(src, nullptr, 2, 2, 3, 3, 0, 0, 3, 3, 0);
  EXPECT_EQ(PMAIN->pixels, before);
  DRAWBMP(src, 62, 46);  // partly off the destination: clipped
  EXPECT_EQ(count(*PMAIN, GRAY), 4);
  DRAWBMP(src, 0xFFFFFFFEu, 0);  // x = -2 on the signed destination
  EXPECT_EQ(count(*PMAIN, GRAY), 4 + 2 * 4);
}

TEST_F(Surfaces, CopyOntoItselfReadsTheSourceBeforeWriting) {
  noise(PMAIN, 9);
  PBITMAP copy = CREATEBMP();
  DRAWBMP(PMAIN, copy);
  DRAWBMP(PMAIN, PMAIN, 0, 0, 60, 48, 4, 0, 60, 48, 0);
  for (std::uint32_t y = 0; y < 48; ++y)
    for (std::uint32_t x = 4; x < 64; ++x) ASSERT_EQ(PMAIN->at(x, y), copy->at(x - 4, y));
}

// Each short form of DRAWBMP does what the full form does with its blanks filled in.
TEST_F(Surfaces, EveryShortDrawFormReachesTheFullForm) {
  PBITMAP src = CREATEBMP(16, 12, 0x00345678);
  noise(src, 17);
  src->at(2, 2) = 0x345678;  // its own key
  src->at(3, 3) = RED;       // the key given to the coloured forms
  PBITMAP a = CREATEBMP(40, 30, WHITE), b = CREATEBMP(40, 30, WHITE);
  const std::uint32_t C = 0x300000FFu;  // key RED, transparency 0x30

  auto same = [&](const char* form, auto short_form, auto full_form, PBITMAP short_dst, PBITMAP full_dst) {
    noise(short_dst, 41);
    noise(full_dst, 41);
    short_form();
    full_form();
    EXPECT_EQ(short_dst->pixels, full_dst->pixels) << form;
    EXPECT_NE(full_dst->pixels, [&] {
      auto p = *full_dst;
      noise(&p, 41);
      return p.pixels;
    }()) << form;
  };
  same(
      "2", [&] { DRAWBMP(src, a, 3, 4, 8, 6, C); }, [&] { DRAWBMP(src, b, 0, 0, 0, 0, 3, 4, 8, 6, C); }, a, b);
  same(
      "3", [&] { DRAWBMP(src, a, 3, 4, C); }, [&] { DRAWBMP(src, b, 0, 0, 16, 12, 3, 4, 16, 12, C); }, a, b);
  same(
      "4", [&] { DRAWBMP(src, a, C); }, [&] { DRAWBMP(src, b, 0, 0, 16, 12, 0, 0, 16, 12, C); }, a, b);
  same(
      "5", [&] { DRAWBMP(src, a); }, [&] { DRAWBMP(src, b, 0, 0, 0, 0, 0, 0, 0, 0, 0x00345678); }, a, b);

  // Forms 6 to 10 draw on the main surface; compare against the full form on a.
  PBITMAP main_sized = CREATEBMP();
  same(
      "6", [&] { DRAWBMP(src, 1, 2, 5, 5, 3, 4, 10, 10, C); },
      [&] { DRAWBMP(src, main_sized, 1, 2, 5, 5, 3, 4, 10, 10, C); }, PMAIN, main_sized);
  same(
      "7", [&] { DRAWBMP(src, 3, 4, 8, 6, C); }, [&] { DRAWBMP(src, main_sized, 0, 0, 0, 0, 3, 4, 8, 6, C); }, PMAIN,
      main_sized);
  same(
      "8", [&] { DRAWBMP(src, 3, 4, C); }, [&] { DRAWBMP(src, main_sized, 0, 0, 0, 0, 3, 4, 0, 0, C); }, PMAIN,
      main_sized);
  same(
      "9", [&] { DRAWBMP(src, 3u, 4u); }, [&] { DRAWBMP(src, main_sized, 0, 0, 0, 0, 3, 4, 0, 0, 0); }, PMAIN,
      main_sized);
  same(
      "10", [&] { DRAWBMP(src, C); }, [&] { DRAWBMP(src, main_sized, 0, 0, 0, 0, 0, 0, 0, 0, C); }, PMAIN, main_sized);
}

TEST_F(Surfaces, PresentingKeepsTheWindowPixelWhereTheMainSurfaceHasTheKey) {
  CLEAR(GRAY);
  FRESHWIN();
  EXPECT_EQ(count(*PMSCR, GRAY), 64 * 48);
  CLEAR(RED);
  PMAIN->at(5, 6) = TRANSPARENT;
  FRESHWIN();
  EXPECT_EQ(PMSCR->at(5, 6), GRAY);
  EXPECT_EQ(count(*PMSCR, RED), 64 * 48 - 1);
  EXPECT_EQ(frame_rate(), 2u + 1u) << "the never-written entry 0 lies within the first second";
}

TEST_F(Surfaces, SizeReportRebuildsTheMainSurfaceBeforeTheNextDrawing) {
  PBITMAP tile = CREATEBMP(20, 20, GRAY);
  BAR(0, 0, 10, 10, RED);
  ASSERT_TRUE(inject_resize(100, 30));
  CLEAR(TRANSPARENT);  // any drawing call brings the new size in
  EXPECT_EQ(PMAIN->WIDTH, 100u);
  EXPECT_EQ(PMAIN->HEIGHT, 30u);
  EXPECT_EQ(PMAIN->COLOR, TRANSPARENT);
  EXPECT_EQ(count(*PMAIN, WHITE), 3000) << "what was drawn before is gone";
  EXPECT_EQ(PMSCR->WIDTH, 100u);
  EXPECT_EQ(tile->WIDTH, 20u);
  ASSERT_TRUE(inject_resize(0, 0));  // minimised
  BAR(0, 0, 5, 5, RED);
  EXPECT_EQ(PMAIN->pixels.size(), 0u);
}

TEST_F(Surfaces, SurfaceTooLargeForMemoryStopsWithAClearMessage) {
  EXPECT_EXIT(CREATEBMP(0xFFFFFFFFu, 0xFFFFFFFFu, 0), ::testing::ExitedWithCode(203), "out of memory");
}

}  // namespace
