// What the app says, in both languages: levels, play times.
#pragma once

#include <cstdint>
#include <string>

#include "game/journey/log.h"

namespace tervalon {

// A level and pass: "第3关（去程）", "level 3 forward"; the hub.
std::string level_zh(const Entry& e);
std::string level_en(const Entry& e);

// Frames as play time, "H:MM:SS".
std::string play_time(std::uint64_t frames);

// The time now as it goes into the names of files kept aside.
std::string stamp();

}  // namespace tervalon
