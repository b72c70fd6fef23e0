// The scan of board row lengths, shared by the loader's error report and the
// level checker so that both name a bad row in the same words.
#include "game/rules/level_rows.h"

#include <cstddef>

#include "game/rules/state.h"

namespace tervalon {

namespace {

constexpr long long SIDE_MAX = 127;  // a board side must fit a signed byte

class RowScan {
 public:
  explicit RowScan(const std::vector<std::string>& lines) : lines_(lines) {}

  std::vector<RowFinding> run() {
    long long n = 0, w = 0, h = 0;
    std::uint64_t at = 0;
    if (!number(n, at)) return found_;
    next_line();
    if (!number(w, at) || !number(h, at)) return found_;
    next_line();
    if (n < 1 || n > BDLMAX || w < 1 || w > SIDE_MAX || h < 1 || h > SIDE_MAX) return found_;
    line_ += static_cast<std::size_t>(8 * n + 4);  // the story texts
    col_ = 0;
    for (long long l = 0; l <= n; ++l) {
      long long least = 0;
      if (!number(least, at)) {
        if (at - 1 < lines_.size() && static_cast<long long>(lines_[at - 1].size()) == w)
          found_.push_back({at,
                            "level " + std::to_string(l) +
                                ": a board row stands where the least trail length belongs: level " +
                                std::to_string(l - 1) + " has more than " + std::to_string(h) + " rows",
                            static_cast<int>(l)});
        return found_;
      }
      next_line();
      for (long long y = 0; y < h && line_ < lines_.size(); ++y, next_line()) {
        const auto cells = static_cast<long long>(lines_[line_].size());
        if (cells != w)
          found_.push_back({line_ + 1,
                            "level " + std::to_string(l) + ", row " + std::to_string(y) + " (line " +
                                std::to_string(line_ + 1) + "): " + std::to_string(cells) + " cells, the board is " +
                                std::to_string(w) + " wide",
                            static_cast<int>(l)});
      }
    }
    return found_;
  }

 private:
  static bool blank(char c) { return static_cast<unsigned char>(c) <= 32; }

  // The next whole number, over blanks and line breaks (0 past the last
  // line); false when the token there is not one. `at` is its line.
  bool number(long long& v, std::uint64_t& at) {
    while (line_ < lines_.size() && (col_ >= lines_[line_].size() || blank(lines_[line_][col_]))) {
      if (col_ < lines_[line_].size())
        ++col_;
      else
        next_line();
    }
    at = line_ + 1;
    if (line_ >= lines_.size()) {
      v = 0;
      return true;
    }
    const std::string& line = lines_[line_];
    std::size_t end = col_;
    while (end < line.size() && !blank(line[end])) ++end;
    const std::string_view token = std::string_view(line).substr(col_, end - col_);
    col_ = end;
    const bool sign = token[0] == '+' || token[0] == '-';
    // Eleven bytes at most: a sign and ten digits always fit.
    if (token.size() == std::size_t{sign} || token.size() > 11) return false;
    long long value = 0;
    for (char c : token.substr(sign ? 1 : 0)) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    v = token[0] == '-' ? -value : value;
    return true;
  }

  void next_line() {
    ++line_;
    col_ = 0;
  }

  const std::vector<std::string>& lines_;
  std::size_t line_ = 0, col_ = 0;
  std::vector<RowFinding> found_;
};

}  // namespace

std::vector<std::string> split_lines(std::string_view bytes) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  return lines;
}

std::vector<RowFinding> scan_rows(const std::vector<std::string>& lines) { return RowScan(lines).run(); }

}  // namespace tervalon
