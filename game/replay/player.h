// Playing scripts as the game (--play, --speed): their key messages and
// passes fed to the game on the playback clock, then the player takes over.
// Nothing here draws or waits: each step says what to show and when it is
// due again.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "game/replay/recorder.h"
#include "game/replay/script.h"
#include "game/rules/state.h"

namespace tervalon {

class Player {
 public:
  // What a step did, for the one who shows it.
  struct Turn {
    enum class Picture { none, compose, show, show_last };
    Picture picture = Picture::none;  // compose a picture of the game, and show it; or show the last one composed
    bool ended = false;               // the end cell was reached: the game is over
    std::string mismatch;             // a check failed: the player takes over from here
    double due_ms = 0;                // on the playback clock, when the next step is due
  };

  // `seen` is called after every pass and key message played.
  Player(Game& g, Recorder& recorder, std::function<void()> seen)
      : g_(g), recorder_(recorder), seen_(std::move(seen)) {}

  // Reads the scripts to play (their acting lines) at `speed` times the
  // game's pace (0: as fast as possible); false after a message on standard
  // error.
  bool read(const std::vector<std::string>& paths, std::uint32_t speed);
  // Whether a played script still feeds the game.
  bool playing() const { return feeding_; }
  // The script's next key message, or its next pass once its frames are due
  // at `now_ms` (the display clock); when the scripts end or a check fails,
  // the player takes over.
  Turn step(std::uint64_t now_ms);

 private:
  struct Step {
    Command c;
    std::string where;  // "FILE:LINE", for messages
  };
  void hand_over(Turn& t);
  bool play_frames(std::uint64_t frames, std::uint64_t now_ms, Turn& t);

  Game& g_;
  Recorder& recorder_;
  std::function<void()> seen_;
  std::vector<Step> steps_;        // the played scripts' lines that act in the window
  std::size_t at_ = 0;             // the next step
  bool feeding_ = false;           // until the player takes over
  std::uint64_t passes_done_ = 0;  // of the step at `at_`, when it is "frames N"
  std::uint64_t sliced_ = 0;       // frames of the step's pass run in earlier slices
  bool started_ = false;
  std::uint32_t speed_ = 1;
  std::uint64_t start_ms_ = 0;         // the clock when playback began
  std::uint64_t next_present_ms_ = 0;  // above speed 1: when a picture is next shown
  bool picture_unshown_ = false;       // a composed picture is waiting to be shown
};

}  // namespace tervalon
