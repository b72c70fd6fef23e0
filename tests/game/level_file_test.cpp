// The level file: reading rules, special cells, the border, the cheat marker,
// every way a file stops the program, and the same faults as findings when
// the file is read from its bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/file.h"
#include "base/sha256.h"
#include "game/replay/script.h"
#include "game/rules/level_rows.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

namespace fs = std::filesystem;

// A file with one level of 4 x 3 cells and the given body after the sizes.
std::string small_file(const std::string& level0_rows, const std::string& least = "1") {
  return "0\n4 3\na\nb\nc\nd\n" + least + "\n" + level0_rows;
}

TEST(LevelFile, ReadsSizesTextsAndBoards) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  LevelFileMap map;
  load(g, level_file({{7, {"xxxxx", "xi ox", "x e x", "xxxxx"}}, {9, {"xxxxx", "x oix", "x   x", "xxxxx"}}}), &map);
  EXPECT_EQ(g.BDLN, 1);
  EXPECT_EQ(g.BDW, 5);
  EXPECT_EQ(g.BDH, 4);
  EXPECT_EQ(g.STEXT[0][1][1], "T0.1.1");
  EXPECT_EQ(g.STEXT[1][1][4], "T1.1.4");
  EXPECT_EQ(g.STEXT[1][2][2], "T1.2.2");
  EXPECT_EQ(g.STPM[0], 7u);
  EXPECT_EQ(g.STPM[1], 9u);
  EXPECT_EQ(g.STPN[0] + g.STPN[1], 0u);  // no trail yet
  EXPECT_EQ(g.BDIX[0], 1);
  EXPECT_EQ(g.BDIY[0], 1);
  EXPECT_EQ(g.BDOX[0], 3);
  EXPECT_EQ(g.BDEX[0], 2);
  EXPECT_EQ(g.BDEY[0], 2);
  EXPECT_EQ(g.BDOX[1], 2);
  EXPECT_EQ(g.BDIX[1], 3);
  EXPECT_EQ(g.BD[0][1][1], 0);  // special cells are empty
  EXPECT_EQ(g.BD[0][2][2], 0);
  EXPECT_EQ(g.BDLV, 0);
  EXPECT_EQ(g.GSIT, 0);
  // Where things stand in the file: two header lines, 12 text lines, then level 0.
  EXPECT_EQ(map.levels_line, 1u);
  EXPECT_EQ(map.size_line, 2u);
  EXPECT_EQ(map.text_line[1][2][1], 11u);
  EXPECT_EQ(map.stpm_line[0], 15u);
  EXPECT_EQ(map.row_line[0][0], 16u);
  EXPECT_EQ(map.stpm_line[1], 20u);
}

TEST(LevelFile, NumbersSkipBlanksAndTheRestOfTheirLine) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  // Blank lines and blanks in front of numbers, words after them, the height
  // on a line of its own, tabs between width and height.
  load(g, "\n\n  0 levels follow\n4\t\n 3 cells high\na\nb\nc\nd\n\n\n  +5 is the least\nxxxx\nxiox\nxxxx\n");
  EXPECT_EQ(g.BDLN, 0);
  EXPECT_EQ(g.BDW, 4);
  EXPECT_EQ(g.BDH, 3);
  EXPECT_EQ(g.STEXT[0][1][1], "a");
  EXPECT_EQ(g.STPM[0], 5u);
  EXPECT_EQ(g.BDOX[0], 2);
}

TEST(LevelFile, LineBreaksLfCrLfAndCrReadTheSame) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  std::string lf = level_file({{3, {"xxxx", "xi x", "x ox", "xxxx"}}, {4, {"xxxx", "xo x", "xi x", "xxxx"}}});
  auto with = [&](const std::string& br) {
    std::string s;
    for (char c : lf) s += c == '\n' ? br : std::string(1, c);
    return s;
  };
  for (const std::string& br : {std::string("\r\n"), std::string("\r")}) {
    load(g, with(br));
    EXPECT_EQ(g.STPM[1], 4u) << "break " << (br.size() == 2 ? "CR LF" : "CR");
    EXPECT_EQ(g.STEXT[1][2][4], "T1.2.4");
    EXPECT_EQ(g.BDIY[1], 2);
    EXPECT_EQ(g.BDOX[0], 2);
    EXPECT_EQ(g.BDOY[0], 2);
  }
}

