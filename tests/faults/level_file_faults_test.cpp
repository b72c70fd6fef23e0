// Faults in the level file, on the real game: a folder, an unreadable file,
// files with nothing to play, a row of the wrong length, 100 MB of random
// bytes (alone and inside a story line), and NUL bytes. Each ends with its run-time error or plays on; none crashes or
// hangs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "game_process.h"
#include "waiting.h"

namespace tervalon::test {
namespace {

const std::string PLAY = std::string(TERVALON_SOURCE_DIR) + "/tests/faults/levels/play.dat";

std::string read_all(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

// `size` random bytes from a fixed seed, none of them in `avoid`.
std::string random_bytes(std::size_t size, std::uint32_t seed, const std::string& avoid = "") {
  std::mt19937 random(seed);
  std::string s(size, '\0');
  for (char& c : s) {
    do c = static_cast<char>(random() & 0xFF);
    while (avoid.find(c) != std::string::npos);
  }
  return s;
}

class LevelFileFault : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.ok()) << "Xvfb did not start";
    dir_ = fresh_dir();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void write(const std::string& content) { std::ofstream(dir_ + "/tervalon.dat", std::ios::binary) << content; }

  // A stop with run-time error `code`, after the loader's line `first_line`
  // (none when empty), and with no window left behind.
  void expect_stop(int code, const std::string& first_line) {
    GameProcess game(dir_);
    EXPECT_EQ(game.wait_exit(PATIENCE), code) << game.err();
    std::string err = game.err();
    EXPECT_EQ(err.rfind(first_line, 0), 0u) << err;
    EXPECT_NE(err.find("Runtime error " + std::to_string(code) + " at $"), std::string::npos) << err;
  }

  // The game opens on the file, shows what the replay shows for it, and ends
  // on Escape.
  void expect_play() {
    const auto replay = replay_picture(dir_, "frames 60\n");
    GameProcess game(dir_);
    ASSERT_FALSE(window_of(game).empty()) << game.err();
    EXPECT_TRUE(game.wait_picture([&](const auto& shot) { return shot == replay; }, PATIENCE))
        << "not the replay's picture";
    game.xdo("key Escape");
    EXPECT_EQ(game.wait_exit(PATIENCE), 0) << game.err();
  }

  PrivateX x_;
  std::string dir_;
};

TEST_F(LevelFileFault, AFolderStopsWithItsOsCode) {
  std::filesystem::create_directory(dir_ + "/tervalon.dat");
  expect_stop(EISDIR, "tervalon.dat: cannot open: Is a directory\n");
}

TEST_F(LevelFileFault, AnUnreadableFileStopsWithPermissionDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root, whom no permission bits stop";
  write(read_all(PLAY));
  chmod((dir_ + "/tervalon.dat").c_str(), 0);
  expect_stop(EACCES, "tervalon.dat: cannot open: Permission denied\n");
}

// A file with no level or no board loads, but the game has nothing to play
// on: it stops before any window with range error 201 and says why. A hub
// alone (last level index 0) is still played.
TEST_F(LevelFileFault, NothingToPlayStopsWithRangeErrorAndSaysWhy) {
  const std::string play = read_all(PLAY);
  const std::string after_sizes = play.substr(play.find("Story"));
  write("");
  expect_stop(201, "tervalon.dat:1: the file is empty: there is no level to play\nRuntime error 201 at $");
  write("-1\n12 8\n" + after_sizes);
  expect_stop(201, "tervalon.dat:1: the last level index -1 leaves no level to play; it must be 1..25\n");
  write("0\n-128 -128\n");
  expect_stop(201,
              "tervalon.dat:2: the board is -128 x -128 cells: there is no board to play; each side must be "
              "1..127\nRuntime error 201 at $");
  write("0\n0 0\n");
  expect_stop(201, "tervalon.dat:2: the board is 0 x 0 cells");

  write("0\n12 8\n" + after_sizes.substr(0, after_sizes.find("Story 1")) +
        after_sizes.substr(after_sizes.find("\n1\n") + 1));
  expect_play();
}

// A row too short reads on across its line break: the loader stops lines
// below, at a line that is not at fault, and the row is named first.
TEST_F(LevelFileFault, ARowOfTheWrongLengthIsNamedFirst) {
  std::string play = read_all(PLAY);
  play.replace(play.find("x          x\nx          x\n") + 13, 12, "x      x");
  write(play);
  expect_stop(106,
              "tervalon.dat:18: level 0, row 2 (line 18): 8 cells, the board is 12 wide\n"
              "tervalon.dat:26: \"x\" is not a whole number\nRuntime error 106 at $");
}

TEST_F(LevelFileFault, HundredMegabytesOfRandomBytesAreNotANumber) {
  write(random_bytes(100 << 20, 100));
  expect_stop(106, "tervalon.dat:1: \"");
}

// The same amount inside the first story line: the loader streams through it,
// keeps 255 bytes, and the game plays.
TEST_F(LevelFileFault, HundredMegabytesInsideAStoryLineAreSkipped) {
  std::string play = read_all(PLAY);
  std::size_t stories = play.find("Story");
  write(play.substr(0, stories) + random_bytes(100 << 20, 101, "\r\n\x1a") + play.substr(stories));
  expect_play();
}

// NUL bytes are blanks before a number, text bytes in a story line and empty
// cells on the board.
TEST_F(LevelFileFault, NulBytesInNumbersTextsAndBoards) {
  std::string play = read_all(PLAY);
  std::string with_nuls = std::string("\0\0", 2) + play;
  with_nuls.insert(with_nuls.find("Story 0.1.2") + 5, std::string(1, '\0'));
  for (std::size_t at = with_nuls.find("x          x"); at != std::string::npos;
       at = with_nuls.find("x          x", at + 1))
    with_nuls[at + 5] = '\0';
  write(with_nuls);
  expect_play();
}

}  // namespace
}  // namespace tervalon::test
