// tervalon-replay SCRIPT: plays the game's rules from a script with no window,
// printing the state after every pass. The test bench for the rules, for level
// authors and for recorded level solutions.
//
//   frames N     N game frames, each followed by the fade bookkeeping when a
//                real game would draw
//   down KEY     a key-down message (KEY: left, right, up, esc or a code 0..255)
//   up KEY       a key-up message
//   snap FILE    the picture the game would show now, as a binary PPM
//
// Output per pass: FRAME BDLV GSIT PAUSE CTEMP STPN PX PY VX VY KL KR KU, then
// "end" when the end cell is reached and "closed" after Escape.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "draw.h"
#include "level_file.h"
#include "level_start.h"
#include "rules.h"
#include "state.h"
#include "window.h"
#include "window_setup.h"

using namespace tervalon;

namespace {

void print_state() {
  std::printf("%llu %d %d %u %u %u %.17g %.17g %.17g %.17g %d %d %d\n", static_cast<unsigned long long>(FRAME),
              BDLV, GSIT, PAUSE, CTEMP, STPN[BDLV], PX, PY, VX, VY, KL, KR, KU);
}

[[noreturn]] void bad_line(const std::string& script, std::size_t line, const std::string& why) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s:%zu: %s\n", script.c_str(), line, why.c_str());
  std::exit(2);
}

bool parse_number(const std::string& s, std::uint64_t max, std::uint64_t& out) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size() && out <= max;
}

bool parse_key(const std::string& s, std::int32_t& key) {
  if (s == "left") {
    key = K_LEFT;
  } else if (s == "right") {
    key = K_RIGHT;
  } else if (s == "up") {
    key = K_UP;
  } else if (s == "esc") {
    key = K_ESC;
  } else {
    std::uint64_t code;
    if (!parse_number(s, 255, code)) return false;
    key = static_cast<std::int32_t>(code);
  }
  return true;
}

// The window, tiles and work surfaces, off-screen, made at the first snap so
// that scripts without one never touch the display library.
void open_headless_window() {
  static bool open = false;
  if (open) return;
  display::use_headless_backend();
  INITWIN();
  open = true;
}

}  // namespace

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
  std::istream& in = script == "-" ? std::cin : file;

  INITBD();
  W = display::narrow<std::uint32_t>(BDW * 20);
  H = display::narrow<std::uint32_t>(BDH * 20);
  INITLV();

  std::string text;
  for (std::size_t line = 1; std::getline(in, text); ++line) {
    std::istringstream words(text);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (w.empty() || w[0][0] == '#') continue;

    if (w[0] == "frames") {
      std::uint64_t n;
      if (w.size() != 2 || !parse_number(w[1], UINT32_MAX, n))
        bad_line(script, line, "expected \"frames N\" with N a whole number of frames");
      for (std::uint64_t i = 0; i < n; ++i) {
        bool end = game_frame();
        if (frame_is_drawn()) fade_step();  // a real game fades only as it draws
        print_state();
        if (end) {
          std::puts("end");
          return 0;
        }
      }
    } else if (w[0] == "down" || w[0] == "up") {
      std::int32_t key;
      if (w.size() != 2 || !parse_key(w[1], key))
        bad_line(script, line, "expected \"" + w[0] + " KEY\" with KEY left, right, up, esc or a code 0..255");
      bool close = handle_message(w[0] == "down" ? WM_KEYDOWN : WM_KEYUP, key);
      print_state();
      if (close) {
        std::puts("closed");
        return 0;
      }
    } else if (w[0] == "snap") {
      if (w.size() != 2) bad_line(script, line, "expected \"snap FILE\"");
      open_headless_window();
      compose_frame();
      if (!display::write_ppm(*display::PMAIN, w[1].c_str())) bad_line(script, line, "cannot write " + w[1]);
    } else {
      bad_line(script, line, "unknown command \"" + w[0] + "\" (expected frames, down, up or snap)");
    }
  }
  return 0;
}
