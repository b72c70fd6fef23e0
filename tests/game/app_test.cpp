// The app's step on the headless back end, on the caller's thread, with
// scripted messages and a scripted clock: no window, no X server, no wait.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/keys.h"
#include "base/storage.h"
#include "display/window.h"
#include "game/app/app.h"
#include "game/app/clock.h"
#include "game/app/menu_screen.h"
#include "game/app/words.h"
#include "game/journey/bests.h"
#include "game/replay/playback.h"
#include "game/replay/script.h"
#include "game/rules/level_file.h"
#include "game/rules/level_start.h"
#include "game/view/menu.h"
#include "support.h"

namespace tervalon::test {
namespace {

using namespace base::keys;

std::size_t threads() {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/task")) n += e.exists();
  return n;
}

// The pixels of the window's picture.
std::vector<std::uint32_t> picture() {
  display::sync_main_surface();
  std::vector<std::uint32_t> pixels;
  for (std::uint32_t y = 0; y < display::PMAIN->HEIGHT; ++y)
    for (std::uint32_t x = 0; x < display::PMAIN->WIDTH; ++x) pixels.push_back(display::PMAIN->at(x, y));
  return pixels;
}

std::string file_text(const std::string& path) {
  std::stringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

// A hub whose exit leads to level 1, whose exit is eleven cells to the right.
std::string levels() {
  auto hub = room(20, 12, 3, 10, 17, 10);
  hub[10][1] = 'e';
  return level_file({{1, hub}, {1, room(20, 12, 2, 10, 13, 10)}});
}

const std::string SOURCE = TERVALON_SOURCE_DIR;

// The shipped journey as the replay tool plays it (pinned): each level and
// pass from the frame it became playable to the frame it was left.
struct Stage {
  std::int8_t level = 0, pass = 0;
  std::uint64_t entered = 0, left = 0;
};
std::vector<Stage> pinned_stages(std::uint64_t& last_frame) {
  std::ifstream in(SOURCE + "/tests/levels/journey.expected");
  std::vector<Stage> stages;
  bool playing = false;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::uint64_t frame = 0;
    int level = 0, pass = 0, pause = 0;
    if (!(fields >> frame >> level >> pass >> pause)) continue;
    last_frame = frame;
    if (!playing && pause == 0)
      stages.push_back({static_cast<std::int8_t>(level), static_cast<std::int8_t>(pass), frame, 0});
    else if (playing && pause != 0)
      stages.back().left = frame;
    playing = pause == 0;
  }
  return stages;
}

// How many sound events of this name the pinned journey makes.
std::size_t pinned_events(const std::string& name) {
  std::ifstream in(SOURCE + "/tests/levels/journey.events");
  std::size_t n = 0;
  for (std::string frame, event; in >> frame >> event;) n += event == name;
  return n;
}

std::vector<std::string> solutions() {
  std::vector<std::string> paths;
  for (const auto& e : std::filesystem::directory_iterator(SOURCE + "/data/solutions")) paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  return paths;
}

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

class AppStep : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir();
    write_file(dir_, "tervalon.dat", levels());
    setenv("XDG_DATA_HOME", dir_.c_str(), 1);    // NOLINT(concurrency-mt-unsafe): before any thread
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    display::use_headless_backend();
    display::use_inline_driver();
  }
  void TearDown() override {
    app_.reset();  // its files written first
    std::filesystem::remove_all(dir_);
  }

