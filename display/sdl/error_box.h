// How the process ends on a fault the player must learn of: the run-time
// error's box, drawn by the library itself, and the end of a lost X server
// connection.
#pragma once

#include <string>

namespace display {

// Shows `text` in a window captioned "Error", centred on the screen, with an
// OK button, and returns once the player dismissed it (Enter, Escape, Space,
// OK or the close button); at once when there is no display. Runs on the
// window thread while one runs (it owns the platform's video), else on the
// calling thread. Any thread.
void show_error_box(const std::string& text);

// From now on a lost X server connection ends the process at once: one line
// on standard error and exit code LOST_DISPLAY (or the run-time error's
// number while its box is up); no destructor runs. Whoever starts the
// platform's video, once it is up.
void end_on_lost_display();

// From now on a run-time error also shows its reason and report in a box
// captioned "Error" when a display is available (the SDL back end does this
// itself when it starts). Game thread, at start.
void use_error_box();

}  // namespace display
