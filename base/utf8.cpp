// UTF-8 decoding.
#include "base/utf8.h"

namespace base {

bool next_utf8(std::string_view s, std::size_t& i, char32_t& c) {
  const auto b = static_cast<unsigned char>(s[i]);
  const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || s.size() - i <= static_cast<std::size_t>(extra)) return false;
  char32_t v = extra == 0 ? b : b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) return false;
    v = (v << 6) | (t & 0x3F);
  }
  static constexpr char32_t least[] = {0, 0x80, 0x800, 0x10000};
  if (v < least[extra] || (v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF) return false;
  c = v;
  i += static_cast<std::size_t>(extra) + 1;
  return true;
}

bool valid_utf8(std::string_view s) {
  char32_t c;
  for (std::size_t i = 0; i < s.size();)
    if (!next_utf8(s, i, c)) return false;
  return true;
}

}  // namespace base
