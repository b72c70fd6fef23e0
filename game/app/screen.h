// A screen over the game: a menu, the settings. It takes the messages while
// it is open and answers with what the player chose, which the app applies
// between frames (a screen never changes the game itself).
#pragma once

#include <cstdint>

#include "display/queue.h"
#include "game/journey/log.h"
#include "game/rules/state.h"
#include "game/view/draw.h"

namespace tervalon {

struct Answer {
  enum Kind : std::uint8_t {
    none,             // nothing yet
    resume,           // back to play
    go_on,            // continue the saved journey
    ask_new_journey,  // asks before a new journey replaces the one played
    new_journey,      // a new journey, the one played kept aside
    restart_level,    // the level again, as it was entered
    pause_menu,       // the pause menu
    practice_menu,    // the levels to practise
    practice,         // practise `entry`
    leave_practice,   // back to the practice menu
    settings,         // the settings screen
    back,             // the screen this one was opened from (from play: Escape)
    mute,             // sound off, or on again
    ended,            // the end cell was reached
    quit,             // the game ends
  };
  Kind kind = none;
  Entry entry{};
};

class Screen {
 public:
  virtual ~Screen() = default;
  // A message while the screen is open; `g` is the game shown under it.
  virtual Answer message(const display::MSG& m, const Game& g) = 0;
  // Draws the screen over `g`'s picture and presents it, when it changed.
  virtual void draw(const Game& g, View& v) = 0;
};

}  // namespace tervalon
