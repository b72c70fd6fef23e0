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
#include "session.h"
#include "state.h"
#include "window.h"
#include "window_setup.h"

using namespace tervalon;

namespace {

// Frame FRAME + 1 is due once the clock passes FRAME / 60 seconds.
double due_ms() { return static_cast<double>(FRAME) / 60.0 * 1000.0; }
bool frame_due() { return static_cast<double>(game_clock()) > due_ms(); }
// The moment the whole-millisecond game clock first passes due_ms(), in the
// display clock's seconds: waking then starts the frame the instant it falls due.
double due_at() { return (std::floor(due_ms()) + 1.0 - static_cast<double>(game_clock_shift())) / 1000.0; }

}  // namespace

int main(int argc, char** argv) {
  const ParsedOptions parsed = parse_options(argc, argv);
  if (parsed.stop) return parsed.exit_code;
  OPTIONS = parsed.options;
  display::use_error_box();  // a bad level file is reported before any window
  INITBD();
  if (!start_session(OPTIONS)) return 2;
  INITWIN();
  INITLV();
  for (;;) {
    if (playing()) {  // a --play script feeds the game instead of the keyboard
      play_pass();
      if (!display::ISWIN()) break;
      continue;
    }
    bool due = frame_due();
    if (due) {
      // Catch up in whole frames after a stall, then draw once.
      const std::uint64_t first = FRAME;
      while (frame_due())
        if (game_frame()) display::CLOSEWIN();
      if (frame_is_drawn()) DRAWALL();
      record_pass(FRAME - first);
    }
    if (display::ISNEXTMSG()) {
      record_message(display::MS.MESSAGE, display::MS.WPARAM);
      if (handle_message(display::MS.MESSAGE, display::MS.WPARAM)) display::CLOSEWIN();
    } else if (!due && display::ISWIN()) {
      // Nothing to do until the next frame is due or a key arrives: sleep
      // until exactly then rather than spin.
      display::wait_message_until(due_at());
    }
    if (!display::ISWIN()) break;
  }
  end_session();
  return 0;
}