  void open(const Options& o = {}) {
    std::unique_ptr<Game> game = load_levels(dir_ + "/tervalon.dat");
    game->CHEAT = cheat_;
    app_ = std::make_unique<App>(std::move(game), o, settings_ ? &*settings_ : nullptr,
                                 settings_ ? &platform_ : nullptr, [this] { return clock_; });
    ASSERT_TRUE(app_->start());
  }
  void send(std::int32_t key, std::uint32_t message = WM_KEYDOWN) {
    display::MSG m;
    m.MESSAGE = message;
    m.WPARAM = key;
    display::inject_message(m);
    last_ = app_->step();
  }
  void tap(std::int32_t key) {
    send(key);
    send(key, WM_KEYUP);
  }
  // Steps as the desktop does, the clock moving to each wake-up (a frame
  // falls due just after it), for `seconds`.
  void run(double seconds) {
    const double end = clock_ + seconds;
    while (!(last_ = app_->step()).over && last_.wake <= end) clock_ = std::max(clock_ + 1e-4, last_.wake);
    clock_ = end;
  }
  // Runs until `ok` holds of the game, for at most a minute of its time.
  template <typename Ok>
  bool until(Ok ok) {
    for (int i = 0; i < 3600; ++i, run(1.0 / 60))
      if (ok(app_->game())) return true;
    return false;
  }
  const Game& g() { return app_->game(); }
  // What the screen over the game says, in English: its title, lines and items.
  std::string shown() {
    const auto* screen = dynamic_cast<const MenuScreen*>(app_->screen());
    if (!screen) return "";
    const Menu& m = screen->menu();
    std::string text = m.title_en;
    for (const std::string& line : m.lines) text += "\n" + line;
    for (const MenuItem& item : m.items) text += "\n[" + item.en + "]";
    return text;
  }
  // Plays a recording's keys and frames through the step as a player would:
  // each key at the frame it was pressed, one frame each sixtieth of a second.
  void drive(const std::string& script) {
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);) {
      Command c;
      std::string why;
      ASSERT_TRUE(parse_command(line, c, why)) << line << ": " << why;
      if (c.op == Command::Op::down || c.op == Command::Op::up)
        send(c.key, c.op == Command::Op::down ? WM_KEYDOWN : WM_KEYUP);
      for (std::uint64_t i = 0; c.op == Command::Op::frames && i < c.count; ++i) {
        clock_ += 1.0 / 60;
        last_ = app_->step();
      }
    }
  }
  // Through the story text (Down skips it) until the level can be played.
  bool playable() {
    return until([&](const Game& s) {
      if (s.PAUSE != 0) tap(K_DOWN);
      return s.PAUSE == 0;
    });
  }
  std::string save() { return file_text(dir_ + "/tervalon/" + level_file_hash(g()) + ".txt"); }
  // The state a recording plays to on the level file, as the replay tool
  // plays it from the journey's start.
  std::string replayed(const std::string& text) {
    const std::unique_ptr<Game> game = load_levels(dir_ + "/tervalon.dat");
    INITLV(*game);
    const Played p = play_through(*game, text);
    return p.ok ? state_line(*game) : "does not replay: " + p.why;
  }

  std::string dir_;
  double clock_ = 0.001;  // off the frames' beat, so that each 1/60 s crosses exactly one
  std::unique_ptr<App> app_;
  App::Turn last_;
  std::optional<SettingsFile> settings_;
  bool cheat_ = false;  // as if the cheat marker were there
  Platform platform_{[](const Settings&) {}, [](std::int32_t) { return std::string("K"); }, nullptr,
                     [](std::uint32_t) {}, [](bool) {}};
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

// The settings screen changes a value and saves the file at once; each
// screen has its way out of the game.
TEST_F(AppStep, TheSettingsScreenSavesAChangeAndEveryScreenQuits) {
  settings_.emplace();
  settings_->load({});
  open();
  ASSERT_TRUE(playable());
  tap(K_P);
  for (int i = 0; i < 4; ++i) tap(K_DOWN);  // Settings
  send(K_ENTER);
  send(K_ENTER);  // Scale: integer -> fit
  EXPECT_NE(file_text(settings_->path()).find("scale = fit"), std::string::npos) << file_text(settings_->path());
  EXPECT_TRUE(settings_->settings().fit);
  tap(K_ESC);  // back to the pause menu
  tap(K_UP);   // Quit, the last item
  send(K_ENTER);
  EXPECT_TRUE(last_.over);
  EXPECT_EQ(app_->finish(), 0);

  // The start menu's Quit, with a journey to continue.
  app_.reset();
  open();
  run(0.2);
  tap(K_UP);
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
  }
}

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

