// Tervalon: load the levels, open the window, and run the game at 60 frames a
// second until the window is gone.
#include <sys/prctl.h>

#include "base/stop.h"
#include "display/sdl/window.h"
#include "display/window.h"
#include "game/options.h"
#include "game/play.h"
#include "game/rules/level_file.h"

int main(int argc, char** argv) {
  using namespace tervalon;
  const ParsedOptions parsed = parse_options(argc, argv);
  if (parsed.stop) return parsed.exit_code;
  base::catch_stop_signals();
  // Sleeps end within a microsecond of their deadline, not the usual 50.
  prctl(PR_SET_TIMERSLACK, 1000UL);
  display::use_error_box();  // a bad level file is reported before any window
  display::use_sdl_backend();
  return play(*INITBD(), parsed.options);
}