TEST(LevelFile, TextLinesKeep255BytesAndMayBeEmpty) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  std::string longline(300, 'q');
  load(g, "0\n4 3\n" + longline + "\n\nthird\xE7\x94\xB2\nfourth\n1\nxxxx\nxiox\nxxxx\n");
  EXPECT_EQ(g.STEXT[0][1][1], std::string(255, 'q'));
  EXPECT_EQ(g.STEXT[0][1][2], "");
  EXPECT_EQ(g.STEXT[0][1][3], "third\xE7\x94\xB2");  // bytes kept as they are
  EXPECT_EQ(g.STEXT[0][1][4], "fourth");
  EXPECT_EQ(g.STPM[0], 1u);
}

TEST(LevelFile, CellsAreOneByteEachAndRowsSkipTheirRest) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  // Five walls for a width of 4: the fifth byte is ignored. A short row takes
  // its line break as a cell and continues on the next line.
  load(g, small_file("xxxxx\nxi\nZZoZZZ\nxxxx\n"));
  EXPECT_EQ(g.BD[0][1][1], 0);
  EXPECT_EQ(g.BDIX[0], 1);
  // Row 1 is "xi", "\n", "Z": the "o" on the next line belongs to no row.
  EXPECT_EQ(g.BDOX[0], 0);
  EXPECT_EQ(g.BDOY[0], 0);
}

TEST(LevelFile, TheBorderIsAlwaysWallAndSpecialLettersStillRecord) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  load(g, small_file("    \ni  o\n  e \n"));
  for (int x = 0; x < 4; ++x) EXPECT_EQ(g.BD[0][x][0], 1) << x;
  for (int x = 0; x < 4; ++x) EXPECT_EQ(g.BD[0][x][2], 1) << x;
  for (int y = 0; y < 3; ++y) EXPECT_EQ(g.BD[0][0][y] + g.BD[0][3][y], 2) << y;
  EXPECT_EQ(g.BDIX[0], 0);  // on the border: recorded, but a wall
  EXPECT_EQ(g.BDOX[0], 3);
  EXPECT_EQ(g.BDEY[0], 2);
  EXPECT_EQ(g.BD[0][1][1], 0);
  EXPECT_EQ(g.BD[0][5][1], 0);  // outside the board nothing is written
}

TEST(LevelFile, OnlyLowerCaseXIsAWallAndTheLastLetterWins) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  LevelFileMap map;
  load(g, "0\n6 4\na\nb\nc\nd\n1\nxxxxxx\nxXo ox\nxo x x\nxxxxxx\n");
  EXPECT_EQ(g.BD[0][1][1], 0);  // "X" is not a wall
  EXPECT_EQ(g.BD[0][3][2], 1);
  EXPECT_EQ(g.BDOX[0], 1);  // the third "o", lower row
  EXPECT_EQ(g.BDOY[0], 2);
}

TEST(LevelFile, EndOfFileAndCtrlZ) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  // A file that ends inside the texts: missing lines are empty, the missing
  // least trail length is 0, missing cells are empty (then the border).
  load(g, "0\n4 3\nonly line\n");
  EXPECT_EQ(g.STEXT[0][1][1], "only line");
  EXPECT_EQ(g.STEXT[0][1][2], "");
  EXPECT_EQ(g.STPM[0], 0u);
  EXPECT_EQ(g.BD[0][1][1], 0);
  EXPECT_EQ(g.BD[0][0][0], 1);

  // Ctrl-Z ends numbers and text lines, but a cell read takes it as a byte
  // and reading goes on behind it.
  load(g,
       "0\n4 3\na\nb\x1A\n"
       "c\nd\n1\nxxxx\n");
  EXPECT_EQ(g.STEXT[0][1][2], "b");
  EXPECT_EQ(g.STEXT[0][1][3], "");
  EXPECT_EQ(g.STPM[0], 0u);
  // The first cell of the board is the Ctrl-Z itself; then "\n", "c", "\n".
  EXPECT_EQ(g.BD[0][1][1], 0);
}

TEST(LevelFile, SecondHalvesRunFromTheLastLevelDown) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  load(g, level_file({{1, {"xxx", "xix", "xxx"}},
                      {1, {"xxx", "xix", "xxx"}},
                      {1, {"xxx", "xix", "xxx"}},
                      {1, {"xxx", "xix", "xxx"}}}));
  EXPECT_EQ(g.BDLN, 3);
  EXPECT_EQ(g.STEXT[3][1][4], "T3.1.4");
  EXPECT_EQ(g.STEXT[3][2][1], "T3.2.1");
  EXPECT_EQ(g.STEXT[1][2][4], "T1.2.4");
  EXPECT_EQ(g.STEXT[0][2][1], "");  // level 0 has no second half
}

