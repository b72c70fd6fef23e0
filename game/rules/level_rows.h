// The board rows of a level file whose length is not the board's width, found
// line by line before the loader reads them: a short row makes the loader read
// on across its line break and stop far below, at a line that is not at fault.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tervalon {

// One row of the wrong length (or a row standing where a number belongs).
struct RowFinding {
  std::uint64_t line;  // 1-based file line
  std::string what;    // the words after "FILE:LINE: ", with the level in them
  int level;           // the level named
};

// The file's lines as the loader counts them: LF, CR LF or a lone CR ends a
// line; the bytes after the last break are one more line (empty when none).
std::vector<std::string> split_lines(std::string_view bytes);

// The rows of the wrong length, in file order. It reads the numbers the way
// the loader does and gives up quietly where the file is not as expected (an
// invalid number, sizes or a level count out of range): the loader then says
// what is wrong.
std::vector<RowFinding> scan_rows(const std::vector<std::string>& lines);

}  // namespace tervalon
