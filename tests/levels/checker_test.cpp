// tervalon-levels: every kind of finding names its level and file line, the
// exit codes, and files the game itself rejects.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../game/support.h"
#include "../tools/run.h"

namespace tervalon::test {
namespace {

const std::string CHECKER = std::string(TERVALON_BINARY_DIR) + "/tools/tervalon-levels";

// A usable two-level file on a 12 x 6 board. Its lines: 1 the last level
// index, 2 the size, 3-6 level 0's text, 7-10 level 1's first half, 11-14 its
// second half, 15 level 0's least trail length, 16-21 its rows, 22 level 1's
// least trail length, 23-28 its rows.
std::vector<Level> usable_levels() {
  auto hub = room(12, 6, 3, 4, 6, 4);
  hub[4][1] = 'e';
  return {{1, hub}, {40, room(12, 6, 2, 4, 9, 4)}};
}

// The lines of a level file, to edit one by line number.
std::vector<std::string> lines_of(const std::string& file) {
  std::vector<std::string> lines;
  std::istringstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string f;
  for (const std::string& l : lines) f += l + "\n";
  return f;
}

ToolRun check(const std::string& file, const std::string& args = "tervalon.dat") {
  std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", file);
  return run_in(dir, "'" + CHECKER + "' " + args);
}

// Exactly one finding, on this file line, naming the level (when there is
// one) and containing `what`.
void expect_one_finding(const ToolRun& r, int line, int level, const std::string& what) {
  EXPECT_EQ(r.status, 1) << r.err;
  ASSERT_EQ(r.lines.size(), 1u) << (r.lines.empty() ? r.err : r.lines[0]);
  std::string prefix = "tervalon.dat:" + std::to_string(line) + ": ";
  if (level >= 0) prefix += "level " + std::to_string(level) + ": ";
  EXPECT_EQ(r.lines[0].rfind(prefix, 0), 0u) << r.lines[0] << "\nexpected to begin with " << prefix;
  EXPECT_NE(r.lines[0].find(what), std::string::npos) << r.lines[0];
}

TEST(LevelChecker, AUsableFileExitsZeroWithOneLine) {
  ToolRun r = check(level_file(usable_levels()));
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_NE(r.lines[0].find("usable"), std::string::npos) << r.lines[0];
  EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST(LevelChecker, ReadsTervalonDatInTheWorkingFolderByDefault) {
  ToolRun r = check(level_file(usable_levels()), "");
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(r.lines.size(), 1u);
  EXPECT_EQ(r.lines[0].rfind("tervalon.dat:", 0), 0u) << r.lines[0];

  auto bad = lines_of(level_file(usable_levels()));
  bad[22 - 1] = "0";
  EXPECT_EQ(check(joined(bad), "").status, 1);
}

TEST(LevelChecker, MoreThanOneArgumentIsAUsageError) {
  ToolRun r = check(level_file(usable_levels()), "tervalon.dat tervalon.dat");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.lines.empty());
  EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
}

TEST(LevelChecker, AHubAloneHasNoLevelToPlay) {
  auto hub = usable_levels()[0];
  expect_one_finding(check(level_file({hub})), 1, -1, "outside 1..25");
}

TEST(LevelChecker, ANegativeLastLevelIndex) {
  auto f = lines_of(level_file(usable_levels()));
  f[0] = "-1";
  expect_one_finding(check(joined(f)), 1, -1, "-1");
}

TEST(LevelChecker, AnEmptyBoard) {
  // 0 x 0 loads (no rows to read) but leaves nothing to stand on.
  auto f = lines_of(level_file(usable_levels()));
  std::vector<std::string> g(f.begin(), f.begin() + 14);
  g[1] = "0 0";
  g.push_back("1");
  g.push_back("40");
  expect_one_finding(check(joined(g)), 2, -1, "0 x 0");
}

TEST(LevelChecker, ALeastTrailLengthOfZero) {
  auto f = lines_of(level_file(usable_levels()));
  f[22 - 1] = "0";
  expect_one_finding(check(joined(f)), 22, 1, "least trail length is 0");
}

TEST(LevelChecker, AMissingEntryOrExitIsReportedAtTheLevelsFirstLine) {
  auto levels = usable_levels();
  levels[1].rows[4][2] = ' ';
  expect_one_finding(check(level_file(levels)), 22, 1, "no entry");

  levels = usable_levels();
  levels[0].rows[4][6] = ' ';
  expect_one_finding(check(level_file(levels)), 15, 0, "no exit");
}

TEST(LevelChecker, AHubWithoutAnEndCell) {
  auto levels = usable_levels();
  levels[0].rows[4][1] = ' ';
  expect_one_finding(check(level_file(levels)), 15, 0, "no end cell");
}

TEST(LevelChecker, AnEndCellOutsideTheHubIsNoFinding) {
  auto levels = usable_levels();
  levels[1].rows[4][5] = 'e';
  EXPECT_EQ(check(level_file(levels)).status, 0);
}

TEST(LevelChecker, ARepeatedLetterIsReportedAtTheOneThatCounts) {
  auto levels = usable_levels();
  levels[1].rows[2][4] = 'o';  // row 2 of level 1 (line 25); the later exit, row 4 (line 27), counts
  expect_one_finding(check(level_file(levels)), 27, 1, "second exit");

  levels = usable_levels();
  levels[0].rows[3][8] = 'e';  // row 3 is read first, so the end cell of row 4 (line 20) counts
  expect_one_finding(check(level_file(levels)), 20, 0, "second end cell");
}

TEST(LevelChecker, ASpecialCellOnTheBorder) {
  auto levels = usable_levels();
  levels[1].rows[4][2] = ' ';
  levels[1].rows[4][0] = 'i';  // row 4 of level 1: line 27
  expect_one_finding(check(level_file(levels)), 27, 1, "border");

  levels = usable_levels();
  levels[0].rows[4][1] = ' ';
  levels[0].rows[0][5] = 'e';  // row 0 of level 0: line 16
  expect_one_finding(check(level_file(levels)), 16, 0, "border");
}

TEST(LevelChecker, AnEntryOrExitWithNoFloorUnderIt) {
  auto levels = usable_levels();
  levels[1].rows[4][9] = ' ';
  levels[1].rows[3][9] = 'o';  // row 3 of level 1: line 26, open cell under it
  expect_one_finding(check(level_file(levels)), 26, 1, "no wall under");

  // A wall cell under it is a floor, wherever it stands.
  levels[1].rows[4][9] = 'x';
  EXPECT_EQ(check(level_file(levels)).status, 0);

  levels = usable_levels();
  levels[0].rows[4][3] = ' ';
  levels[0].rows[2][3] = 'i';  // row 2 of level 0: line 18
  expect_one_finding(check(level_file(levels)), 18, 0, "no wall under");
}

TEST(LevelChecker, AnEntryOrExitWithAWallWhereThePlayersHeadGoes) {
  auto levels = usable_levels();
  levels[1].rows[3][2] = 'x';  // above the entry of row 4 (line 27)
  expect_one_finding(check(level_file(levels)), 27, 1, "wall above");

  // Right under the top border the head is in the border.
  levels = usable_levels();
  levels[1].rows[4][9] = ' ';
  levels[1].rows[1][9] = 'o';
  levels[1].rows[2][9] = 'x';  // row 1 of level 1: line 24
  expect_one_finding(check(level_file(levels)), 24, 1, "wall above");
}

TEST(LevelChecker, AStoryLineWiderThanTheBoardCountsWideCharactersTwice) {
  // The board is 12 x 20 = 240 pixels; a character cell is 14 pixels.
  auto f = lines_of(level_file(usable_levels()));
  f[12 - 1] = std::string(17, 'a');  // 238 pixels: fits
  f[4 - 1] = "一二三四五六七八";           // 16 cells, 224 pixels: fits
  EXPECT_EQ(check(joined(f)).status, 0);

  f[12 - 1] = std::string(18, 'a');  // level 1, second half, line 2
  expect_one_finding(check(joined(f)), 12, 1, "252 pixels");

  f = lines_of(level_file(usable_levels()));
  f[4 - 1] = "一二三四五六七八九";  // level 0, line 2: 18 cells
  expect_one_finding(check(joined(f)), 4, 0, "252 pixels");
}

TEST(LevelChecker, ListsEveryFindingInOneRun) {
  auto levels = usable_levels();
  levels[0].least = 0;
  levels[1].rows[4][2] = ' ';
  ToolRun r = check(level_file(levels));
  EXPECT_EQ(r.status, 1);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0].rfind("tervalon.dat:15: level 0:", 0), 0u) << r.lines[0];
  EXPECT_EQ(r.lines[1].rfind("tervalon.dat:22: level 1:", 0), 0u) << r.lines[1];
}