// A recording names the level file by the bytes that were loaded (all of
// them, the unread tail too), whatever the file on disk holds later.
TEST(LevelFile, TheHashIsOfTheBytesLoaded) {
  const std::string bytes = small_file("xxxx\nxiox\nxxxx\n", "500") + "notes after the last level\n";
  const std::string path = write_file(make_temp_dir(), "tervalon.dat", bytes);
  const std::unique_ptr<Game> g = load_levels(path);
  write_file(std::filesystem::path(path).parent_path(), "tervalon.dat", "");
  EXPECT_EQ(level_file_hash(*g), base::sha256_hex(bytes));
}

TEST(LevelFile, CheatMarkerMakesEveryLeastTrailLengthOne) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  // Under its UTF-8 name and under its GBK bytes; a folder counts too.
  for (const char* marker : {"\xE7\x94\xB2\xE4\xB9\x99", "\xBC\xD7\xD2\xD2"}) {
    std::string dir = make_temp_dir();
    ASSERT_EQ(mkdir((dir + "/" + marker).c_str(), 0755), 0);
    write_file(dir, "tervalon.dat", small_file("xxxx\nxiox\nxxxx\n", "500"));
    char old[4096];
    ASSERT_TRUE(getcwd(old, sizeof old));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    g = *INITBD();
    ASSERT_EQ(chdir(old), 0);
    EXPECT_TRUE(g.CHEAT);
    EXPECT_EQ(g.STPM[0], 1u);
  }
  load(g, small_file("xxxx\nxiox\nxxxx\n", "500"));
  EXPECT_FALSE(g.CHEAT);
  EXPECT_EQ(g.STPM[0], 500u);
}

TEST(LevelFile, LargestBoardAndLevelCount) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  std::vector<Level> levels(26, Level{1, std::vector<std::string>(127, std::string(127, ' '))});
  levels[25].rows[5][7] = 'i';
  load(g, level_file(levels));
  EXPECT_EQ(g.BDLN, 25);
  EXPECT_EQ(g.BDW, 127);
  EXPECT_EQ(g.BD[25][126][126], 1);
  EXPECT_EQ(g.BD[25][125][125], 0);
  EXPECT_EQ(g.BDIX[25], 7);
  EXPECT_EQ(g.STEXT[25][2][1], "T25.2.1");
}

// A file that stops the program: its exit code and the line on standard error.
void expect_stop(const std::string& content, int code, const std::string& message) {
  Game g;
  EXPECT_EXIT(load(g, content), testing::ExitedWithCode(code), message) << content;
}

TEST(LevelFileDeathTest, BadNumbersStopWith106AndNameTheLine) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  expect_stop("0\n15x 3\n", 106, "tervalon.dat:2: \"15x\" is not a whole number\nRuntime error 106 at \\$");
  expect_stop("0\n4 3\na\nb\nc\nd\n-1\n", 106, ":7: \"-1\" is negative");
  expect_stop("0\n4 3\na\nb\nc\nd\n4294967296\n", 106, "does not fit 32 bits");
  expect_stop("0\n2147483648 3\n", 106, ":2: \"2147483648\" does not fit 32 bits");
  expect_stop("0\n-2147483649 3\n", 106, ":2: \"-2147483649\" does not fit 32 bits");
  // Digits past 32 bits no longer count: 2^64 + 5 must not wrap around to 5.
  expect_stop("0\n4 3\na\nb\nc\nd\n18446744073709551621\n", 106, "does not fit 32 bits");
  expect_stop("0\n4 +\n", 106, "\"\\+\" is not a whole number");
  expect_stop("0\n4 3!\n", 106, ":2: \"3!\" is not a whole number");
  expect_stop("0\n4 0x10\n", 106, "is not a whole number");
  // A missing least trail length: the number read takes the first board row.
  expect_stop("0\n4 3\na\nb\nc\nd\nxxxx\nxiox\nxxxx\n", 106, ":7: \"xxxx\" is not a whole number");
  // Unprintable bytes are shown escaped, long tokens cut.
  expect_stop("\x01\x7F\xFFzz", 106, ":1: \"\\\\x7F\\\\xFFzz\" is not");
  expect_stop(std::string(100, 'z'), 106, "zzzzz...\" is not");
  expect_stop(std::string(40, 'z'), 106, ":1: \"z{40}\" is not");
  // Lines counted across CR line breaks too.
  expect_stop("0\r4 3\ra\rb\rc\rd\r-1\r", 106, ":7: \"-1\" is negative");
}

