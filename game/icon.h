// The game's icon, drawn by the program at any size: the game in miniature,
// the black player box standing on a grey floor on white.
#pragma once

#include <cstdint>
#include <vector>

namespace tervalon {

// The sizes a desktop asks for.
inline constexpr std::uint32_t ICON_SIZES[] = {16, 24, 32, 48, 64, 72, 80, 96, 128, 256};

// size x size pixels, row by row, 0x00BBGGRR: white ground, a grey floor over
// the bottom 7/32 and a box of the player's proportions (16 x 36 at 64 x 64)
// centred on it.
std::vector<std::uint32_t> icon_picture(std::uint32_t size);

}  // namespace tervalon
