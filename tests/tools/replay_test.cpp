// tervalon-replay: a whole course on a small hand-made level file, its output
// contract, bursts, the checks of a recording, its errors, and what it does
// with a script made to harm: the script is data, never a command.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/printable.h"
#include "base/sha256.h"
#include "game/replay/script.h"
#include "run.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

const std::string REPLAY = std::string(TERVALON_BINARY_DIR) + "/tools/tervalon-replay";

// Level 0: entry (3, 4), exit (6, 4), end (1, 4); level 1: a wall step to jump
// over between entry (2, 4) and exit (9, 4), least trail length 40.
std::string course_file() {
  auto hub = room(12, 6, 3, 4, 6, 4);
  hub[4][1] = 'e';
  auto one = room(12, 6, 2, 4, 9, 4);
  one[4][5] = 'x';
  return level_file({{1, hub}, {40, one}});
}

struct State {
  unsigned long long frame;
  int level, pass, pause, ctemp;
  unsigned stpn;
  double px, py, vx, vy;
  int kl, kr, ku;
};

State parse(const std::string& line) {
  State s{};
  int fields = std::sscanf(line.c_str(), "%llu %d %d %d %d %u %lf %lf %lf %lf %d %d %d", &s.frame, &s.level, &s.pass,
                           &s.pause, &s.ctemp, &s.stpn, &s.px, &s.py, &s.vx, &s.vy, &s.kl, &s.kr, &s.ku);
  EXPECT_EQ(fields, 13) << line;
  return s;
}

ToolRun replay(const std::string& script, const std::string& levels = course_file()) {
  std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", levels);
  return run_in(dir, "'" + REPLAY + "' -", script);
}

TEST(Replay, AWholeCourseFromLevel0ThroughBothPassesToTheEndCell) {
  const std::string script =
      "# level 0: to the exit, read the text, move on\n"
      "down right\nframes 120\nup right\ndown 32\nup 32\nframes 70\n"
      "\n"
      "# level 1 forward: jump the step, reach the exit\n"
      "down right\ndown up\nframes 30\nup up\nframes 150\nup right\n"
      "down 32\nup 32\nframes 70\n"
      "# level 1 backward: home to the entry\n"
      "down left\ndown up\nframes 40\nup up\nframes 200\nup left\n"
      "down 32\nup 32\nframes 70\n"
      "# level 0 again: the end cell\n"
      "down left\nframes 200\n"
      "frames 5\n";
  ToolRun r = replay(script);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_FALSE(r.lines.empty());
  EXPECT_EQ(r.lines.back(), "end");

  // The (level, pass) stages in order of appearance, and the interludes.
  std::vector<std::pair<int, int>> stages;
  int interludes = 0, last_pause = 0;
  unsigned long long last_frame = 0;
  for (std::size_t i = 0; i + 1 < r.lines.size(); ++i) {
    State s = parse(r.lines[i]);
    if (stages.empty() || stages.back() != std::make_pair(s.level, s.pass)) stages.push_back({s.level, s.pass});
    if (s.pause == 1 && last_pause == 0) ++interludes;
    if (s.pause == 2) {
      EXPECT_EQ(s.ctemp, 252);
    }
    if (s.pause == 0) {
      EXPECT_EQ(s.ctemp, 0);
    }
    EXPECT_GE(s.frame, last_frame);
    last_pause = s.pause;
    last_frame = s.frame;
  }
  std::vector<std::pair<int, int>> expected{{0, 0}, {1, 1}, {1, 2}, {0, 0}};
  EXPECT_EQ(stages, expected);
  EXPECT_EQ(interludes, 3);
  State last = parse(r.lines[r.lines.size() - 2]);
  EXPECT_LT(last.px, 46.0);                                                // within reach of the end cell at x = 30
  EXPECT_LT(last.frame, 120 + 70 + 30 + 150 + 70 + 40 + 200 + 70 + 200u);  // ended early
}

