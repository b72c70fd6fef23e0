// tervalon-replay SCRIPT: plays the game's rules from a script with no window,
// printing the state after every pass. The test bench for the rules, for level
// authors, for recorded level solutions and for recordings of the game; the
// language is described in game/script.h.
//
// Output per pass: FRAME BDLV GSIT PAUSE CTEMP STPN PX PY VX VY KL KR KU, then
// "end" when the end cell is reached and "closed" after Escape. Exit code 0,
// 2 for a malformed script, 3 when a level-file, cheat or expect line fails.
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "base/file.h"
#include "display/surface.h"
#include "display/window.h"
#include "game/replay/script.h"
#include "game/rules/level_file.h"
#include "game/rules/level_start.h"
#include "game/view/window_setup.h"

using namespace tervalon;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tervalon-replay SCRIPT   (SCRIPT is a file or - for standard input)\n");
    return 2;
  }
  std::string script = argv[1];
  std::ifstream file;
  if (script != "-") {
    file.open(script);
    if (!file) {
      std::fprintf(stderr, "%s: cannot open: %s\n", script.c_str(), base::error_text(errno).c_str());
      return 2;
    }
  }

  const std::unique_ptr<Game> g = INITBD();
  INITLV(*g);
  // The window, tiles and work surfaces, off-screen, made at the first snap
  // so that scripts without one never touch the display library.
  std::unique_ptr<View> view;
  auto snap = [&](const Game& now, const std::string& path) {
    if (!view) {
      view = std::make_unique<View>();
      display::use_headless_backend();
      INITWIN(now, *view);
    }
    compose_frame(now, *view);
    return display::write_ppm(*display::PMAIN, path.c_str());
  };
  return replay(*g, script == "-" ? std::cin : file, script, snap);
}
