// tervalon-levels: every kind of finding names its level and file line, the
// exit codes, and files the game itself rejects; the checker library's job
// run in slices, cancelled, and on a file the loader refuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "../tools/run.h"
#include "game/check/check.h"
#include "game/check/slice.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

const std::string CHECKER = std::string(TERVALON_BINARY_DIR) + "/tools/tervalon-levels";

// A usable two-level file on a 12 x 6 board, where the first two story lines
// of each text are left empty: on a board this low they would be drawn over
// each other. Its lines: 1 the last level
// index, 2 the size, 3-6 level 0's text, 7-10 level 1's first half, 11-14 its
// second half, 15 level 0's least trail length, 16-21 its rows, 22 level 1's
// least trail length, 23-28 its rows.
std::vector<Level> usable_levels() {
  auto hub = room(12, 6, 3, 4, 6, 4);
  hub[4][1] = 'e';
  return {{1, hub}, {40, room(12, 6, 2, 4, 9, 4)}};
}

std::string file_of(const std::vector<Level>& levels);

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

std::string file_of(const std::vector<Level>& levels) {
  auto f = lines_of(level_file(levels));
  for (std::string& line : f)
    if (line.size() > 1 && line[0] == 'T' && line.back() <= '2') line.clear();
  return joined(f);
}

ToolRun check(const std::string& file, const std::string& args = "tervalon.dat") {
  std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", file);
  return run_in(dir, "'" + CHECKER + "' " + args);
}

// Exactly one finding, on this file line, naming the level (when there is
// one) and containing `what`.
std::vector<std::string> findings_of(const ToolRun& r) {
  std::vector<std::string> f;
  for (const std::string& line : r.lines)
    if (line.rfind("  ", 0) != 0) f.push_back(line);
  return f;
}

void expect_one_finding(ToolRun r, int line, int level, const std::string& what) {
  EXPECT_EQ(r.status, 1) << r.err;
  r.lines = findings_of(r);
  ASSERT_EQ(r.lines.size(), 1u) << (r.lines.empty() ? r.err : r.lines[0]);
  std::string prefix = "tervalon.dat:" + std::to_string(line) + ": ";
  if (level >= 0) prefix += "level " + std::to_string(level) + ": ";
  EXPECT_EQ(r.lines[0].rfind(prefix, 0), 0u) << r.lines[0] << "\nexpected to begin with " << prefix;
  EXPECT_NE(r.lines[0].find(what), std::string::npos) << r.lines[0];
}

TEST(LevelChecker, AUsableFileExitsZeroWithItsVerdictAndWhatWasProven) {
  ToolRun r = check(file_of(usable_levels()));
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(findings_of(r).size(), 1u);
  EXPECT_NE(r.lines[0].find("usable"), std::string::npos) << r.lines[0];
  ASSERT_EQ(r.lines.size(), 3u);
  EXPECT_NE(r.lines[1].find("level 0 (line 15): exit in "), std::string::npos) << r.lines[1];
  EXPECT_NE(r.lines[2].find("no one-way places"), std::string::npos) << r.lines[2];
  EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST(LevelChecker, ReadsTervalonDatInTheWorkingFolderByDefault) {
  ToolRun r = check(file_of(usable_levels()), "");
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_FALSE(r.lines.empty());
  EXPECT_EQ(r.lines[0].rfind("tervalon.dat:", 0), 0u) << r.lines[0];

  auto bad = lines_of(file_of(usable_levels()));
  bad[22 - 1] = "0";
  EXPECT_EQ(check(joined(bad), "").status, 1);
}

TEST(LevelChecker, MoreThanOneArgumentIsAUsageError) {
  ToolRun r = check(file_of(usable_levels()), "tervalon.dat tervalon.dat");
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.lines.empty());
  EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
}

TEST(LevelChecker, AHubAloneHasNoLevelToPlay) {
  auto hub = usable_levels()[0];
  expect_one_finding(check(file_of({hub})), 1, -1, "outside 1..25");
}