TEST(Replay, PrintsOneLinePerPassWithExactFloats) {
  ToolRun r = replay("down right\nframes 2\nup right\nframes 0\n");
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(r.lines.size(), 4u);
  EXPECT_EQ(r.lines[0], "0 0 0 0 0 0 70 82 0 0 0 1 0");
  EXPECT_EQ(r.lines[1], "1 0 0 0 0 1 72 82 2 0 0 1 0");
  EXPECT_EQ(r.lines[2], "2 0 0 0 0 2 74.099999999999994 82 2.1000000000000001 0 0 1 0");
  EXPECT_EQ(r.lines[3], "2 0 0 0 0 2 74.099999999999994 82 2.1000000000000001 0 0 0 0");
}

TEST(Replay, EscapeClosesAndStopsTheScript) {
  ToolRun r = replay("down esc\nframes 10\n");
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.lines.size(), 2u);
  EXPECT_EQ(r.lines[1], "closed");
}

TEST(Replay, MalformedLinesAreNamedAndExitWith2) {
  for (const char* bad : {"frames\n", "frames -1\n", "frames 2x\n", "down\n", "down shift\n", "up 256\n", "jump\n",
                          "frames 1 2\n", "burst 0\n", "burst\n", "level-file 12ab\n", "cheat 2\n", "expect 1 0 0\n"}) {
    ToolRun r = replay(std::string("# fine\n\nframes 1\n") + bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(r.lines.size(), 1u) << bad;
    EXPECT_NE(r.err.find("-:4: "), std::string::npos) << r.err;
  }
  ToolRun missing = run_in(make_temp_dir(), "'" + REPLAY + "' no-such-script");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("no-such-script: cannot open"), std::string::npos);
}

TEST(Replay, ABadLevelFileStopsWithTheRunTimeError) {
  ToolRun r = replay("frames 1\n", "1\n4 3x\n");
  EXPECT_EQ(r.status, 106);
  EXPECT_TRUE(r.lines.empty());
  EXPECT_NE(r.err.find("tervalon.dat:2: \"3x\" is not a whole number\nRuntime error 106 at $"), std::string::npos)
      << r.err;
  ToolRun none = run_in(make_temp_dir(), "'" + REPLAY + "' -", "frames 1\n");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("Runtime error 2 at"), std::string::npos);
}

TEST(Replay, ABurstIsOnePassThatMovesTheFadeOnce) {
  // Level 0's exit is reached within 20 frames; the story then fades in.
  ToolRun singles = replay("down right\nframes 20\nframes 10\n");
  ToolRun burst = replay("down right\nframes 20\nburst 10\n");
  ASSERT_EQ(burst.status, 0) << burst.err;
  ASSERT_EQ(burst.lines.size(), singles.lines.size() - 9);
  State before = parse(singles.lines[20]), ten = parse(singles.lines.back()), one = parse(burst.lines.back());
  ASSERT_EQ(before.pause, 1);
  EXPECT_EQ(one.frame, before.frame + 10);
  EXPECT_EQ(one.ctemp, before.ctemp + 4);
  EXPECT_EQ(ten.ctemp, before.ctemp + 40);
  EXPECT_EQ(replay("burst 1\n").lines, replay("frames 1\n").lines);

  // A burst that reaches the end cell stops at that frame.
  ToolRun end = replay("down left\nburst 500\n");
  ASSERT_EQ(end.lines.size(), 3u);
  EXPECT_EQ(end.lines[2], "end");
  EXPECT_LT(parse(end.lines[1]).frame, 100u);
}

