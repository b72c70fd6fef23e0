// The shipped levels: the recorded solutions play the whole journey on the
// shipped file, script by script, frame for frame as pinned in journey.expected,
// and the level checker finds it usable.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../tools/run.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

namespace fs = std::filesystem;

const std::string SOURCE = TERVALON_SOURCE_DIR;
const std::string REPLAY = std::string(TERVALON_BINARY_DIR) + "/tools/tervalon-replay";
const std::string CHECKER = std::string(TERVALON_BINARY_DIR) + "/tools/tervalon-levels";
// The replay tool's whole output over the journey, and its sound events
// (--events); scripts/pin-journey rewrites both.
const std::string PINNED = SOURCE + "/tests/levels/journey.expected";
const std::string PINNED_EVENTS = SOURCE + "/tests/levels/journey.events";

struct Script {
  std::string name;
  std::string text;
  std::size_t lines = 0;  // state lines the replay prints for it
};

// The solutions in name order, which is the order they are played in.
std::vector<Script> solutions() {
  std::vector<Script> all;
  for (const auto& entry : fs::directory_iterator(SOURCE + "/data/solutions")) {
    if (!entry.is_regular_file()) continue;
    Script s{entry.path().filename().string(), "", 0};
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    s.text = text.str();
    std::istringstream lines(s.text);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream words(line);
      std::string cmd, arg;
      words >> cmd >> arg;
      if (cmd == "frames")
        s.lines += std::stoul(arg);
      else if (cmd == "down" || cmd == "up")
        s.lines += 1;
    }
    all.push_back(std::move(s));
  }
  std::sort(all.begin(), all.end(), [](const Script& a, const Script& b) { return a.name < b.name; });
  return all;
}

struct Stage {
  int level, pass;
  bool operator==(const Stage&) const = default;
};

std::string describe(Stage s) { return "level " + std::to_string(s.level) + " pass " + std::to_string(s.pass); }

void PrintTo(Stage s, std::ostream* os) { *os << describe(s); }

// The course of a game over levels 0..last: the hub, every level forward,
// every level back from the last, the hub again.
std::vector<Stage> course(int last) {
  std::vector<Stage> c{{0, 0}};
  for (int l = 1; l <= last; ++l) c.push_back({l, 1});
  for (int l = last; l >= 1; --l) c.push_back({l, 2});
  c.push_back({0, 0});
  return c;
}

struct Row {
  Stage stage;
  int pause;
};

Row parse(const std::string& line) {
  unsigned long long frame;
  Row r{};
  EXPECT_GE(std::sscanf(line.c_str(), "%llu %d %d %d", &frame, &r.stage.level, &r.stage.pass, &r.pause), 4) << line;
  return r;
}

int shipped_last_level() { return load_levels(SOURCE + "/data/tervalon.dat")->BDLN; }

// The replay tool over every solution in turn on the shipped file.
ToolRun play_journey(const std::vector<Script>& scripts, const std::string& options = "") {
  std::string dir = make_temp_dir();
  fs::copy_file(SOURCE + "/data/tervalon.dat", dir + "/tervalon.dat");
  std::string all;
  for (const Script& s : scripts) all += s.text + "\n";
  return run_in(dir, "'" + REPLAY + "' " + options + " -", all);
}

// Compares `lines` with the file `pinned` line by line, or with
// TERVALON_PIN_JOURNEY set writes them there instead.
void compare_with_pinned(const std::vector<std::string>& lines, const std::string& pinned, const std::string& what) {
  if (std::getenv("TERVALON_PIN_JOURNEY")) {
    std::ofstream out(pinned, std::ios::binary);
    for (const std::string& line : lines) out << line << '\n';
    ASSERT_TRUE(out.flush()) << "cannot write " << pinned;
    GTEST_SKIP() << "wrote " << lines.size() << " lines to " << pinned;
  }
  std::ifstream in(pinned, std::ios::binary);
  ASSERT_TRUE(in) << "no reference " << pinned << ": run scripts/pin-journey";
  std::vector<std::string> want;
  for (std::string line; std::getline(in, line);) want.push_back(line);
  for (std::size_t i = 0; i < std::max(want.size(), lines.size()); ++i) {
    std::string expected = i < want.size() ? want[i] : "(no more lines)";
    std::string got = i < lines.size() ? lines[i] : "(no more lines)";
    ASSERT_EQ(expected, got) << "the journey plays differently from line " << i + 1 << " of " << pinned << " (" << what
                             << "); if a rule changed on purpose, run scripts/pin-journey";
  }
}

