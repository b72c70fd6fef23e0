// The game as a step the platform calls: the journey, kept as it is played
// and continued where it was left; restart, pause, practice and best runs;
// the menus, the settings screen and the ending; --play and --record. A step
// never waits: it says when it wants to be called again, and quitting is a
// state it returns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/app/keeper.h"
#include "game/app/loading.h"
#include "game/app/options.h"
#include "game/app/platform.h"
#include "game/app/playing.h"
#include "game/app/run.h"
#include "game/app/screen.h"
#include "game/app/settings.h"
#include "game/replay/player.h"
#include "game/view/draw.h"

namespace tervalon {

class App {
 public:
  struct Turn {
    bool over = false;  // the game has ended: finish()
    double wake = 0;    // the display time (GETTIMER) at which the next step is due
  };

  // Plays `g`, loaded; with `settings` and `platform` the menus offer the
  // settings screen. `now` is the display clock in seconds.
  App(std::unique_ptr<Game> g, const Options& o, SettingsFile* settings = nullptr, const Platform* platform = nullptr,
      std::function<double()> now = nullptr);
  // Reads the --play scripts, opens the --record file and the window, and
  // finds the journey's save; false (exit code 2) when a file the command
  // line names cannot be used.
  bool start();
  // The messages that came, the frames that are due, drawing, sounds and
  // saving when due.
  Turn step();
  // After the last step: closes the window, ends the recordings, keeps a
  // finished journey; the exit code.
  int finish();
  // The game being played: the journey's, or a practice's while one runs.
  const Game& game() const { return practice_ ? practice_->g : journey_.g; }
  // The screen over the game, taking the messages; none while it is played.
  const Screen* screen() const { return screens_.empty() ? nullptr : screens_.back().screen.get(); }
  // The note shown over the bottom of the picture, if any.
  const std::string& note() const { return playing_.note(); }

 private:
  void apply(const Answer& a);
  Turn menu_step(double now);
  Turn play_scripts();
  void loaded();
  JourneyLog::Event notice(Run& r, bool sounds);
  Answer seen(Run& r);
  void new_journey();
  void offer_progress(std::vector<std::string> lines);
  std::vector<Entry> reached() const;
  void start_practice(const Entry& e);
  void leave_practice();
  void open(std::unique_ptr<Screen> s, Answer::Kind kind);

  Options o_;  // the settings screen changes some for the run
  SettingsFile* settings_;
  Platform platform_;
  std::function<double()> now_;
  View v_;
  std::unique_ptr<Game> initial_;  // the journey's start, for a new one and for practice
  Run journey_;
  std::unique_ptr<Run> practice_;
  Player player_;
  Keeper keeper_;
  Playing playing_;
  std::unique_ptr<Loading> loading_;
  struct Open {
    std::unique_ptr<Screen> screen;
    Answer::Kind kind;     // what opened it
    double closes_at = 0;  // the display time at which it goes by itself; 0: never
  };
  std::vector<Open> screens_;           // the top one takes the messages
  std::vector<Open> practice_screens_;  // those under the practice menu while a practice runs
  std::string practice_result_;         // what the practice that just ended did
  std::string trouble_;                 // what the title says of a failing save
  bool fed_ = false;                    // --play scripts fed the game until the last step
  bool finished_ = false;               // the player reached the end cell
  bool muted_ = false;
  bool over_ = false;
};

}  // namespace tervalon