TEST(LevelChecker, ANegativeLastLevelIndex) {
  auto f = lines_of(file_of(usable_levels()));
  f[0] = "-1";
  expect_one_finding(check(joined(f)), 1, -1, "-1");
}

TEST(LevelChecker, AnEmptyBoard) {
  // 0 x 0 loads (no rows to read) but leaves nothing to stand on.
  auto f = lines_of(file_of(usable_levels()));
  std::vector<std::string> g(f.begin(), f.begin() + 14);
  g[1] = "0 0";
  g.push_back("1");
  g.push_back("40");
  expect_one_finding(check(joined(g)), 2, -1, "0 x 0");
}

TEST(LevelChecker, ALeastTrailLengthOfZero) {
  auto f = lines_of(file_of(usable_levels()));
  f[22 - 1] = "0";
  expect_one_finding(check(joined(f)), 22, 1, "least trail length is 0");
}

TEST(LevelChecker, AMissingEntryOrExitIsReportedAtTheLevelsFirstLine) {
  auto levels = usable_levels();
  levels[1].rows[4][2] = ' ';
  expect_one_finding(check(file_of(levels)), 22, 1, "no entry");

  levels = usable_levels();
  levels[0].rows[4][6] = ' ';
  expect_one_finding(check(file_of(levels)), 15, 0, "no exit");
}

TEST(LevelChecker, AHubWithoutAnEndCell) {
  auto levels = usable_levels();
  levels[0].rows[4][1] = ' ';
  expect_one_finding(check(file_of(levels)), 15, 0, "no end cell");
}

TEST(LevelChecker, AnEndCellOutsideTheHubIsNoFinding) {
  auto levels = usable_levels();
  levels[1].rows[4][5] = 'e';
  EXPECT_EQ(check(file_of(levels)).status, 0);
}

TEST(LevelChecker, ARepeatedLetterIsReportedAtTheOneThatCounts) {
  auto levels = usable_levels();
  levels[1].rows[2][4] = 'o';  // row 2 of level 1 (line 25); the later exit, row 4 (line 27), counts
  expect_one_finding(check(file_of(levels)), 27, 1, "second exit");

  levels = usable_levels();
  levels[0].rows[3][8] = 'e';  // row 3 is read first, so the end cell of row 4 (line 20) counts
  expect_one_finding(check(file_of(levels)), 20, 0, "second end cell");
}

TEST(LevelChecker, ASpecialCellOnTheBorder) {
  auto levels = usable_levels();
  levels[1].rows[4][2] = ' ';
  levels[1].rows[4][0] = 'i';  // row 4 of level 1: line 27
  expect_one_finding(check(file_of(levels)), 27, 1, "border");

  levels = usable_levels();
  levels[0].rows[4][1] = ' ';
  levels[0].rows[0][5] = 'e';  // row 0 of level 0: line 16
  expect_one_finding(check(file_of(levels)), 16, 0, "border");
}

TEST(LevelChecker, AnEntryOrExitWithNoFloorUnderIt) {
  auto levels = usable_levels();
  levels[1].rows[4][9] = ' ';
  levels[1].rows[3][9] = 'o';  // row 3 of level 1: line 26, open cell under it
  expect_one_finding(check(file_of(levels)), 26, 1, "no wall under");

  // A wall cell under it is a floor, wherever it stands.
  levels[1].rows[4][9] = 'x';
  EXPECT_EQ(check(file_of(levels)).status, 0);

  levels = usable_levels();
  levels[0].rows[4][3] = ' ';
  levels[0].rows[2][3] = 'i';  // row 2 of level 0: line 18
  expect_one_finding(check(file_of(levels)), 18, 0, "no wall under");
}

TEST(LevelChecker, AnEntryOrExitWithAWallWhereThePlayersHeadGoes) {
  auto levels = usable_levels();
  levels[1].rows[3][2] = 'x';  // above the entry of row 4 (line 27)
  expect_one_finding(check(file_of(levels)), 27, 1, "wall above");

  // Right under the top border the head is in the border.
  levels = usable_levels();
  levels[1].rows[4][9] = ' ';
  levels[1].rows[1][9] = 'o';
  levels[1].rows[2][9] = 'x';  // row 1 of level 1: line 24
  expect_one_finding(check(file_of(levels)), 24, 1, "wall above");
}