// The largest number loads (one more stops, below).
TEST(LevelFile, NumbersUpTo32BitsLoad) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  load(g, small_file("xxxx\nxiox\nxxxx\n", "4294967295"));
  EXPECT_EQ(g.STPM[0], 4294967295u);
  load(g, small_file("xxxx\nxiox\nxxxx\n", "0000000000000000000007"));
  EXPECT_EQ(g.STPM[0], 7u) << "leading zeros";
}

TEST(LevelFile, TheFileIsClosedAfterLoading) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  auto open_files = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
  auto before = open_files();
  load(g, small_file("xxxx\nxiox\nxxxx\n"));
  EXPECT_EQ(open_files(), before);
  // With standard input closed the file gets descriptor 0, closed all the same.
  int input = dup(0);
  close(0);
  load(g, small_file("xxxx\nxiox\nxxxx\n"));
  EXPECT_EQ(open_files(), before);
  dup2(input, 0);
  close(input);
}

TEST(LevelFile, ABoardOneRowHighIsAllBorder) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  load(g, "1\n5 1\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n3\n io e\n4\nxxoix\n");
  EXPECT_EQ(g.BDH, 1);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(g.BD[0][x][0], 1) << x;
  EXPECT_EQ(g.BD[0][1][1], 0);  // nothing below the one row
  EXPECT_EQ(g.BDIX[0], 1);
  EXPECT_EQ(g.BDOX[0], 2);
  EXPECT_EQ(g.BDEX[0], 4);
  EXPECT_EQ(g.STPM[1], 4u);  // the next level's number follows the one row
  EXPECT_EQ(g.BDOX[1], 2);
  EXPECT_EQ(g.BDIX[1], 3);
  EXPECT_EQ(g.BDIY[1], 0);
}

TEST(LevelFileDeathTest, RangesStopWith201) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  expect_stop("128\n", 201, ":1: the last level index 128 is outside -128..127\nRuntime error 201");
  expect_stop("127\n4 3\n", 201, ":1: the last level index 127 is above 25");
  expect_stop("0\n4 -129\n", 201, ":2: the board height -129 is outside");
  expect_stop("0\n300 3x\n", 201, ":2: the board width 300 is outside");  // before the height is read
  // The 32-bit extremes pass the number check and stop at the range check.
  expect_stop("0\n-2147483648 3\n", 201, ":2: the board width -2147483648 is outside -128..127");
  expect_stop("0\n4 2147483647\n", 201, ":2: the board height 2147483647 is outside");
  expect_stop("26\n4 3\n", 201, ":1: the last level index 26 is above 25");
  expect_stop("0\n4 0\na\nb\nc\nd\n1\n", 201, "the board is 4 x 0 cells: both sides must be at least 1");
  expect_stop("0\n0 3\na\nb\nc\nd\n1\n\n\n\n", 201, "the board is 0 x 3 cells");
}

// Two levels of 4 x 3 cells: level 0's rows on lines 16..18, level 1's least
// trail length on line 19 and its rows on lines 20..22.
std::string two_levels(const std::string& rows0, const std::string& least1 = "1") {
  return "1\n4 3\na\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\nl\n1\n" + rows0 + least1 + "\nxxxx\nxiox\nxxxx\n";
}

