// Escaping untrusted text for display.
#include "base/printable.h"

#include "base/utf8.h"

namespace base {

namespace {

// Characters that change how a terminal or a title bar shows what follows.
bool invisible(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F || c == 0x2028 || c == 0x2029 ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void escape(std::string_view bytes, std::string& out) {
  static constexpr char HEX[] = "0123456789abcdef";
  for (const char b : bytes) {
    const auto u = static_cast<unsigned char>(b);
    out += "\\x";
    out += HEX[u >> 4];
    out += HEX[u & 0xF];
  }
}

}  // namespace

std::string printable(std::string_view bytes, std::size_t limit) {
  std::string out, piece;
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t start = i;
    char32_t c = 0;
    piece.clear();
    if (!next_utf8(bytes, i, c)) {
      escape(bytes.substr(i, 1), piece);
      ++i;
    } else if (c == '\\') {
      piece = "\\\\";
    } else if (invisible(c)) {
      escape(bytes.substr(start, i - start), piece);
    } else {
      piece = bytes.substr(start, i - start);
    }
    if (out.size() + piece.size() > limit) return out + "...";
    out += piece;
  }
  return out;
}

}  // namespace base
