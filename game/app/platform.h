// What the app needs of the platform beyond its window, which game/ does not
// include: applying key bindings, the name of a key pressed to be bound, and
// sound (none when `sound` is empty).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "game/app/settings.h"

namespace tervalon {

struct Platform {
  std::function<void(const Settings&)> bind;
  std::function<std::string(std::int32_t pressed)> name_of;
  std::function<void(std::uint32_t id)> sound;
  std::function<void(std::uint32_t percent)> volume;
  std::function<void(bool muted)> mute;
};

}  // namespace tervalon