// On the settings screen the key pressed for an action becomes its first,
// leaves the action it was on, and is saved and bound at once; Escape
// cancels. M turns the sound off and on and is never recorded.
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
  press(K_R);  // restart's key, now jump's
  EXPECT_EQ(bound.keys[Action::jump], (std::vector<std::string>{"R", "Up", "W"}));
  EXPECT_TRUE(bound.keys[Action::restart].empty() || bound.keys[Action::restart] != std::vector<std::string>{"R"});
  EXPECT_NE(file_text(settings_->path()).find("jump = R, Up, W"), std::string::npos) << file_text(settings_->path());
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
  tap(K_P);
  tap(K_DOWN), tap(K_DOWN);  // Restart the journey
  const std::string played = state_line(g());
  const std::size_t heard = sounds;
  send(K_ENTER);
  EXPECT_EQ(app_->screen(), nullptr);
  EXPECT_EQ(sounds, heard) << "a new journey's start is no event";
  ASSERT_TRUE(playable());
  EXPECT_EQ(state_line(g()), fresh);
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

// The pause menu shows the keys as bound; a menu answers the mouse: moving
// highlights, a click chooses; and it is drawn over the game's picture.
TEST_F(AppStep, ThePauseMenuShowsTheKeysAndAnswersTheMouse) {
  settings_.emplace();
  settings_->load({});
  open();
  ASSERT_TRUE(playable());
  const std::vector<std::uint32_t> game_picture = picture();
  tap(K_P);
  const std::string menu = shown();
  EXPECT_NE(menu.find("←→ 跑　↑ 跳　R 重来本关　P 暂停　Esc 退出"), std::string::npos) << menu;
  EXPECT_NE(menu.find("Left/Right run, Up jump, R restart level, P pause, Esc quit"), std::string::npos) << menu;
  EXPECT_NE(picture(), game_picture) << "the menu is drawn";

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
}

// Going on from the backup forgets what the damaged save reached: Practice
// offers only what the journey kept reached.
TEST_F(AppStep, GoingOnFromTheBackupForgetsWhatTheDamagedSaveReached) {
  open();
  ASSERT_TRUE(playable());
  send(K_RIGHT);
  ASSERT_TRUE(until([&](const Game& s) {
    if (s.PAUSE != 0) tap(K_DOWN);
    return s.BDLV == 1 && s.PAUSE == 0;
  }));
  send(K_ESC);
  ASSERT_EQ(app_->finish(), 0);
  const std::string further = save(), path = dir_ + "/tervalon/" + level_file_hash(g()) + ".txt";
  const std::string idle = further.substr(0, further.find("cheat 0\n") + 8) + "frames 5000\n";
  write_file(dir_ + "/tervalon", std::filesystem::path(path).filename(), further + "zzz\n");
  write_file(dir_ + "/tervalon", std::filesystem::path(path).filename().string() + ".bak", idle);
  app_.reset();
  open();
  ASSERT_TRUE(until([&](const Game&) { return app_->screen() != nullptr; }));
  EXPECT_NE(shown().find("it goes on from its backup"), std::string::npos) << shown();
  tap(K_DOWN), tap(K_DOWN);  // Practice
  send(K_ENTER);
  EXPECT_NE(shown().find("No level reached yet."), std::string::npos) << shown();
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
      {"finished", header + "down left\nframes 120\n", "", "Your last journey was finished; it is kept as ", nullptr,
       ".finished-"},
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
  send(K_DOWN);  // any key ends the game
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
    EXPECT_NE(ending.find(level_zh(e) + " " + seconds(s.left - s.entered) + "　" + level_en(e) + ": " +
                          seconds(s.left - s.entered)),
              std::string::npos)
        << level_en(e);
    auto run = std::make_unique<Game>(*initial);
    play_through(*run, file_text(folder + "best-" + level_hash(*initial, s.level).substr(0, 16) + "-" +
                                 std::to_string(s.pass) + ".txt"));
    EXPECT_TRUE(run->FRAME == s.left && run->BDLV == s.level && run->PAUSE != 0) << level_en(e) << state_line(*run);
  }
  EXPECT_EQ(levels, 16u);

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
  EXPECT_TRUE(app_->screen() == nullptr && g().BDLV == 0 && g().FRAME < 10) << "the next start begins a new one";
}

}  // namespace
}  // namespace tervalon::test
