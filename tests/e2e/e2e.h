// What the end-to-end tests share: the game in a folder of its own under a
// private X server, the level file most of them play, and reading what the
// game wrote.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../tools/run.h"
#include "game_process.h"
#include "tests/game/support.h"

namespace tervalon::test {

// Level 0 (20 x 12 cells): end cell (1, 10), entry (3, 10), a pillar two
// cells high at column 8, exit (17, 10) far enough beyond it that a jump over
// the pillar lands short of it. Level 1: a room whose exit wants a long trail.
inline std::string levels() {
  auto hub = room(20, 12, 3, 10, 17, 10);
  hub[10][1] = 'e';
  hub[9][8] = hub[10][8] = 'x';
  return level_file({{1, hub}, {1000, room(20, 12, 2, 10, 13, 10)}});
}

// The game in a fresh folder holding `levels` as its level file (none when
// empty).
class Game : public GameProcess {
 public:
  explicit Game(const std::string& levels, bool with_display = true, std::vector<std::string> args = {})
      : GameProcess(folder_with(levels), with_display, std::move(args)) {}
  Game(const std::string& levels, std::vector<std::string> args, std::vector<std::string> env = {})
      : GameProcess(folder_with(levels), true, std::move(args), std::move(env)) {}

  // The replay tool's picture after `script`, on the same level file.
  std::vector<std::uint8_t> replay_snap(const std::string& script) { return replay_picture(dir(), script); }

 private:
  static std::string folder_with(const std::string& levels) {
    std::string dir = make_temp_dir();
    if (!levels.empty()) write_file(dir, "tervalon.dat", levels);
    return dir;
  }
};

class GameInX : public testing::Test {
 protected:
  PrivateX x;
  void SetUp() override { ASSERT_TRUE(x.ok()) << "no Xvfb"; }
};

inline const std::string SOURCE = TERVALON_SOURCE_DIR;
inline const std::string REPLAY = std::string(TERVALON_BINARY_DIR) + "/tools/tervalon-replay";

inline std::string file_text(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

inline std::vector<std::string> lines_with(const std::string& text, const std::string& start) {
  std::vector<std::string> found;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(start, 0) == 0) found.push_back(line);
  return found;
}

// The journey's saved run in a game's folder (its data folder in the tests).
inline std::string save_of(const std::string& dir) {
  for (const auto& e : std::filesystem::directory_iterator(dir + "/tervalon"))
    if (e.path().extension() == ".txt" && e.path().stem().string().size() == 64) return e.path();  // not bests.txt
  return "";
}

}  // namespace tervalon::test
