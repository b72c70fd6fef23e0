// The SDL back end: a real window on an X11 or Wayland display, and the run-time error's box.
// A program that shows its window chooses it; without it windows open off-screen.
#pragma once

#include <mutex>

#include "display/backend.h"
#include "display/sdl/bindings.h"

namespace display {

// Makes the next CREATEWIN open a real window through SDL, unless the program
// chose another back end before (a test that runs the game's main loop
// off-screen). Game thread, before CREATEWIN.
void use_sdl_backend();
// From now on a run-time error also shows its reason and report in a box
// captioned "Error" when a display is available. Game thread, at start.
void use_error_box();
// The SDL back end itself (never destroyed). Any thread; the error box.
Backend& sdl_backend();
// Held while SDL_InitSubSystem or SDL_QuitSubSystem runs once the window
// thread has started SDL's video: SDL 2 counts its subsystems (and the events
// one most of them start with) unguarded. The window thread only ever tries
// it; SDL's video itself starts before any other thread takes it. Any thread.
std::mutex& sdl_subsystems_lock();

}  // namespace display
