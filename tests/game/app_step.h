// The app's step on the headless back end, on the caller's thread, with
// scripted messages and a scripted clock: no window, no X server, no wait.
// The fixture of the app-step tests and what they read of the shipped journey.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/keys.h"
#include "display/window.h"
#include "game/app/app.h"
#include "game/app/menu_screen.h"
#include "game/app/settings_screen.h"
#include "game/replay/playback.h"
#include "game/replay/script.h"
#include "game/rules/level_file.h"
#include "game/rules/level_start.h"
#include "game/view/menu.h"
#include "tests/game/support.h"

namespace tervalon::test {

using namespace base::keys;

inline std::size_t threads() {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator("/proc/self/task")) n += e.exists();
  return n;
}

// The pixels of the window's picture.
inline std::vector<std::uint32_t> picture() {
  display::sync_main_surface();
  return display::PMAIN->pixels;
}

inline std::string file_text(const std::string& path) {
  std::stringstream s;
  s << std::ifstream(path).rdbuf();
  return s.str();
}

// A hub whose exit leads to level 1, whose exit is eleven cells to the right.
inline std::string levels() {
  auto hub = room(20, 12, 3, 10, 17, 10);
  hub[10][1] = 'e';
  return level_file({{1, hub}, {1, room(20, 12, 2, 10, 13, 10)}});
}

inline const std::string SOURCE = TERVALON_SOURCE_DIR;

// The shipped journey as the replay tool plays it (pinned): each level and
// pass from the frame it became playable to the frame it was left.
struct Stage {
  std::int8_t level = 0, pass = 0;
  std::uint64_t entered = 0, left = 0;
};
inline std::vector<Stage> pinned_stages(std::uint64_t& last_frame) {
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
inline std::size_t pinned_events(const std::string& name) {
  std::ifstream in(SOURCE + "/tests/levels/journey.events");
  std::size_t n = 0;
  for (std::string frame, event; in >> frame >> event;) n += event == name;
  return n;
}

inline std::vector<std::string> solutions() {
  std::vector<std::string> paths;
  for (const auto& e : std::filesystem::directory_iterator(SOURCE + "/data/solutions")) paths.push_back(e.path());
  std::sort(paths.begin(), paths.end());
  return paths;
}

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
    // The first start's welcome goes at a key; tests of it keep it.
    if (const auto* m = dynamic_cast<const MenuScreen*>(app_->screen());
        m && !keep_welcome_ && m->menu().title_en == "Tervalon")
      tap(K_ENTER);
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
    if (const auto* settings = dynamic_cast<const SettingsScreen*>(app_->screen())) screen = &settings->menu();
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
  bool keep_welcome_ = false;
  bool cheat_ = false;  // as if the cheat marker were there
  Platform platform_{[](const Settings&) {}, [](std::int32_t) { return std::string("K"); }, nullptr,
                     [](std::uint32_t) {}, [](bool) {}};
};

}  // namespace tervalon::test
