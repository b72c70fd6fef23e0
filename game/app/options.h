// The command line of the game: parsed in one place, read by the main loop
// (recording and playback) and the window set-up (scale, full screen).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/app/settings.h"
#include "game/view/draw.h"

namespace tervalon {

struct Options {
  std::uint32_t scale = 0;              // --scale N: whole factor of the opening window; 0 picks one
  bool fullscreen = false;              // --fullscreen: start in desktop full screen
  std::string record;                   // --record FILE: write the run as a replay script
  std::vector<std::string> play;        // --play FILE...: scripts played in the window first
  std::uint32_t play_speed = 1;         // --speed N: --play scripts N times faster; 0 as fast as possible
  std::uint32_t speed = 100;            // the settings' speed: the game at this percent of 60 frames a second
  bool guide = false;                   // the on-screen guide always shown, not only while Tab is held
  bool goal = true;                     // the goal outlined over the picture
  bool fit = false;                     // the picture fills the window at any factor, not only whole ones
  Palette palette = Palette::standard;  // the window's colours of ghosts and markers
  TextSize text = TextSize::normal;     // the size of menus', notes' and the guide's text
  bool mute = false;                    // --mute: no sound until M
  std::uint32_t volume = 70;            // percent
};

// Options from the settings, where the command line did not say: a scale,
// full screen, the picture's fit, palette and text size, the guide, the goal and the speed.
void take_settings(Options& o, const Settings& s);

// What parsing found: run with the options, or stop with an exit code after
// printing (0 for --help on standard output, 2 for a bad command line with the
// usage line on standard error).
struct ParsedOptions {
  Options options;
  bool stop = false;
  int exit_code = 0;
};

ParsedOptions parse_options(int argc, const char* const* argv);

}  // namespace tervalon
