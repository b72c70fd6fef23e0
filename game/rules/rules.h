// The rules between the player step and the drawing: one game frame, one pass
// of the main loop's frames, the move to the next level or pass, the key
// handling of the main loop, and the fade bookkeeping of the story-text
// interlude. No window needed.
#pragma once

#include <cstdint>

#include "base/keys.h"
#include "game/rules/state.h"

namespace tervalon {

using namespace base::keys;

// One game frame: the step, the trail limit, the ghost rules and the goal
// tests while playing. True when the head touched the end cell (the caller
// closes the window).
bool game_frame(Game& g);

// What one pass did.
struct Pass {
  std::uint64_t frames = 0;  // game frames run
  bool end = false;          // the last of them reached the end cell: the game is over
  bool drawn = false;        // the main loop draws the picture after it
};

// One pass of the main loop's game work, the one way every caller runs frames:
// `frames` game frames back to back (fewer when one reaches the end cell),
// then, when the frame is drawn, the fade moves on, as it does only on drawn
// frames. A caller that must stay responsive in a long burst runs it in
// slices, each but the last with `last` false: those are never drawn.
Pass frame_pass(Game& g, std::uint64_t frames, bool last = true);

// Moves the game on to the next level or pass; run on a key-down while the
// story text is fully shown.
void progress(Game& g);

// The main loop's handling of one message. True when it asks the window to
// close (Escape).
bool handle_message(Game& g, std::uint32_t message, std::int32_t wparam);

// The interlude's state machine, once per drawn frame: picks the story text
// when a fade-in starts, moves CTEMP by 4 and PAUSE from 1 to 2 and 3 to 0.
void fade_step(Game& g);

}  // namespace tervalon
