// The app's step and the journey's save: a new journey, a second game,
// playing a save back and going on from whatever befell it.
#include "tests/game/app_step.h"

#include "base/storage.h"

namespace tervalon::test {
namespace {

// Restart the journey keeps the journey played as .replaced-DATE, never
// overwritten, and a new one begins at the hub, saved from its start.
TEST_F(AppStep, RestartingTheJourneyKeepsTheOldOneAsideAndANewOneBegins) {
  settings_.emplace();
  settings_->load({});
  std::size_t sounds = 0;
  platform_.sound = [&](std::uint32_t) { ++sounds; };
  open();
  ASSERT_TRUE(playable());
  const std::string fresh = state_line(g());
  send(K_RIGHT);
  run(0.5);
  send(K_RIGHT, WM_KEYUP);
  send(K_UP);
  run(0.1);
  tap(K_P);                  // in the air
  tap(K_DOWN), tap(K_DOWN);  // Restart the journey
  const std::string played = state_line(g());
  const std::size_t heard = sounds;
  send(K_ENTER);
  EXPECT_EQ(shown().rfind("A new journey?\n", 0), 0u) << shown();
  send(K_ENTER);  // No, go back: the pause menu again
  EXPECT_EQ(shown().rfind("Paused\n", 0), 0u) << shown();
  tap(K_DOWN), tap(K_DOWN), send(K_ENTER);  // Restart the journey again
  EXPECT_EQ(state_line(g()), played) << "asking changed nothing";
  tap(K_DOWN), send(K_ENTER);  // and yes
  EXPECT_EQ(app_->screen(), nullptr);
  ASSERT_TRUE(playable());
  EXPECT_EQ(state_line(g()), fresh);
  run(0.1);
  EXPECT_EQ(sounds, heard) << "a new journey's start is no event";
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  std::string aside;
  for (const std::string& name : base::storage().list(dir_ + "/tervalon"))
    if (name.find(".txt.replaced-") != std::string::npos) aside = name;
  ASSERT_FALSE(aside.empty());
  EXPECT_EQ(replayed(file_text(dir_ + "/tervalon/" + std::filesystem::path(aside).filename().string())), played)
      << "the journey left is kept whole";
  const std::string text = save();
  EXPECT_EQ(text.find("# Tervalon "), 0u) << text;
  EXPECT_EQ(replayed(text), state_line(g()));
}

// A second game on the level file, or one whose lock is not a file, plays,
// saves nothing and says why in its title.
TEST_F(AppStep, ASecondGameOrOneWithoutARealLockSavesNothingAndSaysWhy) {
  const std::string folder = dir_ + "/tervalon/";
  std::filesystem::create_directories(folder);
  const std::string lock = folder + level_file_hash(*load_levels(dir_ + "/tervalon.dat")) + ".lock";
  for (const bool other_game : {true, false}) {
    SCOPED_TRACE(other_game ? "another game" : "a folder");
    std::string why;
    std::unique_ptr<base::Lock> held;
    if (other_game)
      ASSERT_TRUE(held = base::storage().lock(lock, why)) << why;
    else
      std::filesystem::remove(lock), std::filesystem::create_directory(lock);
    app_.reset();
    open();
    ASSERT_TRUE(playable());
    send(K_RIGHT);
    run(1);
    EXPECT_EQ(display::headless_title(),
              "Tervalon: progress is not being saved: " +
                  (other_game ? "another game is playing this level file" : lock + ": a folder, not a lock file"));
    tap(K_P);
    tap(K_DOWN), tap(K_DOWN);  // Restart the journey: nothing was kept, so nothing is kept aside
    testing::internal::CaptureStderr();
    send(K_ENTER);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    send(K_ESC);
    ASSERT_EQ(app_->finish(), 0);
    EXPECT_FALSE(std::filesystem::exists(lock.substr(0, lock.size() - 5) + ".txt"));
  }
}

// While a save plays back, before its menu, only Escape counts: it quits at
// once and leaves the save as it was.
TEST_F(AppStep, WhileASavePlaysBackOnlyEscapeQuits) {
  open();
  ASSERT_TRUE(playable());
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  const std::string text = save();
  const std::string path = dir_ + "/tervalon/" + level_file_hash(g()) + ".txt";
  const std::string longer = text.substr(0, text.find("cheat 0\n") + 8) + "frames 100000\n";
  write_file(dir_ + "/tervalon", std::filesystem::path(path).filename(), longer);
  app_.reset();
  open();
  app_->step();
  ASSERT_EQ(app_->screen(), nullptr) << "still playing the save back";
  send(K_DOWN);
  send(K_ENTER);
  EXPECT_FALSE(last_.over);
  send(K_ESC);
  EXPECT_TRUE(last_.over);
  ASSERT_EQ(app_->finish(), 0);
  EXPECT_EQ(file_text(path), longer);
}

// A save is continued whatever befell it: one with a torn last line or a line
// that is not a recording's is kept aside as .damaged, and the game goes on
// from its backup or from the part of it that replays, whichever went
// further; a save of another level file cannot go on; a finished journey is
// kept as one, and a new journey begins.
TEST_F(AppStep, ASaveGoesOnFromWhatReplaysWhateverBefellIt) {
  open();
  ASSERT_TRUE(playable());
  send(K_RIGHT);
  run(0.5);
  send(K_RIGHT, WM_KEYUP);
  run(0.3);
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  const std::string good = save(), path = dir_ + "/tervalon/" + level_file_hash(g()) + ".txt";
  const std::string part = good.substr(0, good.find("up right\n"));
  const std::string header = good.substr(0, good.find("cheat 0\n") + 8);
  std::string other = good;
  other.replace(other.find("level-file ") + 11, 64, std::string(64, '0'));
  const std::string let_go = part + "up right\n";  // Continue lets go of the keys held
  struct Case {
    const char* what;
    std::string save, backup;
    std::string says;
    const std::string* goes_on;  // what it plays as when continued; none: a new journey
    const char* aside;           // the name the save is kept as
  } cases[] = {
      {"torn", good + "frames 3", "", "cut short; kept as ", &good, ".damaged"},
      {"torn, named", good + "frames 3", "", "kept as " + std::filesystem::path(path).filename().string() + ".damaged)",
       &good, ".damaged"},
      {"junk, a longer backup", part + "zzz\n" + good.substr(part.size()), good,
       "a line that is not a recording's (line ", &good, ".damaged"},
      {"junk, a shorter backup", part + "zzz\n", header, "it goes on from the part of it that replays", &let_go,
       ".damaged"},
      {"another level file", other, "", "it was made on another level file", nullptr, ".damaged"},
      {"finished", header + "down left\nframes 120\n", "", "Your last journey was finished in ", nullptr, ".finished-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : base::storage().list(dir_ + "/tervalon"))
      if (name.find(".txt.") != std::string::npos) std::filesystem::remove(dir_ + "/tervalon/" + name);
    write_file(dir_ + "/tervalon", std::filesystem::path(path).filename(), c.save);
    if (!c.backup.empty())
      write_file(dir_ + "/tervalon", std::filesystem::path(path).filename().string() + ".bak", c.backup);
    app_.reset();
    open();
    ASSERT_TRUE(until([&](const Game&) { return app_->screen() != nullptr; }));
    const std::string menu = shown();
    EXPECT_NE(menu.find(c.says), std::string::npos) << menu;
    EXPECT_EQ(menu.find("[Continue]") != std::string::npos, c.goes_on != nullptr) << menu;
    const std::vector<std::string> names = base::storage().list(dir_ + "/tervalon");
    EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const std::string& n) {
      return n.find(std::string(".txt") + c.aside) != std::string::npos;
    })) << "kept aside, never deleted";
    if (c.goes_on) send(K_ENTER);  // Continue
    EXPECT_EQ(state_line(g()), replayed(c.goes_on ? *c.goes_on : ""));
    if (c.goes_on) {
      const std::uint64_t left_at = g().FRAME;
      tap(K_R);
      EXPECT_LT(g().FRAME, left_at) << "R goes back to where the level was entered";
    }
    const std::string at = state_line(g());
    send(K_ESC);
    ASSERT_EQ(app_->finish(), 0);
    EXPECT_EQ(replayed(save()), at) << "the save is what goes on";
  }
}

