// The app's step with recordings: the shipped journey played key by key,
// --play scripts and what they leave alone.
#include "tests/game/app_step.h"

#include "game/app/words.h"
#include "game/journey/bests.h"

namespace tervalon::test {
namespace {

// A run watched with --play leaves the player's journey and bests alone,
// also once the game is the player's.
TEST_F(AppStep, AWatchedRunLeavesTheJourneyAndTheBestsAlone) {
  write_file(dir_, "tervalon.dat", file_text(SOURCE + "/data/tervalon.dat"));
  open();
  ASSERT_TRUE(playable());
  send(K_RIGHT);
  run(0.3);
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  const std::string journey = save();

  Options o;
  o.play = {solutions()[0], solutions()[1]};
  o.play_speed = 0;
  app_.reset();
  open(o);
  std::uint64_t last_frame = 0;
  const std::uint64_t level_left = pinned_stages(last_frame)[1].left;
  ASSERT_TRUE(until([&](const Game& s) { return s.FRAME >= level_left; }));
  send(K_RIGHT);
  run(0.5);
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  EXPECT_EQ(save(), journey);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/tervalon/bests.txt"));
}

// A played script keeps its pace, --speed times the game's; where one of its
// checks fails the title says so and the player takes over from that frame.
TEST_F(AppStep, APlayedScriptKeepsItsPaceAndAFailedCheckHandsOverInTheTitle) {
  write_file(dir_, "tervalon.dat", file_text(SOURCE + "/data/tervalon.dat"));
  const std::string script = file_text(solutions()[0]);
  for (const std::uint32_t speed : {1u, 4u}) {
    Options o;
    o.play = {write_file(dir_, "run.txt", script)};
    o.play_speed = speed;
    clock_ = 0.001;
    app_.reset();
    open(o);
    run(0.2);  // the first step starts the scripts' clock at 1 ms
    const std::vector<std::uint32_t> early = picture();
    run(0.31);
    EXPECT_NE(picture(), early) << "the window shows the run";
    // A frame is due once the scripts' clock passes the one before it.
    EXPECT_EQ(g().FRAME, speed == 1 ? 31u : 123u) << "at speed " << speed;
  }

  Options o;
  o.play = {write_file(dir_, "wrong.txt", "frames 10\nexpect 10 0 0 0 0 0 0 0 0 0 0 0 0\n" + script)};
  clock_ = 0.001;
  app_.reset();
  open(o);
  run(0.5);
  EXPECT_NEAR(static_cast<double>(g().FRAME), 30, 1) << "the player's from frame 10, at the game's pace";
  EXPECT_NE(display::headless_title().find(
                "does not match this level file or this version of the game; from frame 10 you play"),
            std::string::npos)
      << display::headless_title();

  // A script that cannot be read, or one that writes pictures, starts no game.
  for (const std::string& path : {dir_ + "/missing.txt", write_file(dir_, "snap.txt", "frames 1\nsnap a.ppm\n")}) {
    o.play = {path};
    app_ = std::make_unique<App>(load_levels(dir_ + "/tervalon.dat"), o, nullptr, nullptr, [this] { return clock_; });
    EXPECT_FALSE(app_->start()) << path;
  }
}

// The whole shipped journey played through the step key by key, as its
// recorded solutions play it: it ends on the replay tool's frame, the ending
// counts what the pinned events count, each level's best is its pinned time
// and replays to its exit, and the finished journey is kept whole.
TEST_F(AppStep, TheShippedJourneyEndsCountsAndKeepsItsBestsAsPinned) {
  write_file(dir_, "tervalon.dat", file_text(SOURCE + "/data/tervalon.dat"));
  std::uint64_t last_frame = 0;
  const std::vector<Stage> stages = pinned_stages(last_frame);
  clock_ = -0.001;  // the first key comes before the first frame, as in the solutions
  open();
  for (const std::string& path : solutions()) ASSERT_NO_FATAL_FAILURE(drive(file_text(path))) << path;
  EXPECT_EQ(g().FRAME, last_frame);
  const std::string ending = shown();
  EXPECT_NE(ending.find("Play time " + play_time(last_frame)), std::string::npos) << ending;
  EXPECT_NE(ending.find("Rewinds by ghosts: " + std::to_string(pinned_events("rewound"))), std::string::npos);
  EXPECT_NE(ending.find("Ghosts caught: " + std::to_string(pinned_events("caught"))), std::string::npos);
  EXPECT_NE(ending.find("[Practice]\n[New journey]\n[Quit]"), std::string::npos) << ending;
  send(K_ESC);  // Quit
  ASSERT_TRUE(last_.over);
  EXPECT_EQ(app_->finish(), 0);

  const std::unique_ptr<Game> initial = load_levels(dir_ + "/tervalon.dat");
  INITLV(*initial);
  const std::string folder = dir_ + "/tervalon/";
  Bests bests;
  bests.load(folder, *initial);
  std::size_t levels = 0;
  for (const Stage& s : stages) {
    if (s.level == 0) continue;
    ++levels;
    Entry e;
    e.level = s.level, e.pass = s.pass;
    EXPECT_EQ(bests.best(s.level, s.pass), s.left - s.entered) << level_en(e);
    const std::string took = seconds(s.left - s.entered);
    EXPECT_NE(
        ending.find(level_zh(e) + " " + took + "，最佳 " + took + "　" + level_en(e) + ": " + took + ", best " + took),
        std::string::npos)
        << level_en(e);
    auto run = std::make_unique<Game>(*initial);
    play_through(*run, file_text(folder + "best-" + level_hash(*initial, s.level).substr(0, 16) + "-" +
                                 std::to_string(s.pass) + ".txt"));
    EXPECT_TRUE(run->FRAME == s.left && run->BDLV == s.level && run->PAUSE != 0) << level_en(e) << state_line(*run);
  }
  EXPECT_EQ(levels, 2u * static_cast<std::size_t>(initial->BDLN));  // every level, both ways
  EXPECT_NE(ending.find("第1关（回程）"), std::string::npos) << "the way back by its own name";

  const std::string save = folder + level_file_hash(*initial) + ".txt";
  EXPECT_FALSE(std::filesystem::exists(save)) << "nothing left to continue";
  std::string finished;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().string().starts_with(save + ".finished-") && !e.path().string().ends_with(".bak")) finished = e.path();
  ASSERT_FALSE(finished.empty());
  auto kept = std::make_unique<Game>(*initial);
  const Played played = play_through(*kept, file_text(finished));
  EXPECT_TRUE(played.ok && played.ended) << played.why;
  EXPECT_EQ(kept->FRAME, last_frame);