TEST(Replay, ALevelFileCheatOrStateThatDiffersStopsWith3NamingFrameAndField) {
  const std::string levels = course_file();
  const std::string moves = "down right\nframes 30\nup right\n";
  const std::string state = replay(moves).lines.back();
  const std::string header = "# a recording\nlevel-file " + base::sha256_hex(levels) + "\ncheat 0\n";
  const std::string after = "frames 5\nexpect " + state + "\n";  // the expect no longer holds
  ToolRun good = replay(header + moves + "expect " + state + "\nframes 5\n");
  ASSERT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(good.lines.size(), 37u);

  State s = parse(state);
  ToolRun tampered = replay(header + moves + "expect " + state.substr(0, state.size() - 1) + "7\n" + "frames 5\n");
  EXPECT_EQ(tampered.status, 3);
  EXPECT_EQ(tampered.lines.size(), 32u);  // it stops at the line
  EXPECT_EQ(tampered.err, "-:7: frame 30: KU is " + std::to_string(s.ku) + ", expected 7\n");
  ToolRun late = replay(header + moves + after);
  EXPECT_EQ(late.status, 3);
  EXPECT_EQ(late.err, "-:8: frame 35: FRAME is 35, expected 30\n");

  ToolRun other_file = replay(header + moves, levels + "\nmore text after the last board\n");
  EXPECT_EQ(other_file.status, 3);
  EXPECT_TRUE(other_file.lines.empty());
  EXPECT_EQ(other_file.err.find("-:2: frame 0: level-file is "), 0u) << other_file.err;
  EXPECT_NE(other_file.err.find(", expected " + base::sha256_hex(levels) + "\n"), std::string::npos);

  std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", levels);
  write_file(dir, "\xE7\x94\xB2\xE4\xB9\x99", "");  // the cheat marker
  ToolRun cheat = run_in(dir, "'" + REPLAY + "' -", header + moves);
  EXPECT_EQ(cheat.status, 3);
  EXPECT_EQ(cheat.err, "-:3: frame 0: cheat is 1, expected 0\n");
}

std::string slurp(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

TEST(Replay, ASnapWritesOnlyAPictureNameInTheCurrentFolder) {
  const std::string top = make_temp_dir(), dir = top + "/play";
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  write_file(dir, "tervalon.dat", course_file());
  write_file(top, "keep.ppm", "mine");
  ASSERT_EQ(symlink("../keep.ppm", (dir + "/link.ppm").c_str()), 0);
  const std::string play = "'" + REPLAY + "' -";

  for (const std::string& bad : std::vector<std::string>{"../keep.ppm", top + "/keep.ppm", "/dev/full", "sub/x.ppm",
                                                         ".hidden.ppm", "tervalon.dat", "x\x1b.ppm", ".ppm"}) {
    ToolRun r = run_in(dir, play, "frames 1\nsnap " + bad + "\n");
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(r.err.find("-:2: expected \"snap FILE\""), 0u) << r.err;
  }
  // An existing link is not written through, nor is a folder replaced.
  ASSERT_EQ(mkdir((dir + "/folder.ppm").c_str(), 0755), 0);
  for (const char* taken : {"link.ppm", "folder.ppm"}) {
    ToolRun r = run_in(dir, play, std::string("snap ") + taken + "\n");
    EXPECT_EQ(r.status, 2) << taken;
    EXPECT_EQ(r.err.find(std::string("-:1: cannot write ") + taken + ": "), 0u) << r.err;
  }
  EXPECT_EQ(slurp(top + "/keep.ppm"), "mine");

  // A failed write names its line, stops with 2 and leaves nothing behind.
  const std::string long_name = std::string(300, 'n') + ".ppm";
  ToolRun too_long = run_in(dir, play, "frames 1\nframes 1\nsnap " + long_name + "\nframes 1\n");
  EXPECT_EQ(too_long.status, 2);
  EXPECT_EQ(too_long.lines.size(), 2u);
  EXPECT_EQ(too_long.err.find("-:3: cannot write nnnn"), 0u) << too_long.err;

  ToolRun good = run_in(dir, play, "frames 1\nsnap pic.ppm\nsnap pic.ppm\n");
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(slurp(dir + "/pic.ppm").substr(0, 11), "P6\n240 120\n");
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{".stderr", ".stdin", "folder.ppm", "link.ppm", "pic.ppm", "tervalon.dat"}));
}

