// The journey kept, attacked where players lose it: restarting it, damaged
// saves and backups, locks that are no locks, the data folder removed in play,
// saves too long to play, what a dead game left behind, and best runs shared
// by games.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/e2e/e2e.h"
#include "waiting.h"

namespace tervalon::test {
namespace {

namespace fs = std::filesystem;

// The files beside `save` whose names go on with `label`.
std::vector<std::string> beside(const std::string& save, const std::string& label) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(fs::path(save).parent_path()))
    if (e.path().string().starts_with(save + label)) found.push_back(e.path());
  return found;
}

// Holds `key` until the picture changes: the player has moved.
void walk(GameProcess& game, const std::string& key) {
  const auto before = game.screenshot();
  game.xdo("keydown " + key);
  EXPECT_TRUE(eventually([&] { return game.screenshot() != before; })) << "the player did not move";
  game.xdo("keyup " + key);
}

bool says(GameProcess& game, const std::string& words) {
  return eventually([&] { return game.err().find(words) != std::string::npos; });
}

// A journey played a little and left with Escape: its save.
std::string played_journey(GameProcess& game) {
  EXPECT_FALSE(game.window().empty()) << game.err();
  walk(game, "Right");
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
  return save_of(game.dir());
}

bool replays(const std::string& path) {
  return run_in(fs::path(path).parent_path().parent_path(), "'" + REPLAY + "' '" + path + "'").status == 0;
}

TEST_F(GameInX, RestartingTheJourneyKeepsTheOldOneAsideAndTheNewOneContinues) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  walk(game, "Right");
  game.xdo("key p Down Down Return Down Return");  // the pause menu: Restart the journey, and yes
  const std::string save = save_of(game.dir());
  ASSERT_TRUE(eventually([&] { return !beside(save, ".replaced-").empty(); })) << game.err();
  walk(game, "Left");
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();

  const std::string old = beside(save, ".replaced-").front();
  EXPECT_TRUE(replays(old));
  EXPECT_FALSE(lines_with(file_text(old), "down right").empty());
  EXPECT_TRUE(replays(save)) << file_text(save);
  GameProcess again(game.dir());
  ASSERT_FALSE(again.window().empty()) << again.err();
  again.xdo("key Return Escape");
  EXPECT_EQ(again.wait_exit(), 0) << again.err();
  EXPECT_EQ(again.err().find("cannot be continued"), std::string::npos) << again.err();
}

TEST_F(GameInX, ADamagedSaveGoesOnFromItsBackupOrFromThePartThatReplays) {
  Game first(levels());
  const std::string save = played_journey(first);
  const std::string older = file_text(save);
  GameProcess second(first.dir());
  ASSERT_FALSE(second.window().empty()) << second.err();
  second.xdo("key Return");
  walk(second, "Left");
  second.xdo("key Escape");
  ASSERT_EQ(second.wait_exit(), 0) << second.err();
  const std::string newer = file_text(save);
  ASSERT_EQ(file_text(save + ".bak"), older);

  // A line of junk near the end: all before it goes on; a wrong level-file
  // line at the top: nothing of it replays, and the backup goes on.
  const std::size_t last = newer.rfind('\n', newer.size() - 2) + 1;
  const std::string hash_line = lines_with(newer, "level-file ").front();
  const std::string other_file = "level-file " + std::string(64, '0');
  const struct {
    std::string damaged, reason, from, continued;
  } cases[] = {
      {newer.substr(0, last) + "garbage\n" + newer.substr(last), "a line that is not a recording's",
       "from the part of it that replays", newer.substr(0, last)},
      {std::string(newer).replace(newer.find(hash_line), hash_line.size(), other_file), "made on another level file",
       "from its backup", older},
  };
  for (const auto& c : cases) {
    std::ofstream(save, std::ios::binary | std::ios::trunc) << c.damaged;
    std::ofstream(save + ".bak", std::ios::binary | std::ios::trunc) << older;
    GameProcess game(first.dir());
    ASSERT_FALSE(game.window().empty()) << game.err();
    EXPECT_TRUE(says(game, c.from)) << game.err();
    EXPECT_NE(game.err().find(c.reason), std::string::npos) << game.err();
    EXPECT_EQ(file_text(beside(save, ".damaged").back()), c.damaged);
    EXPECT_EQ(file_text(save + ".bak"), older) << "the backup was lost";
    game.xdo("key Return Escape");
    EXPECT_EQ(game.wait_exit(), 0) << game.err();
    EXPECT_TRUE(file_text(save).starts_with(c.continued));
    EXPECT_TRUE(replays(save));
    for (const std::string& d : beside(save, ".damaged")) fs::remove(d);
  }
}