// What the game's own loader does with the file: its exit status and the
// line it writes to standard error, from a child process.
struct GameVerdict {
  int status;
  std::string err;
};

GameVerdict game_loads(const std::string& dir) {
  std::string err_file = dir + "/.game-stderr";
  pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen(err_file.c_str(), "w", stderr) || chdir(dir.c_str()) != 0) _exit(127);
    load_levels("tervalon.dat");
    std::fflush(stderr);
    _exit(0);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  std::ostringstream err;
  err << std::ifstream(err_file).rdbuf();
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, err.str()};
}

void expect_game_error(const std::string& file) {
  std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", file);
  GameVerdict game = game_loads(dir);
  ASSERT_NE(game.status, 0) << "the game accepts this file";
  ToolRun r = run_in(dir, "'" + CHECKER + "' tervalon.dat");
  EXPECT_EQ(r.status, game.status);
  EXPECT_TRUE(r.lines.empty()) << r.lines[0];
  std::string first = game.err.substr(0, game.err.find('\n'));
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), first);
  EXPECT_NE(first.find("tervalon.dat"), std::string::npos) << first;
}

TEST(LevelChecker, AFileTheGameRejectsGivesTheGamesError) {
  auto f = lines_of(level_file(usable_levels()));
  f[22 - 1] = "15x";
  expect_game_error(joined(f));

  f = lines_of(level_file(usable_levels()));
  f[0] = "26";
  expect_game_error(joined(f));

  f = lines_of(level_file(usable_levels()));
  f[1] = "128 6";
  expect_game_error(joined(f));
}

TEST(LevelChecker, AMissingFileGivesTheGamesError) {
  std::string dir = make_temp_dir();
  GameVerdict game = game_loads(dir);
  ASSERT_NE(game.status, 0);
  ToolRun r = run_in(dir, "'" + CHECKER + "' tervalon.dat");
  EXPECT_EQ(r.status, game.status);
  EXPECT_TRUE(r.lines.empty());
  EXPECT_NE(r.err.find("tervalon.dat"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tervalon::test