TEST(LevelChecker, AStoryLineWiderThanTheBoardCountsWideCharactersTwice) {
  // The board is 12 x 20 = 240 pixels; a character cell is 14 pixels.
  auto f = lines_of(file_of(usable_levels()));
  f[12 - 1] = std::string(17, 'a');  // 238 pixels: fits
  f[4 - 1] = "一二三四五六七八";     // 16 cells, 224 pixels: fits
  EXPECT_EQ(check(joined(f)).status, 0);

  f[12 - 1] = std::string(18, 'a');  // level 1, second half, line 2
  expect_one_finding(check(joined(f)), 12, 1, "252 pixels");

  f = lines_of(file_of(usable_levels()));
  f[4 - 1] = "一二三四五六七八九";  // level 0, line 2: 18 cells
  expect_one_finding(check(joined(f)), 4, 0, "252 pixels");
}

TEST(LevelChecker, ListsEveryFindingInOneRun) {
  auto levels = usable_levels();
  levels[0].least = 0;
  levels[1].rows[4][2] = ' ';
  ToolRun r = check(file_of(levels));
  EXPECT_EQ(r.status, 1);
  r.lines = findings_of(r);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[0].rfind("tervalon.dat:15: level 0:", 0), 0u) << r.lines[0];
  EXPECT_EQ(r.lines[1].rfind("tervalon.dat:22: level 1:", 0), 0u) << r.lines[1];
}

TEST(LevelChecker, ARowOfTheWrongLengthIsNamedByItsOwnLineBeforeTheLoaderRuns) {
  auto f = lines_of(file_of(usable_levels()));
  f[26 - 1].pop_back();  // level 1, row 3: 11 cells; the loader would read on into line 27
  f[18 - 1] += "xx";     // level 0, row 2: 14 cells
  ToolRun r = check(joined(f));
  EXPECT_EQ(r.status, 1) << r.err;
  ASSERT_EQ(r.lines.size(), 2u) << r.err;
  EXPECT_EQ(r.lines[0], "tervalon.dat:18: level 0, row 2 (line 18): 14 cells, the board is 12 wide");
  EXPECT_EQ(r.lines[1], "tervalon.dat:26: level 1, row 3 (line 26): 11 cells, the board is 12 wide");

  // A level with a row too many: its last row stands where the next level's
  // least trail length belongs.
  f = lines_of(file_of(usable_levels()));
  f.insert(f.begin() + 21, std::string(12, 'x'));
  expect_one_finding(check(joined(f)), 22, 1, "level 0 has more than 6 rows");
}

TEST(LevelChecker, StoryLinesDrawnOverEachOtherOrOffTheBoard) {
  // On a 6-row board (120 pixels) line 1 is pushed to the top edge, onto line 2.
  auto f = lines_of(file_of(usable_levels()));
  f[3 - 1] = "你好。";
  f[4 - 1] = "欢迎回家。";
  expect_one_finding(check(joined(f)), 4, 0, "story line 2 is drawn over line 1");

  // On a 2-row board (40 pixels) the last line starts below the middle and
  // runs off the bottom.
  Level hub{1, {"xxxxxxxxxxxx", "xe i    o  x"}}, one{1, {"xxxxxxxxxxxx", "x i    o   x"}};
  f = lines_of(file_of({hub, one}));
  f[6 - 1] = "T0.1.4";
  ToolRun r = check(joined(f));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.lines[0].find("tervalon.dat:6: level 0: story line 4 leaves the board at the bottom"), std::string::npos)
      << r.lines[0];
}

// A 16 x 16 room with the entry and exit on the floor, and one with the end cell.
Level tall_room() { return {40, room(16, 16, 2, 14, 13, 14)}; }
Level tall_hub() {
  Level hub = tall_room();
  hub.least = 1;
  hub.rows[14][7] = 'e';
  return hub;
}

