// A saved journey played back in slices before the first menu, so that the
// menu knows where it ends: the save, then, when it is damaged, its backup;
// the longer of the backup and the part of the save that replays goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/app/keeper.h"
#include "game/app/run.h"
#include "game/replay/playback.h"
#include "game/view/draw.h"

namespace tervalon {

class Loading {
 public:
  struct Outcome {
    enum Kind { fresh, finished, go_on, cannot } kind = fresh;  // fresh: there is no journey to continue
    std::string text;                                           // go_on: the recording the journey continues
    std::uint64_t adopted = 0;                                  // bytes of it the save holds
    std::vector<std::string> lines;                             // what the start menu says first
    TextMark entered;                                           // where the text last entered a level
  };

  // `notice` reads the journey's state after every pass played back.
  Loading(Run& journey, const Game& initial, Keeper& keeper, std::function<JourneyLog::Event(Run&)> notice);
  // Reads the save and its backup; false when there is neither.
  bool start();
  // A slice of playback (about 15 ms of play); true once it is over.
  bool step();
  const Outcome& outcome() const { return outcome_; }
  // The progress over the journey as it is replayed, at most ten times a
  // second (`now_ms` on the display clock).
  void draw(View& v, std::uint64_t now_ms);

 private:
  void reset();
  void play(const std::string& text);
  bool saved_over(const Played& p, bool nothing);
  void damaged(const Played& p, bool nothing);

  Run& r_;
  const Game& initial_;
  Keeper& keeper_;
  std::function<JourneyLog::Event(Run&)> notice_;
  Outcome outcome_;
  std::string save_, backup_;  // their texts (whole lines only)
  bool torn_ = false;          // the save's last line was cut short
  std::string unreadable_;     // why the save cannot be read, if so
  bool missing_ = false;       // there is no save, only its backup
  bool on_backup_ = false;     // the backup is being played
  std::unique_ptr<Playback> playback_;
  Played saved_;  // how the save played
  // The journey after the part of the save that replays, when it played any.
  std::unique_ptr<Game> prefix_, prefix_entry_;
  JourneyLog prefix_log_;
  TextMark entered_, prefix_entered_;  // where the playback last entered a level
  std::uint64_t next_draw_ = 0;
};

}  // namespace tervalon
