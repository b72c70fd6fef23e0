// Tervalon: load the levels, open the window, and run the game at 60 frames a
// second until the window is gone.
#include <sys/prctl.h>

#include <cstdint>

#include "base/stop.h"
#include "display/clock.h"
#include "display/queue.h"
#include "display/sdl/window.h"
#include "display/window.h"
#include "game/options.h"
#include "game/replay/session.h"
#include "game/rules/level_file.h"
#include "game/rules/level_start.h"
#include "game/rules/rules.h"
#include "game/view/window_setup.h"

namespace tervalon {

namespace {

// The game ended as it should but its recording could not be written whole.
constexpr int RECORDING_INCOMPLETE = 3;

// The most frames run at once to catch up after a stall: a quarter of a
// second. A longer stall (the process stopped, a machine swapping) is passed
// over as a pause is, not sprinted through blind.
constexpr std::uint64_t MOST_CAUGHT_UP = 15;

// The frames due on the game clock: frame FRAME + 1 is due once the clock
// passes FRAME / 60 seconds. The clock is read to the nanosecond, so frames
// start on an even beat of 60 a second rather than on the next whole
// millisecond (16, 17, 17 ms apart).
std::uint64_t frames_due(const Game& g, double game_ms) {
  std::uint64_t n = 0;
  while (game_ms > frame_ms(g.FRAME + n)) ++n;
  return n;
}

}  // namespace

// Plays a loaded game in its window until the window is gone; the exit code.
// (The long-clock test runs it on a game with a long run behind it.)
int play(Game& g, const Options& o) {
  View v;
  Recorder recorder(g);
  Player player(g, v, recorder);
  if (!player.read(o.play, o.speed) || !recorder.open(o.record)) return 2;
  INITWIN(g, v, o.scale, o.fullscreen);
  INITLV(g);
  double stalled_ms = 0;  // game clock time passed over after long stalls
  for (;;) {
    // A signal or a lost display: end as Escape does, recording included.
    if (base::stop_requested()) break;
    if (player.playing()) {  // a --play script feeds the game instead of the keyboard
      player.pass();
      if (!display::ISWIN()) break;
      continue;
    }
    double shift = player.clock_shift() - stalled_ms;
    const double game_ms = display::GETTIMER() * 1000.0 + shift;
    std::uint64_t due = frames_due(g, game_ms);
    if (due > MOST_CAUGHT_UP) {
      const double over = game_ms - frame_ms(g.FRAME + MOST_CAUGHT_UP);
      stalled_ms += over;
      shift -= over;
      due = MOST_CAUGHT_UP;
    }
    if (due > 0) {
      // Catch up in whole frames after a stall, then draw once.
      const Pass p = frame_pass(g, due);
      if (p.end) display::CLOSEWIN();
      if (p.drawn) DRAWALL(g, v);
      recorder.pass(p.frames);
    }
    if (display::ISNEXTMSG()) {
      recorder.message(display::MS.MESSAGE, display::MS.WPARAM);
      if (handle_message(g, display::MS.MESSAGE, display::MS.WPARAM)) display::CLOSEWIN();
    } else if (due == 0 && display::ISWIN()) {
      // Nothing to do until the next frame is due or a key arrives: sleep
      // until exactly then rather than spin.
      display::wait_message_until((frame_ms(g.FRAME) - shift) / 1000.0);
    }
    if (!display::ISWIN()) break;
  }
  recorder.end();
  if (base::stop_requested()) base::end_as_asked();
  return recorder.complete() ? 0 : RECORDING_INCOMPLETE;
}

}  // namespace tervalon

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