TEST(ShippedLevels, TheSolutionsPlayTheWholeJourneyScriptByScript) {
  std::vector<Script> scripts = solutions();
  std::vector<Stage> stages = course(shipped_last_level());
  ASSERT_EQ(scripts.size(), stages.size())
      << "one script per stage of the course: the hub, " << stages.size() - 2 << " level passes, the hub again";

  ToolRun r = play_journey(scripts);
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_FALSE(r.lines.empty());
  EXPECT_EQ(r.lines.back(), "end") << "the last script does not reach the end cell";

  // Each script plays its own stage and hands the next one over in play:
  // the story text has faded out and the next stage has begun.
  std::size_t at = 0;
  for (std::size_t i = 0; i < scripts.size(); ++i) {
    const Script& s = scripts[i];
    SCOPED_TRACE(s.name);
    ASSERT_LT(at, r.lines.size()) << "the replay stopped before " << s.name;
    Row first = parse(r.lines[at]);
    EXPECT_EQ(first.stage, stages[i]) << s.name << " starts in " << describe(first.stage) << ", not in "
                                      << describe(stages[i]);
    bool last = i + 1 == scripts.size();
    std::size_t end = std::min(at + s.lines, r.lines.size() - (last ? 1 : 0));
    for (std::size_t k = at; k < end; ++k) {
      Stage seen = parse(r.lines[k]).stage;
      ASSERT_TRUE(seen == stages[i] || (!last && seen == stages[i + 1]))
          << s.name << " strays into " << describe(seen) << " at output line " << k + 1;
    }
    if (last) {
      EXPECT_EQ(end + 1, r.lines.size()) << s.name << " does not end at the end cell";
      break;
    }
    ASSERT_EQ(end, at + s.lines) << "the replay stopped inside " << s.name;
    Row handed = parse(r.lines[end - 1]);
    // The first script that fails to finish its stage is the one to look at;
    // the scripts after it would only play from the wrong place.
    ASSERT_EQ(handed.stage, stages[i + 1])
        << s.name << " ends in " << describe(handed.stage) << ": it does not finish " << describe(stages[i]);
    EXPECT_EQ(handed.pause, 0) << s.name << " ends before the story text has faded out";
    at = end;
  }
}

// Any change to how the game plays shows here, at the first state line that
// differs. With TERVALON_PIN_JOURNEY set the test writes the reference instead.
TEST(ShippedLevels, TheJourneyPlaysFrameForFrameAsPinned) {
  ToolRun r = play_journey(solutions());
  ASSERT_EQ(r.status, 0) << r.err;
  compare_with_pinned(r.lines, PINNED, "FRAME BDLV GSIT PAUSE CTEMP STPN PX PY VX VY KL KR KU");
}

// The sounds the journey makes, read from the same play: any change to how
// an event is read from the state shows here.
TEST(ShippedLevels, TheJourneysSoundEventsAreAsPinned) {
  ToolRun r = play_journey(solutions(), "--events");
  ASSERT_EQ(r.status, 0) << r.err;
  compare_with_pinned(r.lines, PINNED_EVENTS, "FRAME EVENT");
}

TEST(ShippedLevels, TheCheckerProvesEveryLevelBothWaysAndMeasuresEverySolution) {
  ToolRun r = run_in(make_temp_dir(), "'" + CHECKER + "' '" + SOURCE + "/data/tervalon.dat'");
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_FALSE(r.lines.empty());
  EXPECT_NE(r.lines[0].find("usable"), std::string::npos) << r.lines[0];
  int levels = 0, scripts = 0;
  for (std::size_t i = 1; i < r.lines.size(); ++i) {
    const std::string& line = r.lines[i];
    if (line.find("no one-way places") != std::string::npos) ++levels;
    std::size_t tight = line.find("tightest at line");
    if (tight == std::string::npos) continue;
    ++scripts;
    // A player copying a solution keeps to it within a few frames: every
    // press may come 3 frames early or late. The ways back through levels 6
    // and up, whose catches are still timed to a frame or two, are the
    // exception.
    int level = -1, line_no = 0, earlier = 0, later = 0;
    std::sscanf(line.c_str() + line.find(": level ") + 8, "%d", &level);
    std::sscanf(line.c_str() + tight, "tightest at line %d: %d frames earlier, %d later", &line_no, &earlier, &later);
    bool timed = level >= 6 && line.find(" back, ") != std::string::npos;
    if (!timed) {
      EXPECT_GE(earlier, 3) << line;
      EXPECT_GE(later, 3) << line;
    }
  }
  EXPECT_EQ(levels, shipped_last_level() + 1);
  EXPECT_EQ(scripts, static_cast<int>(solutions().size()));
}

}  // namespace
}  // namespace tervalon::test
