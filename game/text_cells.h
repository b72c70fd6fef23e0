// The width of a story line in character cells, the unit the story layout
// centres by: a wide (CJK) character is two cells, any other one.
#pragma once

#include <cstdint>
#include <string_view>

namespace tervalon {

// Valid UTF-8 is counted by characters; anything else is taken as GBK, where
// a double-byte character is two bytes and two cells, so the byte count is
// the cell count.
std::uint32_t text_cells(std::string_view s);

}  // namespace tervalon
