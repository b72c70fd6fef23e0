// The replay language: scripts of game frames and key messages that play the
// rules exactly as the main loop does, with checks of the level file, the
// cheat marker and the state. tervalon-replay runs them here; the game plays
// and records them through session.h.
//
//   frames N       N passes of one game frame each, each followed by the fade
//                  bookkeeping when the main loop would draw
//   burst N        one pass of N game frames back to back, then the fade
//                  bookkeeping once, as the main loop catches up after a stall
//   down KEY       a key-down message (KEY: left, right, up, esc or a code 0..255)
//   up KEY         a key-up message
//   snap FILE      the picture the game would show now, as a binary PPM
//   level-file H   the SHA-256 of the tervalon.dat the script was made on
//   cheat 0|1      whether the cheat marker was there
//   expect ...     the 13 fields of the state line as they must be now
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "game/rules/state.h"

namespace tervalon {

// One line of a script.
struct Command {
  enum class Op { none, frames, burst, down, up, snap, level_file, cheat, expect };
  Op op = Op::none;         // none: a blank or comment line
  std::uint64_t count = 0;  // frames, burst: N
  std::int32_t key = 0;     // down, up: the key code
  std::string text;         // snap: the file; level-file: the hash; cheat: 0 or 1;
                            // expect: the fields, one blank apart
};

// Reads one line of a script; false with the reason when it is malformed.
bool parse_command(std::string_view line, Command& c, std::string& why);

// A line of a script file that acts (not blank, not a comment), and its number.
struct ScriptLine {
  Command c;
  std::size_t line;
};
// Reads a script file; false with "FILE: cannot open: ..." or "FILE:LINE: ..."
// in `why` when it cannot be read or a line is malformed.
bool read_script(const std::string& path, std::vector<ScriptLine>& lines, std::string& why);

// How a key appears in a script: its name for the four keys the game knows,
// else its code.
std::string key_word(std::int32_t key);

// The state after a pass: FRAME BDLV GSIT PAUSE CTEMP STPN PX PY VX VY KL KR
// KU, the floats exact.
std::string state_line(const Game& g);

// The SHA-256 of the level file in the working directory.
std::string level_file_hash();

// Runs a level-file, cheat or expect line against the game: empty when the
// game agrees, else "frame F: FIELD is X, expected Y" for the first field
// that differs.
std::string check(const Game& g, const Command& c);

// Plays a script on a game with no window, printing the state line after
// every pass and every key message, then "end" at the frame that reaches the
// end cell or "closed" after Escape, where it stops. `snap` writes the
// picture of a snap line (false when it cannot). Messages go to standard
// error as "NAME:LINE: ...". Returns the exit code: 0, 2 for a malformed line
// or a snap that cannot be written, 3 when a check fails.
using Snap = std::function<bool(const Game& g, const std::string& file)>;
int replay(Game& g, std::istream& in, const std::string& name, const Snap& snap);

}  // namespace tervalon
