// The game in its window: the journey, kept as it is played and continued
// where it was left; restart, pause, practice and best runs; the menus and
// the ending; --play and --record. The main loop of the game thread.
#pragma once

#include "game/options.h"
#include "game/rules/state.h"

namespace tervalon {

// Plays a loaded game in its window until the window is gone; the exit code.
int play(Game& g, const Options& o);

}  // namespace tervalon
