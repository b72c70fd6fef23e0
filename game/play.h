// The game in its window: the journey, kept as it is played and continued
// where it was left; restart, pause, practice and best runs; the menus and
// the ending; --play and --record. The main loop of the game thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "game/options.h"
#include "game/rules/state.h"
#include "game/settings.h"

namespace tervalon {

// What the settings screen needs of the platform's input, which game/ does
// not include: applying bindings, and the name of a key pressed to be bound.
struct Controls {
  std::function<void(const Settings&)> bind;
  std::function<std::string(std::int32_t pressed)> name_of;
};

// Plays a loaded game in its window until the window is gone; the exit code.
// With `settings` (and `controls`), the menus offer a settings screen that
// changes and saves them.
int play(Game& g, const Options& o, SettingsFile* settings = nullptr, const Controls* controls = nullptr);

}  // namespace tervalon