TEST(LevelChecker, ReachabilityFromThePlayersOwnStep) {
  // The exit walled in: a low room with no way in; the entry on a step, so
  // that the way back starts elsewhere.
  Level shut = tall_room();
  shut.rows[13][2] = 'i';
  shut.rows[14][2] = 'x';
  shut.rows[12] = "x         xxxxxx";
  shut.rows[13][10] = shut.rows[14][10] = 'x';
  ToolRun r = check(file_of({tall_hub(), shut}));
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> f = findings_of(r);
  ASSERT_EQ(f.size(), 2u) << (f.empty() ? r.err : f[0]);
  EXPECT_NE(f[0].find("level 1: the exit, from the entry, cannot be reached"), std::string::npos) << f[0];
  EXPECT_NE(f[1].find("level 1: the entry, from the exit, cannot be reached"), std::string::npos) << f[1];

  // A door into it, just high enough for the player: reachable both ways.
  shut.rows[13][10] = shut.rows[14][10] = ' ';
  r = check(file_of({tall_hub(), shut}));
  EXPECT_EQ(r.status, 0) << (r.lines.empty() ? r.err : r.lines[0]);
}

TEST(LevelChecker, AOneWayPlaceIsOneThePlayerCannotLeaveForTheGoal) {
  // The entry and exit on a floor with a hole in it over a hall too high and
  // too wide to climb back out of.
  Level hub{1, room(24, 16, 2, 14, 13, 14)};
  hub.rows[14][7] = 'e';
  Level hole{40, {std::string(24, 'x'), std::string(24, ' '), std::string(24, ' '), std::string(24, 'x')}};
  hole.rows[2][2] = 'i';
  hole.rows[2][5] = 'o';
  hole.rows[3][12] = ' ';
  for (int y = 4; y < 15; ++y) hole.rows.push_back(std::string(24, ' '));
  hole.rows.push_back(std::string(24, 'x'));
  ToolRun r = check(file_of({hub, hole}));
  std::vector<std::string> f = findings_of(r);
  EXPECT_EQ(r.status, 1);
  ASSERT_EQ(f.size(), 2u) << (f.empty() ? r.err : f[0]);
  EXPECT_NE(f[0].find("level 1: a one-way place: standing at column "), std::string::npos) << f[0];
  EXPECT_NE(f[0].find("reached from the entry, the exit is never reached from there"), std::string::npos) << f[0];
  EXPECT_NE(f[1].find("reached from the exit, the entry is never reached from there"), std::string::npos) << f[1];
}

TEST(LevelChecker, ASearchOutOfItsBudgetSaysSoInsteadOfGuessing) {
  ToolRun r = check(file_of(usable_levels()), "--budget 50 tervalon.dat");
  EXPECT_EQ(r.status, 1);
  std::vector<std::string> f = findings_of(r);
  ASSERT_FALSE(f.empty());
  for (const std::string& line : f) EXPECT_NE(line.find("budget"), std::string::npos) << line;
  // The proof lines say in words what was not proven.
  std::size_t proofs = 0, unproven = 0;
  for (const std::string& line : r.lines) {
    if (line.rfind("  level ", 0) != 0) continue;
    ++proofs;
    EXPECT_EQ(line.find("-1"), std::string::npos) << line;
    if (line.find("not proven") != std::string::npos) ++unproven;
  }
  EXPECT_EQ(proofs, 2u);
  EXPECT_GE(unproven, 1u);

  // Enough to reach every goal, not to know the one-way places.
  f = findings_of(check(file_of(usable_levels()), "--budget 8000 tervalon.dat"));
  ASSERT_EQ(f.size(), 2u);
  for (std::size_t l = 0; l < 2; ++l)
    EXPECT_NE(f[l].find("level " + std::to_string(l) + ": one-way places not known"), std::string::npos) << f[l];
}

