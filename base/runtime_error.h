// The one way the program stops on an error: "Runtime error N at $ADDR" and the
// calling levels on standard error (and in a message box when a display is up),
// then exit with N.
#pragma once

#include <string>
#include <string_view>

namespace base {

// Writes `reason` (when given) as one line, then the report, to standard
// error, shows both in the error box when one is set, and ends the process
// with exit code `code`. Without a reason the box says what the code means.
// Any thread.
[[noreturn]] void runtime_error(int code, std::string_view reason = {});

// The reason shown for a code when the caller gave none: "range check
// failed" for 201, the system's words for an OS error number. Any thread.
std::string reason_for(int code);

// The error number the process is stopping with, 0 while it is not stopping:
// what ends it if its box cannot be shown to the end. Any thread.
int stopping_with();

// Shows the box text (the reason, then the report) to the player; set by a
// display back end that can open a message box captioned "Error". Called on
// the failing thread, at most once.
using ErrorBox = void (*)(const std::string& text);
void set_error_box(ErrorBox box);

// A routine run on the failing thread once the report is written, before any
// box and the exit, with the context it was set with: the game saves its
// recording there. Set by the game thread.
using ErrorHook = void (*)(void* context);
void set_error_hook(ErrorHook hook, void* context);

}  // namespace base
