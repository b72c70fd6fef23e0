// Test helpers: level files written to a fresh temporary folder and loaded
// with the game's own loader into a test's game.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include <memory>

#include "game/rules/level_file.h"
#include "game/rules/level_start.h"

namespace tervalon::test {

inline std::string make_temp_dir() {
  char name[] = "/tmp/tervalon-test-XXXXXX";
  return mkdtemp(name);
}

inline std::string write_file(const std::string& dir, const std::string& name, const std::string& content) {
  std::string path = dir + "/" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// A test's game, on the heap for its size.
class GameTest : public testing::Test {
 protected:
  std::unique_ptr<Game> game = std::make_unique<Game>();
  Game& g = *game;
};

// Makes `g` a new game on `content` as a level file.
inline void load(Game& g, const std::string& content, LevelFileMap* map = nullptr) {
  g = *load_levels(write_file(make_temp_dir(), "tervalon.dat", content), map);
}

struct Level {
  unsigned least;                 // STPM
  std::vector<std::string> rows;  // the board, top row first
};

// A level file of these levels (the last index is levels.size() - 1) with
// story lines named after their level, half and line ("T1.2.3").
inline std::string level_file(const std::vector<Level>& levels) {
  int last = static_cast<int>(levels.size()) - 1;
  std::string f = std::to_string(last) + "\n" + std::to_string(levels[0].rows[0].size()) + " " +
                  std::to_string(levels[0].rows.size()) + "\n";
  auto text = [&](int l, int half) {
    for (int i = 1; i <= 4; ++i)
      f += "T" + std::to_string(l) + "." + std::to_string(half) + "." + std::to_string(i) + "\n";
  };
  for (int l = 0; l <= last; ++l) text(l, 1);
  for (int l = last; l >= 1; --l) text(l, 2);
  for (const Level& level : levels) {
    f += std::to_string(level.least) + "\n";
    for (const std::string& row : level.rows) f += row + "\n";
  }
  return f;
}

// Makes `g` a new game on the level file (or a file of these levels) and
// starts level `level` in pass `pass` the way the game would reach it.
inline void start(Game& g, const std::string& file, int level = 0, int pass = 0) {
  load(g, file);
  g.BDLV = static_cast<std::int8_t>(level);
  g.GSIT = static_cast<std::int8_t>(pass);
  INITLV(g);
}
inline void start(Game& g, const std::vector<Level>& levels, int level = 0, int pass = 0) {
  start(g, level_file(levels), level, pass);
}

// An open room of w x h cells: walls only on the border, the player's entry
// at (ix, iy) and the exit at (ox, oy).
inline std::vector<std::string> room(int w, int h, int ix, int iy, int ox, int oy) {
  std::vector<std::string> rows(h, std::string(w, ' '));
  rows[iy][ix] = 'i';
  rows[oy][ox] = 'o';
  return rows;
}

}  // namespace tervalon::test