// A short row makes the loader read on across its line break and stop lines
// below it; the row is named first, in the checker's words.
TEST(LevelFileDeathTest, ARowOfTheWrongLengthIsNamedBeforeTheLoadersStop) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  const std::string short_row = two_levels("xxxx\nxio\nxxxx\n");
  std::string crlf;
  for (char c : short_row) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (const std::string& file : {short_row, crlf}) {
    std::vector<RowFinding> rows = scan_rows(split_lines(file));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].line, 17u);
    EXPECT_EQ(rows[0].what, "level 0, row 1 (line 17): 3 cells, the board is 4 wide");
  }
  // (With CR LF the row's CR fills it up: that file loads.)
  expect_stop(short_row, 106,
              "tervalon.dat:17: level 0, row 1 \\(line 17\\): 3 cells, the board is 4 wide\n"
              "[^\n]*tervalon.dat:21: \"xiox\" is not a whole number\nRuntime error 106 at");
  // A long row and a row too many, found where the next number should be.
  std::vector<RowFinding> rows = scan_rows(split_lines(two_levels("xxxxx\nxiox\nxxxx\nxxxx\n")));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].what, "level 0, row 0 (line 16): 5 cells, the board is 4 wide");
  EXPECT_EQ(rows[1].line, 19u);
  EXPECT_EQ(rows[1].what,
            "level 1: a board row stands where the least trail length belongs: level 0 has more than 3 rows");
  // A row below the line the loader stops at is not what stopped it.
  std::string negative = two_levels("xxxx\nxiox\nxxxx\n");
  negative.replace(negative.find("\n1\nxxxx") + 1, 1, "-1").replace(negative.rfind("xiox"), 4, "xio");
  ASSERT_FALSE(scan_rows(split_lines(negative)).empty());
  expect_stop(negative, 106, "^[^\n]*tervalon.dat:15: \"-1\" is negative");
}

// Read from its bytes, a file that would stop the program gives the same
// words as findings instead, with their lines and the run-time error, and
// keeps what was read before the fault; the test process goes on.
TEST(LevelFile, ParsingBytesGivesFindingsInsteadOfStopping) {
  struct Case {
    std::string bytes;
    std::vector<std::string> said;  // LevelFinding::text() of each
    int code;
  };
  const std::vector<Case> cases = {
      {"0\n15x 3\n", {"f.dat:2: \"15x\" is not a whole number"}, 106},
      {"0\r4 3\ra\rb\rc\rd\r-1\r", {"f.dat:7: \"-1\" is negative; a least trail length is 0 or more"}, 106},
      {"127\n4 3\n", {"f.dat:1: the last level index 127 is above 25: a file holds at most 26 levels, 0..25"}, 201},
      {"0\n300 3x\n", {"f.dat:2: the board width 300 is outside -128..127"}, 201},
      {"0\n4 0\na\nb\nc\nd\n1\n", {"f.dat:2: the board is 4 x 0 cells: both sides must be at least 1"}, 201},
      {two_levels("xxxx\nxio\nxxxx\n"),
       {"f.dat:17: level 0, row 1 (line 17): 3 cells, the board is 4 wide", "f.dat:21: \"xiox\" is not a whole number"},
       106},
  };
  for (const Case& c : cases) {
    const LevelParse p = parse_levels(c.bytes, "f.dat");
    ASSERT_FALSE(p.ok()) << c.bytes;
    ASSERT_NE(p.game, nullptr);
    std::vector<std::string> said;
    for (const LevelFinding& f : p.findings) said.push_back(f.text());
    EXPECT_EQ(said, c.said);
    EXPECT_EQ(p.findings.back().code, c.code) << c.bytes;
  }
  // Level 0 was read whole before level 1's bad least trail length.
  const LevelParse p = parse_levels(two_levels("xxxx\nxiox\nxxxx\n", "-1"), "f.dat");
  ASSERT_EQ(p.findings.size(), 1u);
  EXPECT_EQ(p.findings[0].line, 19u);
  EXPECT_EQ(p.game->STPM[0], 1u);
  EXPECT_EQ(p.game->BDOX[0], 2);
  EXPECT_EQ(p.map.row_line[0][2], 18u);
}

// The bytes read as the file of the same bytes loads, the cheat marker told.
TEST(LevelFile, ParsingBytesReadsWhatLoadingTheFileReads) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  LevelFileMap map;
  const std::string bytes = level_file({{7, {"xxxxx", "xi ox", "x e x", "xxxxx"}},
                                        {9, {"xxxxx", "x oix", "x   x", "xxxxx"}}}) +
                            "notes\n";
  load(g, bytes, &map);
  const LevelParse p = parse_levels(bytes, "f.dat", true);
  ASSERT_TRUE(p.ok());
  const Game& h = *p.game;
  EXPECT_EQ(h.STEXT[1][2][3], g.STEXT[1][2][3]);
  EXPECT_EQ(h.BDIX[1], g.BDIX[1]);
  EXPECT_EQ(h.BD[1][3][2], g.BD[1][3][2]);
  EXPECT_EQ(h.level_file_sha256, g.level_file_sha256);
  EXPECT_EQ(h.W, g.W);
  EXPECT_EQ(p.map.row_line[1][3], map.row_line[1][3]);
  EXPECT_EQ(p.map.text_line[1][2][4], map.text_line[1][2][4]);
  EXPECT_TRUE(h.CHEAT);
  EXPECT_EQ(h.STPM[1], 1u);
}