// Run under `timeout`: a budget that once sent the search round forever
// fails the test instead of hanging it.
ToolRun check_briefly(const std::string& file, const std::string& args, const std::string& before = "") {
  std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", file);
  return run_in(dir, before + "timeout 60 '" + CHECKER + "' " + args);
}

TEST(LevelChecker, ABudgetIsAWholeNumberOfStatesInItsDocumentedRange) {
  for (const char* budget : {"0", "-1", "+5", "1e9", "4294967296", "99999999999999999999", "700000001", " 9", ""}) {
    ToolRun r = check_briefly(file_of(usable_levels()), "--budget '" + std::string(budget) + "' tervalon.dat");
    EXPECT_EQ(r.status, 2) << budget;
    EXPECT_TRUE(r.lines.empty()) << budget;
    EXPECT_EQ(r.err.rfind("usage: tervalon-levels", 0), 0u) << budget << ": " << r.err;
  }
  EXPECT_EQ(check_briefly(file_of(usable_levels()), "tervalon.dat --budget").status, 2);
  EXPECT_EQ(check_briefly(file_of(usable_levels()), "--budget 700000000 tervalon.dat").status, 0);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool SANITIZED = true;  // the sanitizers reserve terabytes of address space
#else
constexpr bool SANITIZED = false;
#endif

TEST(LevelChecker, MemoryFollowsTheStatesFoundNotTheBudget) {
  if (SANITIZED) GTEST_SKIP() << "a memory limit cannot be set under a sanitizer";
  // The largest budget on a small file, in 512 MB of address space.
  ToolRun r = check_briefly(file_of(usable_levels()), "--budget 700000000 tervalon.dat", "ulimit -v 524288; ");
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST(LevelChecker, HelpAndVersionGoToStandardOutput) {
  ToolRun r = check("", "--help");
  EXPECT_EQ(r.status, 0);
  ASSERT_FALSE(r.lines.empty());
  EXPECT_EQ(r.lines[0], "usage: tervalon-levels [--budget STATES] [FILE]   (default ./tervalon.dat)");
  EXPECT_TRUE(r.err.empty()) << r.err;

  r = check("", "--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.lines, std::vector<std::string>{"tervalon-levels " TERVALON_VERSION});
  EXPECT_TRUE(r.err.empty()) << r.err;

  EXPECT_EQ(check("", "--verbose").status, 2);
}

TEST(LevelChecker, TheDocumentedExampleIsARealFileTheCheckerPasses) {
  std::string source = TERVALON_SOURCE_DIR;
  std::ostringstream example, guide;
  example << std::ifstream(source + "/docs/example.dat").rdbuf();
  guide << std::ifstream(source + "/docs/levels.md").rdbuf();
  ASSERT_FALSE(example.str().empty());
  EXPECT_NE(guide.str().find("```\n" + example.str() + "```"), std::string::npos)
      << "docs/levels.md does not show docs/example.dat as it is";
  ToolRun r = check(example.str());
  EXPECT_EQ(r.status, 0) << (r.lines.empty() ? r.err : r.lines[0]);
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
  auto f = lines_of(file_of(usable_levels()));
  f[22 - 1] = "15x";
  expect_game_error(joined(f));

  f = lines_of(file_of(usable_levels()));
  f[0] = "26";
  expect_game_error(joined(f));

  f = lines_of(file_of(usable_levels()));
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

TEST(LevelChecker, OnlyARegularFileIsReadAndNoExceptionEscapes) {
  // A folder, a device, a FIFO: the game's own refusal, in its words.
  std::string dir = make_temp_dir();
  ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0700), 0);
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir + "/zero").c_str()), 0);
  for (const char* name : {"folder", "zero", "fifo"}) {
    ASSERT_EQ(rename((dir + "/" + name).c_str(), (dir + "/tervalon.dat").c_str()), 0);
    GameVerdict game = game_loads(dir);
    ToolRun r = run_in(dir, "timeout 60 '" + CHECKER + "' tervalon.dat");
    EXPECT_NE(game.status, 0) << name;
    EXPECT_EQ(r.status, game.status) << name << ": " << r.err;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), game.err.substr(0, game.err.find('\n'))) << name;
    ASSERT_EQ(std::system(("rm -r '" + dir + "/tervalon.dat'").c_str()), 0);
  }

  // A symbolic link to a regular file is read through.
  write_file(dir, "real.dat", file_of(usable_levels()));
  ASSERT_EQ(symlink("real.dat", (dir + "/tervalon.dat").c_str()), 0);
  EXPECT_EQ(run_in(dir, "'" + CHECKER + "' tervalon.dat").status, 0);

  // Out of memory is said in words, with its documented status.
  if (SANITIZED) return;
  ASSERT_EQ(truncate((dir + "/real.dat").c_str(), 1LL << 30), 0);  // a gigabyte of holes
  ToolRun r = run_in(dir, "ulimit -v 262144; '" + CHECKER + "' tervalon.dat");
  EXPECT_EQ(r.status, 203) << r.err;
  EXPECT_EQ(r.err, "tervalon-levels: out of memory; a lower --budget needs less\n");
}

