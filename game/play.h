// The game in its window: the journey, kept as it is played and continued
// where it was left; restart, pause, practice and best runs; the menus and
// the ending; --play and --record. The main loop of the game thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "game/app/options.h"
#include "game/rules/state.h"
#include "game/app/settings.h"

namespace tervalon {

// What the game needs of the platform beyond its window, which game/ does
// not include: applying key bindings, the name of a key pressed to be bound,
// and playing sounds (none when `sound` is empty).
struct Platform {
  std::function<void(const Settings&)> bind;
  std::function<std::string(std::int32_t pressed)> name_of;
  std::function<void(std::uint32_t id)> sound;
  std::function<void(std::uint32_t percent)> volume;
  std::function<void(bool muted)> mute;
};

// Plays a loaded game in its window until the window is gone; the exit code.
// With `settings` (and `platform`), the menus offer a settings screen that
// changes and saves them.
int play(Game& g, const Options& o, SettingsFile* settings = nullptr, const Platform* platform = nullptr);

}  // namespace tervalon
