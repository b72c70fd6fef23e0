// Tervalon: load the levels, open the window, and run the game at 60 frames a
// second until the window is gone.
#include <sys/prctl.h>

#include <cstdint>

#include "clock.h"
#include "display/sdl/window.h"
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

// Frame FRAME + 1 is due once the game clock passes FRAME / 60 seconds. The
// clock is read to the nanosecond, so frames start on an even beat of 60 a
// second rather than on the next whole millisecond (16, 17, 17 ms apart).
double due_ms() { return frame_ms(FRAME); }
double game_ms() { return display::GETTIMER() * 1000.0 + game_clock_shift(); }
bool frame_due() { return game_ms() > due_ms(); }
// When the next frame falls due, in the display clock's seconds.
double due_at() { return (due_ms() - game_clock_shift()) / 1000.0; }

}  // namespace

int main(int argc, char** argv) {
  const ParsedOptions parsed = parse_options(argc, argv);
  if (parsed.stop) return parsed.exit_code;
  OPTIONS = parsed.options;
  // Sleeps end within a microsecond of their deadline, not the usual 50.
  prctl(PR_SET_TIMERSLACK, 1000UL);
  display::use_error_box();  // a bad level file is reported before any window
  display::use_sdl_backend();
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
