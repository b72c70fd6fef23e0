// tervalon-replay SCRIPT: plays the game's rules from a script with no window,
// printing the state after every pass. The test bench for the rules, for level
// authors, for recorded level solutions and for recordings of the game; the
// language is described in game/replay/script.h.
//
// Output per pass: FRAME BDLV GSIT PAUSE CTEMP STPN PX PY VX VY KL KR KU, or
// with --events one line "FRAME NAME" per sound event of the pass; then "end"
// when the end cell is reached and "closed" after Escape. Exit code 0,
// 2 for wrong usage or a script that cannot be read or played to its end (a
// malformed or too long line, a snap that cannot be written), 3 when a
// level-file, cheat or expect line fails.

#include <cstdio>
#include <memory>
#include <string>

#include "base/printable.h"
#include "base/storage.h"
#include "display/surface.h"
#include "display/window.h"
#include "game/replay/script.h"
#include "game/rules/level_file.h"
#include "game/rules/level_start.h"
#include "game/view/window_setup.h"

using namespace tervalon;

namespace {

constexpr const char* USAGE =
    "usage: tervalon-replay [--events] [--] SCRIPT   (SCRIPT is a file, or - for standard input)\n"
    "       tervalon-replay --help | --version\n"
    "Plays the rules of Tervalon from SCRIPT with no window, on tervalon.dat in the\n"
    "current folder, and prints the state after every pass; with --events, instead,\n"
    "one line FRAME NAME for each sound event of play (jump, land, exit-open, ...).\n"
    "Exit status: 0 played; 2 wrong usage, or a script that cannot be read or played\n"
    "(a malformed or too long line, a snap that cannot be written); 3 a failed check;\n"
    "the level file's errors as in tervalon. See tervalon-replay(6).\n";

// The picture as a binary PPM.
std::string ppm_bytes(const display::BITMAP& B) {
  std::string out = "P6\n" + std::to_string(B.WIDTH) + " " + std::to_string(B.HEIGHT) + "\n255\n";
  out.reserve(out.size() + std::size_t{B.WIDTH} * B.HEIGHT * 3);
  for (std::uint32_t y = 0; y < B.HEIGHT; ++y)
    for (std::uint32_t x = 0; x < B.WIDTH; ++x) {
      const std::uint32_t p = B.at(x, y);
      out += static_cast<char>(p & 0xFF);
      out += static_cast<char>((p >> 8) & 0xFF);
      out += static_cast<char>((p >> 16) & 0xFF);
    }
  return out;
}

// Writes `bytes` to `name` in the current folder as a save is written: a new
// file beside it, renamed over the name when complete, so a link or a second
// hard link found there is replaced, never written through, and no half
// picture is left. Empty when done, else why not.
std::string write_beside(const std::string& name, const std::string& bytes) {
  std::string why;
  base::Storage& files = base::storage();
  if (!files.may_replace(name, why) || !files.save(name, bytes, why)) return why;
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (argc == 2 && (first == "--help" || first == "-h")) {
    std::fputs(USAGE, stdout);
    return 0;
  }
  if (argc == 2 && first == "--version") {
    std::puts("tervalon-replay " TERVALON_VERSION);
    return 0;
  }
  // [--events] [--] SCRIPT
  int at = 1;
  const bool events = at < argc && std::string(argv[at]) == "--events";
  if (events) ++at;
  const bool marked = at < argc && std::string(argv[at]) == "--";
  if (marked) ++at;
  const std::string script = at < argc ? argv[at] : "";
  if (at + 1 != argc || (!marked && script.size() > 1 && script[0] == '-')) {
    if (at + 1 == argc) std::fprintf(stderr, "tervalon-replay: unknown option %s\n", base::printable(script).c_str());
    std::fputs(USAGE, stderr);
    return 2;
  }
  ScriptInput input;
  std::string why;
  if (script == "-" && !marked)
    input.standard_input();
  else if (!input.open(script, why)) {
    std::fprintf(stderr, "%s: %s\n", base::printable(script, SIZE_MAX).c_str(), why.c_str());
    return 2;
  }

  const std::unique_ptr<Game> g = INITBD();
  INITLV(*g);
  // The window, tiles and work surfaces, off-screen, made at the first snap
  // so that scripts without one never touch the display library.
  std::unique_ptr<View> view;
  auto snap = [&](const Game& now, const std::string& name) {
    if (!view) {
      view = std::make_unique<View>();
      display::use_headless_backend();
      INITWIN(now, *view);
    }
    compose_frame(now, *view);
    return write_beside(name, ppm_bytes(*display::PMAIN));
  };
  return replay(*g, input, script, snap, events ? Output::events : Output::states);
}