  app_.reset();
  clock_ = 0.001;
  open();
  run(0.1);
  EXPECT_NE(shown().find("\nYour last journey was finished in " + play_time(last_frame) + ".\n[New journey]\n"),
            std::string::npos)
      << shown();
  send(K_ENTER);  // New journey
  EXPECT_TRUE(app_->screen() == nullptr && g().BDLV == 0 && g().FRAME < 10) << "the next start begins a new one";
  // Every level the finished journey reached is there to practise, with its
  // best, from its entry.
  tap(K_P);
  tap(K_DOWN), tap(K_DOWN), tap(K_DOWN);  // Practice
  send(K_ENTER);
  const std::string practice = shown();
  for (const Stage& st : stages) {
    if (st.level == 0) continue;
    Entry e;
    e.level = st.level, e.pass = st.pass;
    EXPECT_NE(practice.find("[" + level_en(e) + "　" + seconds(st.left - st.entered) + "]"), std::string::npos)
        << practice;
  }
  tap(K_UP), tap(K_UP);  // level 1 back, the last before Back
  send(K_ENTER);
  EXPECT_TRUE(app_->screen() == nullptr && g().BDLV == 1 && g().GSIT == 2 && g().PAUSE == 0) << state_line(g());
  const auto back = std::find_if(stages.begin(), stages.end(),
                                 [](const Stage& st) { return st.level == 1 && st.pass == 2; });
  ASSERT_NE(back, stages.end());
  EXPECT_EQ(g().FRAME, back->entered) << "from where the finished journey entered it";
}

}  // namespace
}  // namespace tervalon::test
