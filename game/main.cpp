// Tervalon: load the levels, open the window, and run the game at 60 frames a
// second until the window is gone.
#include <cmath>
#include <cstdint>

#include "clock.h"
#include "draw.h"
#include "level_file.h"
#include "level_start.h"
#include "options.h"
#include "queue.h"
#include "rules.h"
#include "state.h"
#include "window.h"
#include "window_setup.h"

using namespace tervalon;

namespace {

// Frame FRAME + 1 is due once the clock passes FRAME / 60 seconds.
double due_ms() { return static_cast<double>(FRAME) / 60.0 * 1000.0; }
bool frame_due() { return static_cast<double>(display::GETTIME()) > due_ms(); }
// The moment the whole-millisecond clock first passes due_ms(), in seconds:
// waking then starts the frame the instant it falls due.
double due_at() { return (std::floor(due_ms()) + 1.0) / 1000.0; }

}  // namespace

int main(int argc, char** argv) {
  const ParsedOptions parsed = parse_options(argc, argv);
  if (parsed.stop) return parsed.exit_code;
  OPTIONS = parsed.options;
  display::use_error_box();  // a bad level file is reported before any window
  INITBD();
  INITWIN();
  INITLV();
  for (;;) {
    bool due = frame_due();
    if (due) {
      // Catch up in whole frames after a stall, then draw once.
      while (frame_due())
        if (game_frame()) display::CLOSEWIN();
      if (frame_is_drawn()) DRAWALL();
    }
    if (display::ISNEXTMSG()) {
      if (handle_message(display::MS.MESSAGE, display::MS.WPARAM)) display::CLOSEWIN();
    } else if (!due && display::ISWIN()) {
      // Nothing to do until the next frame is due or a key arrives: sleep
      // until exactly then rather than spin.
      display::wait_message_until(due_at());
    }
    if (!display::ISWIN()) break;
  }
  return 0;
}
