// The encoding of the story lines and the width of a story line in character
// cells, the unit the story layout centres by: a wide (CJK) character is two
// cells, any other one.
#pragma once

#include <cstdint>
#include <string_view>

#include "game/rules/state.h"

namespace tervalon {

// Sets g.story_in_gbk for the loaded level file. A file is read in one
// encoding throughout: UTF-8 when every story line of it is valid UTF-8,
// otherwise GBK (a GBK line may happen to be valid UTF-8 too). The loader's.
void decide_story_encoding(Game& g);

// In a UTF-8 file, characters are counted; in a GBK one (and for bytes that
// are not UTF-8) a double-byte character is two bytes and two cells, so the
// byte count is the cell count.
std::uint32_t text_cells(std::string_view s, bool gbk);

}  // namespace tervalon
