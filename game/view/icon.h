// The game's icon, drawn by the program at any size: the game in miniature,
// the black player box on a grey floor with two fading ghosts of itself
// behind it, on white.
#pragma once

#include <cstdint>
#include <vector>

namespace tervalon {

// The sizes a desktop asks for.
inline constexpr std::uint32_t ICON_SIZES[] = {16, 24, 32, 48, 64, 72, 80, 96, 128, 256};

// The shades, 0x00BBGGRR: the player black, the ghosts in the forward pass's
// olive, the nearer one darker and the further one faded towards the ground.
inline constexpr std::uint32_t ICON_GROUND = 0xFFFFFF;
inline constexpr std::uint32_t ICON_PLAYER = 0x010101;
inline constexpr std::uint32_t ICON_GHOSTS[] = {0x30A0A0, 0xA8DCDC};

// size x size pixels, row by row, 0x00BBGGRR. Laid out at 64 x 64 and scaled
// with every edge rounded to a whole pixel, so that even 16 x 16 is sharp: a
// grey floor over the bottom 14 rows; standing on it, three boxes of the
// player's size (16 x 36) 4 pixels apart, centred together: the ghosts on the
// left, the player on the right.
std::vector<std::uint32_t> icon_picture(std::uint32_t size);

}  // namespace tervalon