// The checker as a library.

// A report in words, without the time its searches took.
std::string words(const CheckReport& r) {
  std::string s = r.cancelled ? "cancelled\n" : "";
  for (const LevelFinding& f : r.refused) s += f.text() + " (" + std::to_string(f.code) + ")\n";
  for (const CheckFinding& f : r.findings) s += std::to_string(f.line) + ": " + f.what + "\n";
  for (LevelProof p : r.proofs) {
    p.reach.seconds = 0;
    s += proof_line(p) + "\n";
    for (const auto* cells : {&p.reach.one_way_forward, &p.reach.one_way_backward})
      for (Cell c : *cells) s += " " + std::to_string(c.x) + "," + std::to_string(c.y);
  }
  for (const StageSlack& st : r.slack) {
    s += "\n" + slack_line(st) + ":";
    for (const PressSlack& p : st.presses)
      s += " " + std::to_string(p.line) + "/" + std::to_string(p.earlier) + "/" + std::to_string(p.later);
  }
  return s;
}

Solution solution(const std::string& name, const std::string& text) {
  Solution s{name, {}, true};
  std::istringstream in(text);
  std::string line, why;
  Command c;
  for (std::size_t n = 1; std::getline(in, line); ++n)
    if (parse_command(line, c, why) && c.op != Command::Op::none) s.lines.push_back({c, n});
  return s;
}

// A hub with a short corridor and a level whose floor has a hole into a hall
// too deep to climb back out of: one-way places both ways.
std::string one_way_file() {
  std::vector<std::string> hub(16, std::string(20, 'x')), pit = room(20, 16, 2, 2, 5, 2);
  for (int y : {12, 13, 14}) hub[y] = "x                  x";
  hub[14] = "xe i  o            x";
  pit[3] = "xxxxxxxxxx xxxxxxxxx";
  return file_of({{1, hub}, {40, pit}});
}

// The usable levels with a solution for the hub and one for level 1 forward.
CheckSettings with_solutions() {
  CheckSettings s;
  const std::string stage = "frames 80\ndown 32\nup 32\nframes 70\n";
  s.solutions = {solution("hub", "down right\nframes 20\nup right\n" + stage),
                 solution("one", "down right\nframes 40\nup right\n" + stage)};
  return s;
}

