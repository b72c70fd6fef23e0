// The app's step: its clock, pause, restart, continue and practice, saving
// twice a second, slower play, the settings screen and the menus.
#include "tests/game/app_step.h"

#include "base/storage.h"
#include "game/app/clock.h"
#include "game/app/words.h"
#include "game/rules/coords.h"

namespace tervalon::test {
namespace {

// A file that grows, noting each time it is handed what was recorded.
class WatchedJournal : public base::Journal {
 public:
  WatchedJournal(std::unique_ptr<base::Journal> j, const std::function<void()>& handed)
      : j_(std::move(j)), handed_(handed) {}
  bool adopt(std::uint64_t bytes) override { return j_->adopt(bytes); }
  void append(std::string bytes) override {
    if (!bytes.empty()) handed_();
    j_->append(std::move(bytes));
  }
  void replace_from(std::uint64_t keep, std::string bytes) override {
    handed_();
    j_->replace_from(keep, std::move(bytes));
  }
  void set_aside(std::string name) override { j_->set_aside(std::move(name)); }
  std::uint64_t length() const override { return j_->length(); }
  bool flush() override { return j_->flush(); }
  std::string failure() const override { return j_->failure(); }

 private:
  std::unique_ptr<base::Journal> j_;
  std::function<void()> handed_;
};

// The POSIX storage, its journals watched, while it is in use.
class WatchedStorage : public base::Storage {
 public:
  explicit WatchedStorage(std::function<void()> handed) : handed_(std::move(handed)) { base::use_storage(*this); }
  ~WatchedStorage() override { base::use_storage(base::posix_storage()); }
  WatchedStorage(const WatchedStorage&) = delete;
  WatchedStorage& operator=(const WatchedStorage&) = delete;

  std::unique_ptr<base::Journal> journal(const std::string& path, base::Journal::Options options) override {
    return std::make_unique<WatchedJournal>(p_.journal(path, std::move(options)), handed_);
  }
  std::string folder(Folder which, std::string& why) override { return p_.folder(which, why); }
  bool load(const std::string& path, std::string& bytes, int& error, std::string& why, std::size_t most) override {
    return p_.load(path, bytes, error, why, most);
  }
  bool may_replace(const std::string& path, std::string& why) override { return p_.may_replace(path, why); }
  bool save(const std::string& path, std::string_view bytes, std::string& why, const std::string& backup) override {
    return p_.save(path, bytes, why, backup);
  }
  bool save_players(const std::string& path, std::string_view bytes, std::string& why) override {
    return p_.save_players(path, bytes, why);
  }
  std::unique_ptr<base::Lock> lock(const std::string& path, std::string& why, std::chrono::milliseconds wait) override {
    return p_.lock(path, why, wait);
  }
  bool exists(const std::string& path) override { return p_.exists(path); }
  bool same_file(const std::string& a, const std::string& b) override { return p_.same_file(a, b); }
  std::vector<std::string> list(const std::string& folder) override { return p_.list(folder); }
  bool remove(const std::string& path) override { return p_.remove(path); }
  bool move(const std::string& from, const std::string& to) override { return p_.move(from, to); }
  bool link(const std::string& from, const std::string& to) override { return p_.link(from, to); }