// Going on from the backup forgets what the damaged save reached, but not
// what the player reached: Practice offers it, from its entry as it was.
TEST_F(AppStep, GoingOnFromTheBackupKeepsWhatThePlayerReachedForPractice) {
  open();
  ASSERT_TRUE(playable());
  send(K_RIGHT);
  ASSERT_TRUE(until([&](const Game& s) {
    if (s.PAUSE != 0) tap(K_DOWN);
    return s.BDLV == 1 && s.PAUSE == 0;
  }));
  const std::string entered = state_line(g());
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  const std::string further = save(), path = dir_ + "/tervalon/" + level_file_hash(g()) + ".txt";
  const std::string idle = further.substr(0, further.find("cheat 0\n") + 8) + "frames 5000\n";
  write_file(dir_ + "/tervalon", std::filesystem::path(path).filename(), further + "zzz\n");
  write_file(dir_ + "/tervalon", std::filesystem::path(path).filename().string() + ".bak", idle);
  // What was kept of a level can be junk: it is said, never played.
  write_file(dir_ + "/tervalon", level_file_hash(g()) + ".reached-1-2.txt", "zzz\n");
  app_.reset();
  open();
  ASSERT_TRUE(until([&](const Game&) { return app_->screen() != nullptr; }));
  EXPECT_NE(shown().find("it goes on from its backup"), std::string::npos) << shown();
  tap(K_DOWN), tap(K_DOWN);  // Practice
  send(K_ENTER);
  EXPECT_EQ(shown(), "Practice\n[level 1 forward]\n[level 1 back]\n[Back]");
  tap(K_DOWN), send(K_ENTER);
  EXPECT_NE(shown().find("level 1 back cannot be practised: what reached it does not play here."), std::string::npos)
      << shown();
  send(K_ENTER);
  EXPECT_EQ(app_->screen(), nullptr);
  EXPECT_EQ(state_line(g()), entered) << "practice starts where level 1 was entered";
}

}  // namespace
}  // namespace tervalon::test
