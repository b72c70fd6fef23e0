// How the process is asked to end from outside the game's own loop (SIGTERM,
// SIGINT, SIGHUP, a lost display), so that the loop can finish what it
// writes first and the process still ends the way it would have.
#pragma once

namespace base {

// Catches SIGTERM, SIGINT and SIGHUP once each (a second one ends the
// process at once, in case the loop is stuck), and ignores SIGPIPE and
// SIGXFSZ so that a write that cannot be done fails instead of killing the
// process. Call before any thread starts.
void catch_stop_signals();

// Asks the game thread to stop and the process to end with `code`: for a
// thread that cannot go on (the window thread when the display is lost).
// Any thread.
void ask_to_stop(int code);

// Whether a signal or ask_to_stop asked the process to end. Any thread.
bool stop_requested();

// Ends the process as it was asked: by the signal caught, with its default
// action, so that a parent sees what it saw before; or with the code asked
// for.
[[noreturn]] void end_as_asked();

}  // namespace base