TEST_F(GameInX, WithoutARealLockNothingIsSavedAndAGameThatLostItsLockLeavesTheOtherAlone) {
  Game first(levels());
  const std::string save = played_journey(first);
  const std::string saved = file_text(save), lock = save.substr(0, save.size() - 4) + ".lock";
  for (const bool folder : {true, false}) {
    fs::remove(lock);
    if (folder)
      fs::create_directory(lock);
    else
      fs::create_symlink(first.dir() + "/elsewhere", lock);
    GameProcess game(first.dir());
    ASSERT_FALSE(game.window().empty()) << game.err();
    EXPECT_TRUE(says(game, "progress is not being saved")) << game.err();
    EXPECT_NE(game.err().find("not a lock file"), std::string::npos) << game.err();
    walk(game, "Right");
    game.xdo("key Escape");
    EXPECT_EQ(game.wait_exit(), 0) << game.err();
    EXPECT_EQ(file_text(save), saved);
    EXPECT_FALSE(fs::exists(first.dir() + "/elsewhere"));
  }
  fs::remove(lock);

  // The folder removed under a game and made again by a second one: the
  // first no longer saves, and says so.
  GameProcess a(first.dir());
  ASSERT_FALSE(a.window().empty()) << a.err();
  a.xdo("key Return");
  // Held still while the second game makes the folder and its lock again.
  kill(a.pid(), SIGSTOP);
  fs::remove_all(first.dir() + "/tervalon");
  GameProcess b(first.dir());
  ASSERT_TRUE(eventually([&] { return fs::exists(save); })) << b.err();
  kill(a.pid(), SIGCONT);
  a.xdo("windowraise " + a.window());  // the second game's window opened over it
  walk(a, "Right");
  EXPECT_TRUE(eventually([&] { return a.title().find("progress is not being saved") != std::string::npos; }))
      << a.err();
  kill(b.pid(), SIGTERM);
  EXPECT_EQ(b.wait_exit(), 128 + SIGTERM) << b.err();
  const std::string kept = file_text(save);
  a.xdo("key Escape");
  EXPECT_EQ(a.wait_exit(), 0) << a.err();
  EXPECT_EQ(file_text(save), kept) << "the first game wrote over the second's journey";
  EXPECT_TRUE(replays(save));
}

TEST_F(GameInX, TheDataFolderRemovedInPlayIsMadeAgainWithTheWholeJourney) {
  Game game(levels());
  ASSERT_FALSE(game.window().empty()) << game.err();
  walk(game, "Right");
  const std::string folder = game.dir() + "/tervalon";
  const std::string save = save_of(game.dir());
  ASSERT_TRUE(eventually([&] { return !lines_with(file_text(save), "down right").empty(); }));
  // Gone, and a file where it was: saving fails until the file goes too.
  fs::remove_all(folder);
  std::ofstream(folder) << "in the way";
  walk(game, "Left");
  EXPECT_TRUE(eventually([&] { return game.title().find("progress is not being saved") != std::string::npos; }));
  fs::remove(folder);
  EXPECT_TRUE(eventually([&] { return game.title().find("not being saved") == std::string::npos && fs::exists(save); }))
      << game.title();
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
  const std::string text = file_text(save);
  EXPECT_TRUE(replays(save));
  EXPECT_FALSE(lines_with(text, "down right").empty() || lines_with(text, "down left").empty()) << text;
}

TEST_F(GameInX, ASaveTooLongToPlayIsRefusedAndALongOneCanBeLeftWhileItPlays) {
  Game first(levels());
  const std::string save = played_journey(first);
  const std::string header = lines_with(file_text(save), "level-file ").front() + "\ncheat 0\n";
  std::ofstream(save, std::ios::trunc) << header << "burst 4000000000\n";
  GameProcess refused(first.dir());
  ASSERT_FALSE(refused.window().empty()) << refused.err();
  EXPECT_TRUE(says(refused, "it holds more than 1000 hours of play")) << refused.err();
  refused.xdo("key Escape");
  EXPECT_EQ(refused.wait_exit(), 0) << refused.err();

  // About 900 hours: minutes of playback, which Escape and a signal end at
  // once, the save untouched.
  const std::string long_one = header + "burst 200000000\n";
  for (const bool escape : {true, false}) {
    std::ofstream(save, std::ios::trunc) << long_one;
    GameProcess game(first.dir());
    ASSERT_FALSE(game.window().empty()) << game.err();
    if (escape)
      game.xdo("key Escape");
    else
      kill(game.pid(), SIGTERM);
    EXPECT_EQ(game.wait_exit(), escape ? 0 : 128 + SIGTERM) << game.err();
    EXPECT_EQ(file_text(save), long_one);
  }
}

