// The level file: board size, story texts, least trail lengths and boards of
// every level, read once at start into the game state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// Why a level file does not load, in the words the game stops with.
struct LevelFinding {
  std::string file;        // the name the file was given by
  std::uint64_t line = 0;  // 1-based; 0 when it is about the file as a whole
  std::string message;     // what is wrong
  int code = 0;            // the run-time error the game stops with on it
  // "FILE:LINE: MESSAGE", or "FILE: MESSAGE" without a line.
  std::string text() const;
};

// A level file read from its bytes. Without findings the game is loaded as
// INITBD leaves it (level 0, GSIT = 0). With them the game holds what was
// read before the fault, for an editor to show, and is not fit to play; the
// reading stops at the first fault, which is the last finding: a board row
// of the wrong length above it, the likelier cause, comes before it.
struct LevelParse {
  std::unique_ptr<Game> game;  // never null
  LevelFileMap map;
  std::vector<LevelFinding> findings;
  bool ok() const { return findings.empty(); }
};

// Reads a level file from its bytes; `name` is what findings call it and
// `cheat` whether the cheat marker is there (every least trail length 1).
// Never stops the program and throws nothing but std::bad_alloc, whatever
// the bytes.
LevelParse parse_levels(std::string_view bytes, const std::string& name, bool cheat = false);

// What the game does on a file it cannot load: the findings on standard
// error, one a line, then the run-time error of the last (the fault).
[[noreturn]] void stop_on_level_file(const std::vector<LevelFinding>& findings);

// Whether the cheat marker file is in the working directory.
bool cheat_marker_present();

// Every byte of the file at `path`, opened as the game opens a level file
// (only a regular file, never blocking); false with the game's finding
// ("cannot open", "cannot read", the system's error number as its code).
bool read_level_bytes(const std::string& path, std::string& bytes, LevelFinding& failure);

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
// `map`, when given, receives the file lines. The file is read in pieces,
// so a file of any size costs a fixed amount of memory.
std::unique_ptr<Game> load_levels(const std::string& path, LevelFileMap* map = nullptr);

}  // namespace tervalon
