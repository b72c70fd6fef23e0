// The one way the program stops on an error: "Runtime error N at $ADDR" and the
// calling levels on standard error (and in a message box when a display is up),
// then exit with N.
#pragma once

#include <string>

namespace display {

// Writes the report and ends the process with exit code `code`. Any thread.
[[noreturn]] void runtime_error(int code);

// Shows the report text to the player; set by a display back end that can open
// a message box captioned "Error". Called on the failing thread, at most once.
using ErrorBox = void (*)(const std::string& text);
void set_error_box(ErrorBox box);

// A routine run on the failing thread once the report is written, before any
// box and the exit: the game saves its recording there. Set by the game
// thread at start.
using ErrorHook = void (*)();
void set_error_hook(ErrorHook hook);

}  // namespace display
