// Command-line options of the game.
#include "game/app/options.h"

#include <cstdio>
#include <string_view>

#include "base/numbers.h"

namespace tervalon {

namespace {

constexpr const char* usage =
    "usage: tervalon [--scale N] [--fullscreen] [--mute] [--record FILE] [--play FILE...] [--speed N] [--help] "
    "[--version]\n";

constexpr const char* help_text =
    "Runs the game on tervalon.dat in the current folder. The journey is saved as it is\n"
    "played, under $XDG_DATA_HOME/tervalon (~/.local/share/tervalon), and continued from a\n"
    "menu at the next start.\n"
    "\n"
    "Options:\n"
    "  --scale N       open the window at N times the board's size (N = 1..16)\n"
    "  --fullscreen    start in full screen\n"
    "  --mute          start with the sound off (M turns it on)\n"
    "  --record FILE   write the run to FILE as a replay script, as it is played\n"
    "  --play FILE...  play these replay scripts in the window, then hand over to the player\n"
    "  --speed N       play the scripts N times faster (N = 0..1000; 0: as fast as possible)\n"
    "  --help          show this text\n"
    "  --version       show the version\n"
    "\n"
    "Keys:\n"
    "  Left, Right, A, D      run\n"
    "  Up, W, Space           jump (Up against a wall jumps off it)\n"
    "  any key                go on when a story text is fully shown\n"
    "  R                      restart the level\n"
    "  P, Pause               pause, with a menu (Up, Down, Enter, Escape, or the mouse)\n"
    "  Tab                    the guide, while held\n"
    "  M                      sound off and on\n"
    "  F11, Alt+Enter         full screen on and off\n"
    "  Escape                 quit\n"
    "  game controller        d-pad or left stick run, d-pad up, A or B jump,\n"
    "                         Y restarts, Start pauses and goes on, Back quits;\n"
    "                         in menus the d-pad moves, A chooses, B goes back\n";

ParsedOptions bad(const std::string& why) {
  std::fprintf(stderr, "tervalon: %s\n%s", why.c_str(), usage);
  return {{}, true, 2};
}

}  // namespace

void take_settings(Options& o, const Settings& s) {
  if (o.scale == 0) o.scale = s.window_scale;
  o.fullscreen = o.fullscreen || s.fullscreen;
  o.fit = s.fit;
  o.palette = s.colourblind ? Palette::colourblind : Palette::standard;
  o.text = s.large_text ? TextSize::large : TextSize::normal;
  o.guide = s.guide;
  o.goal = s.goal;
  o.speed = s.speed;
  o.volume = s.volume;
}

ParsedOptions parse_options(int argc, const char* const* argv) {
  ParsedOptions p;
  Options& o = p.options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--help" || a == "-h") {
      std::fputs(usage, stdout);
      std::fputs(help_text, stdout);
      return {{}, true, 0};
    } else if (a == "--version") {
      std::fputs("tervalon " TERVALON_VERSION "\n", stdout);
      return {{}, true, 0};
    } else if (a == "--fullscreen") {
      o.fullscreen = true;
    } else if (a == "--mute") {
      o.mute = true;
    } else if (a == "--scale") {
      if (!has_value || !base::parse_whole<std::uint32_t>(argv[++i], 1, 16, o.scale))
        return bad("--scale needs a whole number 1..16");
    } else if (a == "--speed") {
      if (!has_value || !base::parse_whole<std::uint32_t>(argv[++i], 0, 1000, o.play_speed))
        return bad("--speed needs a whole number 0..1000");
    } else if (a == "--record") {
      // A value like "--fullscreen" is an option forgotten, not a file name.
      if (!has_value || argv[i + 1][0] == '-') return bad("--record needs a file");
      o.record = argv[++i];
    } else if (a == "--play") {
      // Every following argument up to the next option is a script.
      while (i + 1 < argc && std::string_view(argv[i + 1]).substr(0, 2) != "--") o.play.emplace_back(argv[++i]);
      if (o.play.empty()) return bad("--play needs at least one file");
    } else {
      return bad("unknown option \"" + std::string(a) + "\"");
    }
  }
  return p;
}

}  // namespace tervalon
