// The recording when a run-time error ends the game: everything the game ran,
// up to the frame that failed, is in the file. Best runs, kept per level.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/runtime_error.h"
#include "game/journey/bests.h"
#include "game/journey/log.h"
#include "game/replay/playback.h"
#include "game/replay/recorder.h"
#include "game/replay/script.h"
#include "game/rules/rules.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

TEST(Recording, ARunTimeErrorLeavesTheRunUpToTheFailingFrameInTheFile) {
  const std::string path = make_temp_dir() + "/run.txt";
  EXPECT_EXIT(
      {
        auto game = std::make_unique<Game>();
        Game& g = *game;
        start(g, {{1, room(12, 6, 3, 4, 9, 4)}});
        Recorder recorder(g);
        if (!recorder.open(path)) std::exit(1);
        recorder.message(WM_KEYDOWN, K_RIGHT);
        handle_message(g, WM_KEYDOWN, K_RIGHT);
        for (int i = 0; i < 3; ++i) recorder.pass(frame_pass(g, 1).frames);
        game_frame(g);  // a pass under way when the error strikes
        game_frame(g);
        base::runtime_error(201);
      },
      testing::ExitedWithCode(201), "Runtime error 201 at");
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  const std::string run = text.str();
  EXPECT_EQ(run.find("# Tervalon "), 0u) << run;
  EXPECT_NE(run.find("\ncheat 0\ndown right\nframes 3\nburst 2\n"), std::string::npos) << run;
}

std::string text_of(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

// A recording ends with the state it ended in, a frame after an expect
// line too.
TEST(Recording, EndsWithTheStateItEndedIn) {
  const std::string path = make_temp_dir() + "/run.txt";
  auto g = std::make_unique<Game>();
  start(*g, {{1, room(12, 6, 3, 4, 9, 4)}});
  Recorder recorder(*g);
  ASSERT_TRUE(recorder.open(path));
  for (int i = 0; i < 601; ++i) recorder.pass(frame_pass(*g, 1).frames);
  recorder.end();
  const std::string run = text_of(path);
  EXPECT_EQ(run, recorder.text());
  EXPECT_EQ(run.substr(run.rfind("expect ")), "expect " + state_line(*g) + "\n") << run;
}

// A save continued, and R pressed in the level it ended in: the rewind reads
// the text from where the playback entered that level, and cuts it exactly
// where a rewind that reads it all does, back to the level's entry.
TEST(Recording, ARewindFromWhereTheSaveEnteredItsLevelCutsAsOneFromTheStart) {
  const std::string source = TERVALON_SOURCE_DIR;
  std::string text;
  for (const char* name : {"00-hub-start", "01-level1-forward", "02-level2-forward", "03-level3-forward"})
    text += text_of(source + "/data/solutions/" + name + ".txt");
  auto g = std::make_unique<Game>();
  start(*g, text_of(source + "/data/tervalon.dat"));
  const auto initial = std::make_unique<Game>(*g);
  JourneyLog log;
  TextMark entered;
  std::unique_ptr<Game> entry;
  Playback* playing = nullptr;
  Playback p(*g, text, UINT64_MAX, [&](const Game& now) {
    if (log.see(now) != JourneyLog::Event::entered) return;
    entered = playing->line();
    entry = std::make_unique<Game>(now);
  });
  playing = &p;
  p.run(UINT64_MAX);
  ASSERT_TRUE(p.result().ok) << p.result().why;
  ASSERT_EQ(entry->BDLV, 4);
  ASSERT_GT(entered.offset, 0u);

  std::vector<std::string> rewound;
  for (const bool marked : {false, true}) {
    auto played = std::make_unique<Game>(*g);
    Recorder r(*played);
    r.continue_from(text, initial->FRAME);
    if (marked) r.mark(entered);
    *played = *entry;
    r.rewind(entry->FRAME, "# restarted");
    rewound.push_back(r.text());
  }
  EXPECT_EQ(rewound[0], rewound[1]);
  auto again = std::make_unique<Game>(*initial);
  ASSERT_TRUE(play_through(*again, rewound[1]).ok);
  EXPECT_EQ(state_line(*again), state_line(*entry));
}

// How far a playback is: by its text's bytes, and within a line by its
// frames, so that a progress bar moves on through a long line too.
TEST(Playback, SaysHowFarItIsThroughItsText) {
  auto g = std::make_unique<Game>();
  start(*g, {{1, room(12, 6, 3, 4, 9, 4)}});
  const std::string text = "frames 100\nframes 100\n";
  Playback p(*g, text);
  EXPECT_EQ(p.progress(), 0.0);
  p.run(50);
  EXPECT_NEAR(p.progress(), 0.25, 0.01);
  p.run(100);
  EXPECT_NEAR(p.progress(), 0.75, 0.01);
  p.run(100);
  EXPECT_EQ(p.progress(), 1.0);

  // A line it cannot read is named by its number.
  EXPECT_EQ(play_through(*g, "frames 1\n# a note\njump\n").why.rfind("line 3: ", 0), 0u);
}

TEST(Bests, AreKeptByEachLevelsOwnHashSoEditingALevelResetsOnlyItsBests) {
  const std::string folder = make_temp_dir();
  auto level_2 = room(12, 6, 3, 4, 9, 4);
  const std::vector<Level> levels{{1, room(12, 6, 3, 4, 9, 4)}, {5, room(12, 6, 2, 4, 9, 4)}, {5, level_2}};
  auto game = std::make_unique<Game>();
  load(*game, level_file(levels));
  {
    Bests bests;
    bests.load(folder, *game);
    EXPECT_TRUE(bests.offer(1, 1, 600, "run one"));
    EXPECT_FALSE(bests.offer(1, 1, 601, "slower"));
    EXPECT_TRUE(bests.offer(1, 1, 500, "run two"));
    EXPECT_FALSE(bests.offer(1, 1, 500, "as fast")) << "a tie is no new best";
    EXPECT_TRUE(bests.offer(1, 2, 900, "back"));
    EXPECT_TRUE(bests.offer(2, 1, 700, "level two"));
    bests.flush();
    EXPECT_EQ(bests.take_failure(), "");
    std::ostringstream written;
    written << std::ifstream(folder + "/bests.txt").rdbuf();
    EXPECT_NE(written.str().find(" 1 500"), std::string::npos) << "written once flush returns: " << written.str();
  }
  Bests again;
  again.load(folder, *game);
  EXPECT_EQ(again.best(1, 1), 500u);
  EXPECT_EQ(again.best(1, 2), 900u);
  EXPECT_EQ(again.best(2, 1), 700u);
  EXPECT_EQ(again.best(2, 2), 0u);
  std::ostringstream run;
  run << std::ifstream(folder + "/best-" + level_hash(*game, 1).substr(0, 16) + "-1.txt").rdbuf();
  EXPECT_EQ(run.str(), "run two");

  // Level 2 edited: its best is gone, level 1 keeps its own, and the line of
  // the old level 2 stays in the file for the level file it came from.
  level_2[1][5] = 'x';
  load(*game, level_file({levels[0], levels[1], {5, level_2}}));
  Bests edited;
  edited.load(folder, *game);
  EXPECT_EQ(edited.best(1, 1), 500u);
  EXPECT_EQ(edited.best(2, 1), 0u);
  EXPECT_TRUE(edited.offer(2, 1, 800, "edited"));
  edited.flush();
  std::ostringstream list;
  list << std::ifstream(folder + "/bests.txt").rdbuf();
  const std::string lines = list.str();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 4) << lines;
}

}  // namespace
}  // namespace tervalon::test
