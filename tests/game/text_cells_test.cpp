// Story line widths in character cells.
#include <gtest/gtest.h>

#include "text_cells.h"

namespace tervalon::test {
namespace {

TEST(TextCells, WideCharactersCountTwoAndGbkCountsBytes) {
  EXPECT_EQ(text_cells(""), 0u);
  EXPECT_EQ(text_cells("Hello, ghost."), 13u);
  EXPECT_EQ(text_cells("\xE4\xBD\xA0\xE5\xA5\xBD\xE3\x80\x82"), 6u);  // 你好。 in UTF-8
  EXPECT_EQ(text_cells("\xC4\xE3\xBA\xC3"), 4u);                      // 你好 in GBK
  EXPECT_EQ(text_cells("caf\xC3\xA9"), 4u);                           // é is narrow
  EXPECT_EQ(text_cells("\xE4\xBD"), 2u);                              // cut short: not UTF-8
  EXPECT_EQ(text_cells("\xC0\xAF"), 2u);                              // overlong: not UTF-8
  EXPECT_EQ(text_cells("\xEF\xBC\x8C!"), 3u);                         // fullwidth comma
}

}  // namespace
}  // namespace tervalon::test
