// The level file: board size, story texts, least trail lengths and boards of
// every level, read once at start into the game state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "game/rules/state.h"

namespace tervalon {

// Where each item of a loaded level file stands (1-based file lines), for
// tools that report problems to level authors.
struct LevelFileMap {
  std::uint64_t levels_line = 0;  // the last level index
  std::uint64_t size_line = 0;    // board width and height
  PerLevel<Array<Array<std::uint64_t, 1, 4>, 1, 2>> text_line;
  PerLevel<std::uint64_t> stpm_line;
  PerLevel<Array<std::uint64_t, 0, BDHMAX - 1>> row_line;
};

// The level file's name, in the working directory.
inline constexpr const char* LEVEL_FILE = "tervalon.dat";

// A new game on "tervalon.dat" in the working directory: looks for the cheat
// marker file, reads the level tables and leaves level 0 with GSIT = 0. A bad
// file stops the program with a run-time error after one line on standard
// error that says what and where (two when a board row of the wrong length
// above that line is the likelier cause); so does a file with no level or no
// board to play (error 201).
std::unique_ptr<Game> INITBD();

// INITBD on a file of any name, without the test for something to play;
// `map`, when given, receives the file lines.
std::unique_ptr<Game> load_levels(const std::string& path, LevelFileMap* map = nullptr);

}  // namespace tervalon