TEST_F(GameInX, AtStartWhatADeadGameLeftIsTidiedAndEverySaveSaysWhatItIs) {
  Game first(levels());
  const std::string save = played_journey(first);
  std::ofstream(save + ".4194304.tmp") << "stray";
  std::ofstream(save + ".bak.77.tmp") << "stray";
  fs::remove(save + ".bak");
  fs::create_directory(save + ".bak");
  GameProcess game(first.dir());
  ASSERT_FALSE(game.window().empty()) << game.err();
  EXPECT_TRUE(says(game, ".bak: a folder, not a regular file")) << game.err();
  game.xdo("key Return");
  walk(game, "Left");
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
  EXPECT_FALSE(fs::exists(save + ".4194304.tmp") || fs::exists(save + ".bak.77.tmp"));
  EXPECT_TRUE(fs::is_directory(save + ".bak.damaged"));
  EXPECT_TRUE(fs::is_regular_file(save + ".bak")) << "no backup is kept";

  // An empty save holds no journey: the game starts in the hub, no menu.
  std::ofstream(save, std::ios::trunc).flush();
  fs::remove(save + ".bak");
  GameProcess empty(first.dir());
  ASSERT_FALSE(empty.window().empty()) << empty.err();
  const auto hub = replay_picture(first.dir(), "");
  EXPECT_TRUE(eventually([&] { return empty.screenshot() == hub; })) << "a menu for an empty save";
  empty.xdo("key Escape");
  EXPECT_EQ(empty.wait_exit(), 0) << empty.err();

  // A finished journey is kept aside with its backup, and said so.
  const std::string finished_run = lines_with(file_text(save), "level-file ").front() +
                                   "\ncheat 0\ndown left\nframes 200\n";
  std::ofstream(save, std::ios::trunc) << finished_run;
  GameProcess finished(first.dir());
  ASSERT_FALSE(finished.window().empty()) << finished.err();
  EXPECT_TRUE(says(finished, "the saved journey was finished")) << finished.err();
  EXPECT_FALSE(beside(save, ".finished-").empty());
  EXPECT_FALSE(fs::exists(save + ".bak")) << "its backup would be offered as the journey";
  finished.xdo("key Escape");
  EXPECT_EQ(finished.wait_exit(), 0) << finished.err();
}

TEST_F(GameInX, AReadOnlySettingsFileStaysSoWhileTheChangeAppliesAndJunkIsNamedBriefly) {
  const std::string dir = make_temp_dir();
  write_file(dir, "tervalon.dat", levels());
  fs::create_directories(dir + "/tervalon");
  const std::string ini = write_file(dir + "/tervalon", "settings.ini", "[play]\nguide = no\ngoal = no\n");
  fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  GameProcess game(dir);
  ASSERT_FALSE(game.window().empty()) << game.err();
  const auto hub = replay_picture(dir, "");
  game.xdo("key p Down Down Down Down Return Down Down Down Return");  // Settings, then the guide
  EXPECT_TRUE(says(game, "cannot be written")) << game.err();
  game.xdo("key Escape Escape");  // back to play, the guide shown
  EXPECT_TRUE(eventually([&] { return game.screenshot() != hub; })) << "the guide is not in force";
  game.xdo("key Escape");
  EXPECT_EQ(game.wait_exit(), 0) << game.err();
  EXPECT_EQ(file_text(ini), "[play]\nguide = no\ngoal = no\n");
  EXPECT_EQ(fs::status(ini).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  // A megabyte of junk: a few lines say so, not one a line.
  std::string junk;
  while (junk.size() < 1000000) junk += "junk\n";
  fs::permissions(ini, fs::perms::owner_write, fs::perm_options::add);
  std::ofstream(ini, std::ios::trunc) << junk;
  GameProcess again(dir);
  ASSERT_FALSE(again.window().empty()) << again.err();
  again.xdo("key Escape");
  EXPECT_EQ(again.wait_exit(), 0) << again.err();
  const std::string err = again.err();
  EXPECT_LT(std::count(err.begin(), err.end(), '\n'), 30) << err.substr(0, 2000);
}

}  // namespace
}  // namespace tervalon::test