 private:
  base::Storage& p_ = base::posix_storage();
  std::function<void()> handed_;
};

// The step never waits and the display starts no thread: a clock that stands
// still runs no frame, and each 1/60 s runs exactly one.
TEST_F(AppStep, NeverWaitsStartsNoThreadAndRunsOneFrameEachSixtiethOfASecond) {
  setenv("XDG_DATA_HOME", (dir_ + "/tervalon.dat").c_str(), 1);  // NOLINT: no data folder, so no saving thread
  const std::size_t before = threads();
  open();
  app_->step();
  const std::uint64_t first = g().FRAME;
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(app_->step().over);
  EXPECT_EQ(g().FRAME, first);
  for (int i = 1; i <= 120; ++i) {
    clock_ += 1.0 / 60;
    const App::Turn t = app_->step();
    ASSERT_EQ(g().FRAME, first + static_cast<std::uint64_t>(i));
    ASSERT_TRUE(t.wake > clock_ && t.wake <= clock_ + 1.0 / 60) << "called again when the next frame is due";
  }
  EXPECT_EQ(threads(), before);
  send(K_ESC);
  EXPECT_TRUE(last_.over);
  EXPECT_EQ(app_->finish(), 0);
}

// A pause stops the clock; Resume goes on a frame later, with no catch-up
// burst. Restart puts the level back as it was entered. Escape ends the game
// and its save continues exactly where it was, the keys held then let go.
TEST_F(AppStep, PauseRestartAndContinueKeepTheFramesAndTheSave) {
  open();
  ASSERT_TRUE(playable());
  const auto at_start = std::make_unique<Game>(g());
  send(K_RIGHT);
  run(0.5);
  const std::uint64_t paused_at = g().FRAME;
  EXPECT_GT(g().PX, 0.0);
  tap(K_P);
  run(10);
  EXPECT_EQ(g().FRAME, paused_at) << "no frame runs in a menu";
  send(K_ENTER);  // Resume
  clock_ += 1.0 / 120;
  app_->step();
  EXPECT_EQ(g().FRAME, paused_at + 1) << "no burst after a pause";

  send(K_R);
  EXPECT_TRUE(g().FRAME == at_start->FRAME && g().PX == at_start->PX && g().PY == at_start->PY)
      << "back at the hub's entry";
  EXPECT_NE(g().KR, 0) << "Right still held";
  run(0.3);
  const std::string left = state_line(g());
  send(K_ESC);
  ASSERT_TRUE(last_.over);
  ASSERT_EQ(app_->finish(), 0);

  // The save replays to where the game was left.
  const std::string text = save();
  std::unique_ptr<Game> replayed = load_levels(dir_ + "/tervalon.dat");
  INITLV(*replayed);
  const Played played = play_through(*replayed, text);
  ASSERT_TRUE(played.ok) << played.why << "\n" << text;
  EXPECT_EQ(state_line(*replayed).substr(0, left.size()), left.substr(0, left.size()));

  // Continued: the start menu first, then play from that frame, Right let go.
  app_.reset();
  open();
  run(1);
  EXPECT_EQ(state_line(g()), state_line(*replayed)) << "nothing runs under the start menu";
  const std::string at = play_time(replayed->FRAME);
  EXPECT_NE(shown().find("上次到了起点，用时 " + at + "\nYou were at the hub, " + at + " played"), std::string::npos)
      << shown();
  send(K_ENTER);  // Continue
  EXPECT_EQ(g().KR, 0) << "the keys held when it was left are let go";
  run(0.5);
  EXPECT_GT(g().FRAME, replayed->FRAME);
}

// A best is set in the journey, shown in the practice menu, and a practice of
// the level starts at its entry and says how it went.
TEST_F(AppStep, PracticeStartsAtTheLevelsEntryAndItsResultIsShown) {
  open();
  ASSERT_TRUE(playable());
  send(K_RIGHT);
  ASSERT_TRUE(until([](const Game& s) { return s.PAUSE != 0; })) << "the hub's exit";
  send(K_RIGHT, WM_KEYUP);
  ASSERT_TRUE(until([&](const Game& s) {
    if (s.PAUSE != 0) tap(K_DOWN);
    return s.BDLV == 1 && s.PAUSE == 0;
  }));
  const std::uint64_t level_entry = g().FRAME;
  send(K_RIGHT);
  ASSERT_TRUE(until([](const Game& s) { return s.PAUSE != 0; })) << "level 1's exit";
  send(K_RIGHT, WM_KEYUP);
  const std::string folder = dir_ + "/tervalon";
  ASSERT_TRUE(until([&](const Game&) { return !app_->note().empty(); }));
  EXPECT_EQ(app_->note().rfind("新纪录 New best: level 1 forward, ", 0), 0u) << app_->note();
  const std::uint64_t said = g().FRAME;
  ASSERT_TRUE(until([&](const Game&) { return app_->note().empty(); }));
  EXPECT_EQ(g().FRAME - said, 180u) << "a note is shown for three seconds";
  ASSERT_TRUE(until([&](const Game&) { return file_text(folder + "/bests.txt").find(" 1 ") != std::string::npos; }));
  ASSERT_TRUE(playable());

  const std::uint64_t journey_at = g().FRAME;
  tap(K_P);
  tap(K_DOWN), tap(K_DOWN), tap(K_DOWN);  // Practice
  send(K_ENTER);
  send(K_ENTER);  // level 1 forward, the only level reached
  EXPECT_TRUE(g().FRAME == level_entry && g().BDLV == 1 && g().PAUSE == 0)
      << "practice starts at the entry " << state_line(g()) << " " << level_entry;
  send(K_RIGHT);
  EXPECT_TRUE(until([](const Game& s) { return s.GSIT == 2; })) << "level 1's exit, practised: the journey is back";
  EXPECT_EQ(g().FRAME, journey_at) << "the journey waits for the practice";
  send(K_RIGHT, WM_KEYUP);
  tap(K_ESC);     // back to the pause menu
  send(K_ENTER);  // Resume
  EXPECT_FALSE(last_.over);
  run(0.1);
  EXPECT_GT(g().FRAME, journey_at);
}

// The first start shows the game's name and its keys, Tab and M among
// them; no frame runs under it, and it goes at a key or by itself. The next
// start does not show it.
TEST_F(AppStep, TheFirstStartWelcomesUntilAKeyOrAWhile) {
  settings_.emplace();
  settings_->load({});
  keep_welcome_ = true;
  for (const bool by_key : {true, false}) {
    SCOPED_TRACE(by_key ? "a key" : "a while");
    open();
    const std::string welcome = shown();
    EXPECT_EQ(welcome.rfind("Tervalon\n", 0), 0u) << welcome;
    EXPECT_NE(welcome.find("Tab"), std::string::npos) << welcome;
    EXPECT_NE(welcome.find("Any key starts"), std::string::npos) << welcome;
    run(7.5);
    EXPECT_EQ(shown(), welcome);
    if (by_key) {
      tap(K_SPACE);
      EXPECT_EQ(app_->screen(), nullptr);
      EXPECT_EQ(g().FRAME, 0u) << "the game waited";
    } else {
      run(1);
      EXPECT_EQ(app_->screen(), nullptr);
      EXPECT_LT(g().FRAME, 60u) << "the game waited";
    }
    send(K_ESC);
    ASSERT_EQ(app_->finish(), 0);
    std::filesystem::remove(dir_ + "/tervalon/" + level_file_hash(g()) + ".txt");  // no journey to continue
    app_.reset();
  }
  settings_->load({});
  open();
  EXPECT_EQ(app_->screen(), nullptr) << "only the first start: " << shown();
  EXPECT_EQ(app_->note(), "");
  // A wrong line is said once over the start of play, in both languages.
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  std::filesystem::remove(dir_ + "/tervalon/" + level_file_hash(g()) + ".txt");
  app_.reset();
  write_file(dir_ + "/tervalon", "settings.ini", "[sound]\nvolume = loud\n");
  settings_->load({});
  open();
  EXPECT_NE(app_->note().find("settings.ini has problems"), std::string::npos) << app_->note();
  EXPECT_NE(app_->note().find("settings.ini 有问题"), std::string::npos) << app_->note();
}

// The settings screen changes a value and saves the file at once; each
// screen has its way out of the game.
TEST_F(AppStep, TheSettingsScreenSavesAChangeAndEveryScreenQuits) {
  settings_.emplace();
  settings_->load({});
  open();
  ASSERT_TRUE(playable());
  run(0.1);  // a journey to continue
  tap(K_P);
  for (int i = 0; i < 4; ++i) tap(K_DOWN);  // Settings
  send(K_ENTER);
  send(K_ENTER);  // Scale: integer -> fit
  EXPECT_NE(file_text(settings_->path()).find("scale = fit"), std::string::npos) << file_text(settings_->path());
  EXPECT_TRUE(settings_->settings().fit);
  EXPECT_NE(shown().find("\n[Scale: fit]\n"), std::string::npos) << shown();
  tap(K_ESC);  // back to the pause menu
  tap(K_UP);   // Quit, the last item
  send(K_ENTER);
  EXPECT_TRUE(last_.over);
  EXPECT_EQ(app_->finish(), 0);

  // The start menu's Settings leave to it, and its Quit quits.
  app_.reset();
  open();
  run(0.2);
  const std::string start = shown();
  tap(K_UP), tap(K_UP);
  send(K_ENTER);
  EXPECT_EQ(shown().rfind("Settings\n", 0), 0u) << shown();
  tap(K_ESC);
  EXPECT_EQ(shown(), start);
  tap(K_DOWN);  // from Settings to Quit
  send(K_ENTER);
  EXPECT_TRUE(last_.over);
}

// While a game is played its save is handed what was played twice a
// second, on the game's clock: never less often, never more.
TEST_F(AppStep, TheSaveGrowsTwiceASecond) {
  std::vector<double> handed;
  WatchedStorage storage([&] { handed.push_back(clock_); });
  open();
  ASSERT_TRUE(playable());
  const double from = clock_;
  for (int i = 0; i < 12; ++i) {
    tap(i % 2 ? K_LEFT : K_RIGHT);
    run(0.25);
  }
  std::erase_if(handed, [&](double t) { return t < from; });
  ASSERT_GE(handed.size(), 5u);
  for (std::size_t i = 1; i < handed.size(); ++i) {
    EXPECT_GE(handed[i] - handed[i - 1], 0.5 - 1e-9) << i;
    EXPECT_LE(handed[i] - handed[i - 1], 0.5 + 1.0 / 60 + 1e-9) << i;
  }
  app_.reset();  // its journal goes before the storage watching it
}

// A stall is caught up in one burst of at most a quarter of a second, then
// play goes on at its pace; a key let go in a menu is recorded, so the save
// replays to the last bit of the state the game was left in.
TEST_F(AppStep, AStallIsCaughtUpInOneShortBurstAndAKeyLetGoInAMenuIsRecorded) {
  open();
  ASSERT_TRUE(playable());
  send(K_RIGHT);
  run(0.2);
  const std::uint64_t before = g().FRAME;
  clock_ += 1.0;  // a second with no step
  app_->step();
  EXPECT_EQ(g().FRAME, before + GameClock::MOST_CAUGHT_UP);
  run(0.49);
  EXPECT_EQ(g().FRAME, before + GameClock::MOST_CAUGHT_UP + 30) << "then a frame each sixtieth of a second";

  tap(300);  // a key beyond the virtual-key codes acts, and is kept, as any key does
  tap(K_P);
  send(K_RIGHT, WM_KEYUP);
  send(K_UP, WM_KEYUP);  // not held: nothing to record
  tap(K_ESC);            // Resume
  EXPECT_EQ(g().KR, 0);
  run(0.5);
  const std::string left = state_line(g());
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  const std::string text = save();
  EXPECT_NE(text.find("\nburst 15\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("up up"), std::string::npos) << text;
  EXPECT_EQ(text.find("esc"), std::string::npos) << "the quitting key is never kept";
  EXPECT_TRUE(text.ends_with("expect " + left + "\n")) << "it ends with the state it was left in";
  EXPECT_EQ(replayed(text), left);
}

// At 40% a second is 24 frames, each doing what it does at full speed, and
// the recording says so. A level finished slower, or with the cheat marker,
// sets no best.
TEST_F(AppStep, SlowerPlayStretchesEveryFrameAndNeitherItNorTheCheatSetsABest) {
  for (const bool cheat : {false, true}) {
    SCOPED_TRACE(cheat ? "cheat" : "40%");
    std::filesystem::remove_all(dir_ + "/tervalon");
    cheat_ = cheat;
    clock_ = 0.001;
    Options o;
    o.speed = cheat ? 100 : 40;
    open(o);
    ASSERT_TRUE(playable());
    app_->step();  // every frame due so far run
    const std::uint64_t at = g().FRAME;
    run(1.0);
    EXPECT_EQ(g().FRAME, at + (cheat ? 60 : 24));
    send(K_RIGHT);
    ASSERT_TRUE(until([&](const Game& s) {
      if (s.PAUSE != 0) tap(K_DOWN);
      return s.BDLV == 1 && s.PAUSE == 0;
    })) << "level 1";
    ASSERT_TRUE(until([](const Game& s) { return s.PAUSE != 0; })) << "level 1's exit";
    send(K_ESC);
    ASSERT_EQ(app_->finish(), 0);
    EXPECT_EQ(save().find("# played at 40% speed") != std::string::npos, !cheat);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/tervalon/bests.txt"));
    app_.reset();
    open(o);  // and its save goes on
    run(0.1);
    EXPECT_NE(shown().find("\n[Continue]"), std::string::npos) << shown();
    app_.reset();
  }
}

// On the settings screen the key pressed for an action, once the player
// says it replaces the action's keys, is taken from the action it was on,
// and saved and bound at once; Escape cancels. M turns the sound off and on and is never recorded.
TEST_F(AppStep, ARemappedKeyIsSavedAndBoundAtOnceAndMIsThePlayersOwn) {
  settings_.emplace();
  settings_->load({});
  Settings bound;
  std::vector<std::uint32_t> sounds;
  std::vector<bool> muted;
  platform_ = {
      [&](const Settings& s) { bound = s; }, [](std::int32_t k) { return std::string(1, static_cast<char>(k)); },
      [&](std::uint32_t id) { sounds.push_back(id); }, [](std::uint32_t) {}, [&](bool m) { muted.push_back(m); }};
  open();
  ASSERT_TRUE(playable());
  send(K_UP);
  run(0.1);
  send(K_UP, WM_KEYUP);
  ASSERT_FALSE(sounds.empty());
  EXPECT_EQ(sounds[0], static_cast<std::uint32_t>(Sound::jump));
  const std::size_t heard = sounds.size();
  tap(K_M);
  tap(K_M);
  EXPECT_EQ(muted, (std::vector<bool>{false, true, false})) << "off at start, then M twice";

  tap(K_P);
  for (int i = 0; i < 4; ++i) tap(K_DOWN);  // Settings
  send(K_ENTER);
  for (int i = 0; i < 5; ++i) tap(K_UP);  // from the first line up past Back, Defaults, Pause and Restart: Jump
  send(K_ENTER);
  auto press = [&](std::int32_t key) {
    display::MSG m;
    m.MESSAGE = WM_KEYDOWN;
    m.WPARAM = key;
    m.LPARAM = key << 16;
    display::inject_message(m);
    app_->step();
  };
  press(K_R);     // restart's key
  send(K_ENTER);  // Only R: jump has three keys, no room for a fourth
  EXPECT_EQ(bound.keys[Action::jump], (std::vector<std::string>{"R"}));
  EXPECT_TRUE(bound.keys[Action::restart].empty());
  EXPECT_NE(file_text(settings_->path()).find("jump = R\n"), std::string::npos) << file_text(settings_->path());
  send(K_ENTER);
  press(K_ESC);  // cancels
  EXPECT_EQ(settings_->settings().keys[Action::jump][0], "R");
  tap(K_ESC);  // the pause menu
  EXPECT_EQ(sounds.size(), heard) << "menus are silent";
  tap(K_ESC);  // play
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  EXPECT_EQ(save().find("down 77"), std::string::npos) << "M is never recorded";
}

// The pause menu shows the keys as bound; a menu answers the mouse: moving
// highlights, a click chooses; and it is drawn over the game's picture.
TEST_F(AppStep, ThePauseMenuShowsTheKeysAndAnswersTheMouse) {
  settings_.emplace();
  settings_->load({});
  open();
  ASSERT_TRUE(playable());
  run(1.0 / 60);  // its picture drawn
  const std::vector<std::uint32_t> game_picture = picture();
  tap(K_P);
  const std::string menu = shown();
  EXPECT_NE(menu.find("←/A、→/D 跑　↑/W/Space 跳\n"), std::string::npos) << menu;
  EXPECT_NE(menu.find("\nTab (held) guide; M sound on/off; Esc quit\n"), std::string::npos) << menu;
  EXPECT_NE(picture()[0], game_picture[0]) << "the menu darkens the whole picture";

  const auto& screen = dynamic_cast<const MenuScreen&>(*app_->screen());
  auto at = [&](std::size_t item) {
    const auto x = static_cast<std::int32_t>(g().W / 2);
    for (std::int32_t y = 0; y < static_cast<std::int32_t>(g().H); ++y)
      if (menu_item_at(g(), screen.menu(), x, y) == static_cast<int>(item)) return mouse_lparam(x, y);
    ADD_FAILURE() << "no item " << item;
    return 0;
  };
  auto mouse = [&](std::uint32_t message, std::int32_t lparam) {
    display::MSG m;
    m.MESSAGE = message;
    m.LPARAM = lparam;
    display::inject_message(m);
    app_->step();
  };
  mouse(WM_MOUSEMOVE, at(1));
  EXPECT_EQ(screen.menu().selected, 1u);
  mouse(WM_LBUTTONUP, at(0));  // Resume
  EXPECT_EQ(app_->screen(), nullptr);
}

// The goal and the assists' marks are over the window's picture only: with
// both off the window shows the bare composition, as recordings and the
// replay tool see it. The goal rings the exit's box from the first frame; the
// marks keep to the bottom and follow M at once.
TEST_F(AppStep, TheGoalAndTheAssistMarksAreOverTheWindowsPictureOnly) {
  auto hub = room(16, 12, 3, 10, 13, 10);
  hub[10][1] = 'e';
  write_file(dir_, "tervalon.dat", level_file({{1, hub}, {1, hub}}));
  Options bare;
  bare.goal = false;
  open(bare);
  ASSERT_TRUE(playable());
  run(1.0 / 60);
  const std::vector<std::uint32_t> composed = picture();
  app_.reset();
  std::filesystem::remove_all(dir_ + "/tervalon");  // the same start again
  settings_.emplace();
  settings_->load({});
  Options o;
  o.mute = true;
  o.speed = 60;
  open(o);
  ASSERT_TRUE(playable());
  auto corner_pixels = [&] {
    const std::uint64_t from = g().FRAME;
    EXPECT_TRUE(until([&](const Game& now) { return now.FRAME > from; }));
    const std::vector<std::uint32_t> shown = picture();
    EXPECT_EQ(shown.size(), composed.size());
    std::size_t ring = 0, corner = 0;
    for (std::size_t i = 0; i < shown.size() && i < composed.size(); ++i) {
      if (shown[i] == composed[i]) continue;
      const bool below = i / display::PMAIN->WIDTH >= g().H * 3 / 4;
      ring += shown[i] == 191 * g().C[0];
      corner += below && shown[i] != 191 * g().C[0];
      EXPECT_TRUE(below || shown[i] == 191 * g().C[0]) << i;
    }
    EXPECT_EQ(ring, std::size_t{2 * (PW + 4) * 2 + 2 * PH * 2}) << "the goal's ring";
    return corner;
  };
  const std::size_t muted_and_slow = corner_pixels();
  tap(K_M);
  const std::size_t slow = corner_pixels();
  EXPECT_GT(slow, 0u) << "no mark of the slower speed";
  EXPECT_LT(slow, muted_and_slow) << "the sound's mark stays after M";
}

}  // namespace
}  // namespace tervalon::test