TEST(Replay, ScriptTextInAMessageIsEscapedAndCut) {
  using namespace std::string_literals;
  ToolRun control = replay("frames 1\njump\x1b]0;owned\x07\x1b[2J\0zz\\\n"s);
  EXPECT_EQ(control.status, 2);
  EXPECT_EQ(control.err.find("-:2: unknown command \"jump\\x1b]0;owned\\x07\\x1b[2J\\x00zz\\\\\""), 0u) << control.err;
  EXPECT_EQ(control.err.find('\x1b'), std::string::npos);

  // A character, a stray byte, a C1 control.
  ToolRun utf8 = replay(std::string("\xe8\xb7\xb3\xff\xc2\x9b") + "1m\n");
  EXPECT_NE(utf8.err.find("\"\xe8\xb7\xb3\\xff\\xc2\\x9b1m\""), std::string::npos) << utf8.err;

  ToolRun wide = replay(std::string(5000, 'w') + "\n");
  EXPECT_EQ(wide.status, 2);
  EXPECT_NE(wide.err.find("\"" + std::string(80, 'w') + "...\""), std::string::npos) << wide.err;
  EXPECT_LT(wide.err.size(), 300u);

  const std::string state = replay("up left\n").lines.at(0);
  ToolRun expect = replay("expect " + state.substr(0, state.size() - 1) + "\x1b[8m\n");
  EXPECT_EQ(expect.status, 3);
  EXPECT_EQ(expect.err, "-:1: frame 0: KU is 0, expected \\x1b[8m\n");

  // Escapes are never cut in half, nor characters.
  EXPECT_EQ(base::printable(std::string(79, 'a') + "\xe8\xb7\xb3", 80), std::string(79, 'a') + "...");
  EXPECT_EQ(base::printable(std::string(80, 'a'), 80), std::string(80, 'a'));
}

TEST(Replay, AScriptIsReadOnlyFromARegularFileWithBoundedLines) {
  const std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", course_file());
  write_file(dir, "run.txt", "frames 2\n");
  ASSERT_EQ(symlink("run.txt", (dir + "/linked.txt").c_str()), 0);
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0755), 0);
  // Under a time limit: a script that never ends must not hold up the suite.
  auto play = [&](const std::string& script, const std::string& input = "") {
    return run_in(dir, "timeout 20 '" + REPLAY + "' " + script, input);
  };
  for (const char* refused : {"folder", "fifo", "/dev/zero", "/dev/null"}) {
    ToolRun r = play(refused);
    EXPECT_EQ(r.status, 2) << refused;
    EXPECT_EQ(r.err.find(std::string(refused) + ": cannot open: "), 0u) << r.err;
  }
  EXPECT_EQ(play("linked.txt").lines.size(), 2u);
  EXPECT_EQ(play("-", "frames 3").lines.size(), 3u);

  // A line may be 65536 bytes long, not one more, from a file or a pipe.
  const std::string longest = "#" + std::string(MAX_LINE - 1, 'c') + "\nframes 1\n";
  EXPECT_EQ(play("-", longest).status, 0);
  ToolRun over = play("-", "frames 1\n#" + std::string(MAX_LINE, 'c') + "\nframes 1\n");
  EXPECT_EQ(over.status, 2);
  EXPECT_EQ(over.lines.size(), 1u);
  EXPECT_EQ(over.err, "-:2: line longer than 65536 bytes\n");
  EXPECT_EQ(run_in(dir, "{ timeout 20 '" + REPLAY + "' - < /dev/zero; }").status, 2);
}

TEST(Replay, AnswersHelpAndVersion) {
  const std::string dir = make_temp_dir();
  ToolRun help = run_in(dir, "'" + REPLAY + "' --help");
  EXPECT_EQ(help.status, 0);
  ASSERT_FALSE(help.lines.empty());
  EXPECT_EQ(help.lines[0].find("usage: tervalon-replay "), 0u);
  ToolRun version = run_in(dir, "'" + REPLAY + "' --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.lines, std::vector<std::string>{"tervalon-replay " TERVALON_VERSION});
  for (const char* wrong : {"--helpme", "-x", "a b"}) {
    ToolRun r = run_in(dir, "'" + REPLAY + "' " + wrong);
    EXPECT_EQ(r.status, 2) << wrong;
    EXPECT_NE(r.err.find("usage: tervalon-replay "), std::string::npos) << wrong;
  }
}

}  // namespace
}  // namespace tervalon::test
