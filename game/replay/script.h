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
//   snap FILE      the picture the game would show now, as a binary PPM, to
//                  a plain name in the current folder ending in .ppm
//   level-file H   the SHA-256 of the tervalon.dat the script was made on
//   cheat 0|1      whether the cheat marker was there
//   expect ...     the 13 fields of the state line as they must be now
//
// Scripts are shared between players, so they are untrusted data: they are
// read only from regular files, a line is at most MAX_LINE bytes, a snap
// cannot name a file outside the current folder, and script text is echoed
// only through base::printable. Every message made here is printable already.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// The longest line a script may have: a state check is about 150 bytes.
constexpr std::size_t MAX_LINE = 65536;

// The text of a script, line by line: a file opened by the level file's rule,
// or standard input.
class ScriptInput {
 public:
  ScriptInput();
  ~ScriptInput();
  ScriptInput(const ScriptInput&) = delete;
  ScriptInput& operator=(const ScriptInput&) = delete;

  // Opens `path` if it is a regular file or a link to one, without blocking
  // on a FIFO; false with "cannot open: ..." in `why` otherwise.
  bool open(const std::string& path, std::string& why);
  // Reads standard input from here on.
  void standard_input();
  // The next line without its line feed. False at the end of the text, with
  // `why` empty; or with the reason when the line is longer than MAX_LINE
  // bytes or cannot be read.
  bool next(std::string& line, std::string& why);

 private:
  int fd_ = -1;
  bool own_ = false;
  std::string buffer_;
  std::size_t pos_ = 0, len_ = 0;
};

// A line of a script file that acts (not blank, not a comment), and its number.
struct ScriptLine {
  Command c;
  std::size_t line;
};
// Reads a script file; false with "FILE: cannot open: ..." or "FILE:LINE: ..."
// in `why` when it cannot be read or a line is malformed or too long.
bool read_script(const std::string& path, std::vector<ScriptLine>& lines, std::string& why);

// Whether a script writes pictures: the game, which shows its own, plays
// none of these.
bool has_snap(const std::vector<ScriptLine>& lines);

// Whether `name` is a file a snap may write: a plain name in the current
// folder (no "/", not hidden) ending in ".ppm", with no control bytes.
bool snap_name_allowed(std::string_view name);

// How a key appears in a script: its name for the four keys the game knows,
// else its code.
std::string key_word(std::int32_t key);

// The state after a pass: FRAME BDLV GSIT PAUSE CTEMP STPN PX PY VX VY KL KR
// KU, the floats exact.
std::string state_line(const Game& g);

// The SHA-256 of the level file `g` was loaded from, as it was loaded; of the
// level file in the working directory for a game not loaded from a file.
std::string level_file_hash(const Game& g);

// Runs a level-file, cheat or expect line against the game: empty when the
// game agrees, else "frame F: FIELD is X, expected Y" for the first field
// that differs.
std::string check(const Game& g, const Command& c);

// What replay prints after every pass and every key message: its state line,
// or one line "FRAME NAME" per sound event it made (events.h), in Sound order.
enum class Output { states, events };

// Plays a script on a game with no window, printing the state line (or the
// events) after every pass and every key message, then "end" at the frame that reaches the
// end cell or "closed" after Escape, where it stops. `snap` writes the
// picture of a snap line: empty when done, else why not. Messages go to
// standard error as "NAME:LINE: ...". Returns the exit code: 0, 2 for a line
// that is malformed, too long or unreadable, or a snap that cannot be
// written, 3 when a check fails.
using Snap = std::function<std::string(const Game& g, const std::string& file)>;
int replay(Game& g, ScriptInput& in, const std::string& name, const Snap& snap, Output output = Output::states);

}  // namespace tervalon
