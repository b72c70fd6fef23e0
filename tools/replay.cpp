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
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "level_file.h"
#include "level_start.h"
#include "script.h"
#include "state.h"

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
      std::fprintf(stderr, "%s: cannot open: %s\n", script.c_str(), std::strerror(errno));
      return 2;
    }
  }

  INITBD();
  W = base::narrow<std::uint32_t>(BDW * 20);
  H = base::narrow<std::uint32_t>(BDH * 20);
  INITLV();
  return replay(script == "-" ? std::cin : file, script);
}
