// The run-time error's box, drawn by the library itself: how the player
// learns of a fault that ends the process.
#pragma once

#include <string>

namespace display {

// Shows `text` in a window captioned "Error", centred on the screen, with an
// OK button, and returns once the player dismissed it (Enter, Escape, Space,
// OK or the close button); at once when there is no display. Runs on the
// window thread while one runs (it owns the platform's video), else on the
// calling thread. Any thread.
void show_error_box(const std::string& text);

// From now on a run-time error also shows its reason and report in a box
// captioned "Error" when a display is available. Game thread, at start.
void use_error_box();

}  // namespace display
