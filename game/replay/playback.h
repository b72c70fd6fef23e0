// Playing a recording back without a window, a slice at a time (a saved
// journey continued, a practice's start), and cutting one at a frame.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "game/replay/script.h"
#include "game/rules/state.h"

namespace tervalon {

// A place in a recording: where a line begins and the frames run before it.
struct TextMark {
  std::size_t offset = 0;
  std::uint64_t frame = 0;
};

// What was wrong with a recording that could not be played through.
enum class Fault {
  none,
  unreadable,         // the file cannot be read
  cut_short,          // its last line is torn
  not_understood,     // a line is not of the replay language
  other_level_file,   // made on another level file
  other_cheat,        // made with the cheat marker otherwise
  plays_differently,  // a state check failed
  too_long,           // more play than any journey holds
  writes_pictures,    // it has snap lines
};

// How playing a recording through ended.
struct Played {
  bool ok = true;      // every line read and every check held
  bool ended = false;  // a pass reached the end cell
  Fault fault = Fault::none;
  std::string why;       // when not ok: what was wrong, in words
  std::size_t good = 0;  // bytes of whole lines played before anything went wrong
};

// The most frames a saved journey may hold: 1000 hours of play, far beyond
// any journey, and still played back in minutes.
constexpr std::uint64_t MOST_SAVED_FRAMES = std::uint64_t{1000} * 60 * 60 * 60;

// Plays the acting lines of a recording on `g` without a window, up to
// frame `stop` (the passes are whole frames there: a level is entered only
// between passes), a slice at a time. `seen` is called after every pass and
// key message. The text must outlive the playback.
class Playback {
 public:
  Playback(Game& g, std::string_view text, std::uint64_t stop = UINT64_MAX,
           std::function<void(const Game&)> seen = nullptr);
  // Plays on until about `budget` frames have run; true once it is over.
  bool run(std::uint64_t budget);
  const Played& result() const { return r_; }
  // Where the line being played begins, and the frames before it.
  TextMark line() const {
    return {line_at_, frames_ - (c_.op == Command::Op::frames || c_.op == Command::Op::burst ? c_.count : 0)};
  }
  // How far through the text it is, 0..1: by its bytes, and within a line
  // by its frames, so that a long burst moves on too.
  double progress() const;

 private:
  bool next_line();
  bool failed(Fault f, std::string why);
  void see() {
    if (seen_) seen_(g_);
  }

  Game& g_;
  std::string_view text_;
  std::uint64_t stop_;
  std::function<void(const Game&)> seen_;
  Played r_;
  std::size_t at_ = 0, line_ = 0;  // the next line, and its number less one
  std::size_t line_at_ = 0;        // where the line being played begins
  Command c_;                      // the line being played
  std::uint64_t left_ = 0;         // its frames (or one-frame passes) still to run
  std::uint64_t frames_ = 0;       // in the lines read so far
  bool over_ = false;
};

// Plays a whole recording as Playback does, at once.
Played play_through(Game& g, std::string_view text, std::uint64_t stop = UINT64_MAX,
                    const std::function<void(const Game&)>& seen = nullptr);

// Divides a recording made from frame 0 after the pass that ran its frame
// `frame`, read from `from` on (at or before that frame): `text` keeps what
// plays up to there, a "frames N" line cut in two; what follows is returned,
// and `unchanged` is how much of the start of `text` is as it was.
std::string split_at_frame(std::string& text, std::uint64_t frame, TextMark from = {},
                           std::size_t* unchanged = nullptr);

}  // namespace tervalon