TEST(LevelFile, BothSidesBelowOneLoadWithoutACell) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  load(g, "0\n0 0\na\nb\nc\nd\n1\n");
  EXPECT_EQ(g.BDW, 0);
  EXPECT_EQ(g.BD[0][0][0], 0);
  load(g, "-1\n-5 -5\n");
  EXPECT_EQ(g.BDLN, -1);
  EXPECT_EQ(g.BDW, -5);
}

TEST(LevelFileDeathTest, OpenFailuresStopWithTheSystemCode) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  std::string dir = make_temp_dir();
  EXPECT_EXIT(load_levels(dir + "/missing.dat"), testing::ExitedWithCode(2),
              "missing.dat: cannot open: No such file or directory\nRuntime error 2 at");
  EXPECT_EXIT(load_levels(dir), testing::ExitedWithCode(EISDIR), "cannot open: Is a directory");
  if (geteuid() != 0) {  // root reads anything
    std::string locked = write_file(dir, "locked.dat", "0\n");
    chmod(locked.c_str(), 0);
    EXPECT_EXIT(load_levels(locked), testing::ExitedWithCode(EACCES), "Permission denied");
  }
  // A regular file that opens and fails to read, named without a line.
  EXPECT_EXIT(load_levels("/proc/self/mem"), testing::ExitedWithCode(EIO),
              "^/proc/self/mem: cannot read: Input/output error\nRuntime error 5 at");
}

// A FIFO would wait for a writer forever and /dev/zero never ends: only a
// regular file is read. The alarm turns a hang into a failure.
TEST(LevelFileDeathTest, OnlyARegularFileIsRead) {
  testing::FLAGS_gtest_death_test_style = "threadsafe";
  std::string dir = make_temp_dir();
  ASSERT_EQ(mkfifo((dir + "/fifo.dat").c_str(), 0644), 0);
  ASSERT_EQ(symlink("/dev/zero", (dir + "/zero.dat").c_str()), 0);
  ASSERT_EQ(symlink("real.dat", (dir + "/link.dat").c_str()), 0);
  write_file(dir, "real.dat", "7\n");
  EXPECT_EXIT((alarm(10), load_levels(dir + "/fifo.dat")), testing::ExitedWithCode(EINVAL),
              "fifo.dat: cannot open: a FIFO, not a regular file\nRuntime error 22 at");
  EXPECT_EXIT((alarm(10), load_levels(dir + "/zero.dat")), testing::ExitedWithCode(EINVAL),
              "zero.dat: cannot open: a character device, not a regular file\nRuntime error 22 at");
  EXPECT_EQ(load_levels(dir + "/link.dat")->BDLN, 7);
}

TEST(FileTest, NamesPatternsAndFolders) {
  std::string dir = make_temp_dir();
  write_file(dir, "level.dat", "");
  ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
  EXPECT_TRUE(base::ISFILE(dir + "/level.dat"));
  EXPECT_TRUE(base::ISFILE(dir + "/sub"));
  EXPECT_TRUE(base::ISFILE(dir + "/*.dat"));
  EXPECT_TRUE(base::ISFILE(dir + "/lev?l.*"));
  EXPECT_TRUE(base::ISFILE(dir + "/s*"));
  EXPECT_FALSE(base::ISFILE(dir + "/lev?.dat"));
  EXPECT_FALSE(base::ISFILE(dir + "/*.txt"));
  EXPECT_FALSE(base::ISFILE(dir + "/level.dat?"));
  EXPECT_FALSE(base::ISFILE(dir + "/[l]evel.dat"));  // brackets are plain characters
  EXPECT_FALSE(base::ISFILE(dir + "/nowhere/*"));
  EXPECT_FALSE(base::ISFILE(""));

  char old[4096];
  ASSERT_TRUE(getcwd(old, sizeof old));
  ASSERT_EQ(chdir(dir.c_str()), 0);
  EXPECT_TRUE(base::ISFILE("level.dat"));  // relative to the working folder
  EXPECT_TRUE(base::ISFILE("sub/../level.dat"));
  EXPECT_FALSE(base::ISFILE("Level.dat"));
  ASSERT_EQ(chdir(old), 0);
}

}  // namespace
}  // namespace tervalon::test
