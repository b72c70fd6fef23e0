// Faults in the level file, on the real game: a folder, an unreadable file, an
// empty file, 100 MB of random bytes (alone and inside a story line), and NUL
// bytes. Each ends with its run-time error or plays on; none crashes or hangs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "game_process.h"

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
    EXPECT_EQ(game.wait_exit(30s), code) << game.err();
    std::string err = game.err();
    EXPECT_EQ(err.rfind(first_line, 0), 0u) << err;
    EXPECT_NE(err.find("Runtime error " + std::to_string(code) + " at $"), std::string::npos) << err;
  }

  // The game opens on the file, shows what the replay shows for it, and ends
  // on Escape.
  void expect_play() {
    GameProcess game(dir_);
    ASSERT_FALSE(game.window().empty()) << game.err();
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(game.screenshot() == replay_picture(dir_, "frames 60\n")) << "not the replay's picture";
    game.xdo("key Escape");
    EXPECT_EQ(game.wait_exit(), 0) << game.err();
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

// An empty file reads as zeros: level 0 of 0 x 0 cells passes the loader, the
// window opens at half the screen, and the first step of the player probes
// outside the board: run-time error 201.
TEST_F(LevelFileFault, AnEmptyFileStopsAtTheFirstStepWithRangeError) {
  write("");
  expect_stop(201, "Runtime error 201 at $");
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
