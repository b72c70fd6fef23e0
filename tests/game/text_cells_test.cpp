// Story line widths in character cells.
#include <gtest/gtest.h>

#include "game/rules/text_cells.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

TEST(TextCells, WideCharactersCountTwoAndGbkCountsBytes) {
  EXPECT_EQ(text_cells("", false), 0u);
  EXPECT_EQ(text_cells("Hello, ghost.", false), 13u);
  EXPECT_EQ(text_cells("\xE4\xBD\xA0\xE5\xA5\xBD\xE3\x80\x82", false), 6u);  // 你好。 in UTF-8
  EXPECT_EQ(text_cells("\xC4\xE3\xBA\xC3", false), 4u);                      // 你好 in GBK
  EXPECT_EQ(text_cells("caf\xC3\xA9", false), 4u);                           // é is narrow
  EXPECT_EQ(text_cells("\xE4\xBD", false), 2u);                              // cut short: not UTF-8
  EXPECT_EQ(text_cells("\xC0\xAF", false), 2u);                              // overlong: not UTF-8
  EXPECT_EQ(text_cells("\xEF\xBC\x8C!", false), 3u);                         // fullwidth comma
  EXPECT_EQ(text_cells("\xEF\xBC\x8C!", true), 4u);                          // in a GBK file, bytes
  // The wide ranges to their last character.
  EXPECT_EQ(text_cells("\xE1\x85\x9F\xE1\x85\xA0", false), 3u);  // U+115F wide, U+1160 narrow
  EXPECT_EQ(text_cells("\xEF\xBF\xA6\xEF\xBF\xA7", false), 3u);  // U+FFE6 wide, U+FFE7 narrow
  EXPECT_EQ(text_cells("\xF0\x9F\x98\x80", false), 2u);          // U+1F600, an emoji
}

TEST(TextCells, TheEncodingIsDecidedForTheWholeFile) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  auto first_line_cells = [&](const std::string& second_line) {
    std::string f = level_file({{1, room(4, 3, 1, 1, 2, 1)}, {1, room(4, 3, 1, 1, 2, 1)}});
    f.replace(f.find("T0.1.1"), 6, "\xC5\xA3");  // valid UTF-8, and 牛 in GBK
    f.replace(f.find("T1.2.4"), 6, second_line);
    load(g, f);
    return text_cells(g.STEXT[0][1][1], g.story_in_gbk);
  };
  EXPECT_EQ(first_line_cells("plain"), 1u);             // every line UTF-8: one narrow character
  EXPECT_EQ(first_line_cells("\xBA\xDA\xCC\xE5"), 2u);  // 黑体 in GBK, the last line of all
  EXPECT_TRUE(g.story_in_gbk);
  EXPECT_EQ(first_line_cells("\xE9\xBB\x91"), 1u);  // 黑 in UTF-8
  EXPECT_FALSE(g.story_in_gbk);
}

}  // namespace
}  // namespace tervalon::test
