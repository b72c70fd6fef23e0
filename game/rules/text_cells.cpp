// The story's encoding and the character cells of a story line.
#include "game/rules/text_cells.h"

#include <algorithm>
#include <optional>

#include "base/utf8.h"

namespace tervalon {

namespace {

bool is_wide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
         (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

// The cells of `s` read as UTF-8, or nothing when it is not valid UTF-8.
std::optional<std::uint32_t> utf8_cells(std::string_view s) {
  std::uint32_t cells = 0;
  char32_t c;
  for (std::size_t i = 0; i < s.size();) {
    if (!base::next_utf8(s, i, c)) return std::nullopt;
    cells += is_wide(c) ? 2 : 1;
  }
  return cells;
}

}  // namespace

void decide_story_encoding(Game& g) {
  g.story_in_gbk = false;
  for (int l = 0; l <= std::min<int>(g.BDLN, BDLMAX); ++l)
    for (int half = 1; half <= 2; ++half)
      for (const std::string& line : g.STEXT[l][half]) g.story_in_gbk |= !utf8_cells(line);
}

std::uint32_t text_cells(std::string_view s, bool gbk) {
  const auto utf8 = gbk ? std::nullopt : utf8_cells(s);
  return utf8.value_or(static_cast<std::uint32_t>(s.size()));
}

}  // namespace tervalon