TEST(CheckJob, RunInSmallSlicesItReportsWhatOneRunDoes) {
  const CheckReport one_way = check_all(one_way_file(), "tervalon.dat", {});
  const CheckReport measured = check_all(file_of(usable_levels()), "tervalon.dat", with_solutions());
  for (const auto& [file, settings, whole] : {std::tuple{one_way_file(), CheckSettings{}, &one_way},
                                              std::tuple{file_of(usable_levels()), with_solutions(), &measured}}) {
    CheckJob job(file, "tervalon.dat", settings);
    int slices = 1;
    while (!job.run(Slice::of(5000))) ++slices;
    EXPECT_GT(slices, 10);
    EXPECT_TRUE(job.done());
    EXPECT_EQ(words(job.report()), words(*whole));
    EXPECT_EQ(whole->proofs.size(), 2u);
  }
  // What a whole run says. Every cell of the hall's floor is one-way, both
  // ways, and nothing else.
  std::string floor;
  for (int x = 1; x <= 18; ++x) floor += " " + std::to_string(x) + ",14";
  EXPECT_EQ(words(one_way),
            "47: level 1: a one-way place: standing at column 1, row 14, reached from the entry, the exit is never "
            "reached from there (and 17 more cells)\n"
            "47: level 1: a one-way place: standing at column 1, row 14, reached from the exit, the entry is never "
            "reached from there (and 17 more cells)\n"
            "level 0 (line 15): exit in 20 frames, end cell in 10 frames; no one-way places (11412 states, 0.00 s)\n"
            "level 1 (line 32): exit from the entry in 20 frames, entry from the exit in 17 frames "
            "(334976 states, 0.00 s)\n" +
                floor + floor);
  EXPECT_TRUE(measured.usable()) << words(measured);
  EXPECT_NE(
      words(measured).find("\nhub: level 0 hub, 170 frames, 1 press; tightest at line 1: 10 frames earlier, 4 later"),
      std::string::npos);
  ASSERT_EQ(measured.slack.size(), 2u);
  EXPECT_TRUE(measured.slack[1].finished);
  EXPECT_EQ(measured.slack[1].pass, 1);
}

TEST(CheckJob, ACancelledJobEndsAtOnceAndANewOneRunsToTheEnd) {
  CheckJob job(one_way_file(), "tervalon.dat", {});
  ASSERT_FALSE(job.run(Slice::of(1000)));
  job.cancel();
  EXPECT_TRUE(job.run(Slice::whole()));
  EXPECT_TRUE(job.report().cancelled);
  EXPECT_FALSE(job.report().usable());
  EXPECT_LT(job.report().proofs.size(), 2u);

  CheckJob again(one_way_file(), "tervalon.dat", {});
  EXPECT_TRUE(again.run(Slice::whole()));
  EXPECT_FALSE(again.report().cancelled);
  EXPECT_EQ(words(again.report()), words(check_all(one_way_file(), "tervalon.dat", {})));
}

// A cancel stops a job within the piece of work it is doing.
TEST(CheckJob, AMeterIsSpentOnceItsJobIsCancelled) {
  std::atomic<bool> cancelled{false};
  Meter m(Slice::whole(), cancelled);
  m.use(1);
  EXPECT_FALSE(m.spent());
  cancelled = true;
  EXPECT_TRUE(m.spent());
}

// The loader's refusal comes back as findings, with the game's words, line
// and run-time error; the test process goes on.
TEST(CheckJob, AFileTheLoaderRefusesGivesItsFindingsWithoutStopping) {
  auto f = lines_of(file_of(usable_levels()));
  f[22 - 1] = "15x";
  CheckReport r = check_all(joined(f), "levels.dat", {});
  ASSERT_EQ(r.refused.size(), 1u);
  EXPECT_EQ(r.refused[0].text(), "levels.dat:22: \"15x\" is not a whole number");
  EXPECT_EQ(r.refused[0].code, 106);
  EXPECT_TRUE(r.findings.empty());

  r = check_all("26\n4 3\n", "levels.dat", {});
  ASSERT_EQ(r.refused.size(), 1u);
  EXPECT_EQ(r.refused[0].line, 1u);
  EXPECT_EQ(r.refused[0].code, 201);

  // A short row is the checker's own finding, found before the loader reads.
  f = lines_of(file_of(usable_levels()));
  f[26 - 1].pop_back();
  r = check_all(joined(f), "levels.dat", {});
  EXPECT_TRUE(r.refused.empty());
  ASSERT_EQ(r.findings.size(), 1u);
  EXPECT_EQ(r.findings[0].line, 26u);
  EXPECT_EQ(r.findings[0].level, 1);
}

}  // namespace
}  // namespace tervalon::test
