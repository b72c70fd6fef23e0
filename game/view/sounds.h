// The sounds of play, one per event (game/replay/events.h), made by the
// program: no sample files.
#pragma once

#include <cstdint>
#include <vector>

#include "game/replay/events.h"

namespace tervalon {

inline constexpr int SOUND_RATE = 48000;  // samples per second

// The sound of `s`: mono signed 16-bit samples at SOUND_RATE, under 0.3 s
// (the journey's end, a closing phrase and chord, under 2 s), peaking near a
// third of full scale, starting and ending at silence. The same every time.
std::vector<std::int16_t> make_sound(Sound s);

}  // namespace tervalon
