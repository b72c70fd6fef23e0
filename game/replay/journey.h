// The journey kept between games: where its saved run lives, who may write
// it, playing a saved run back without a window, and what a journey has done
// (levels entered and left, rewinds, ghosts caught), read from its state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "game/rules/state.h"

namespace tervalon {

// $XDG_DATA_HOME/tervalon (~/.local/share/tervalon when unset), made when
// missing; empty with the reason in `why` when there is none.
std::string data_folder(std::string& why);

// The lock that makes one game at a time the writer of a level file's
// progress: a lock file held for the game's life, let go by the system
// however the process ends.
class ProgressLock {
 public:
  ProgressLock() = default;
  ~ProgressLock();
  ProgressLock(const ProgressLock&) = delete;
  ProgressLock& operator=(const ProgressLock&) = delete;
  // False when another game holds it (or it cannot be made, with `why`).
  bool take(const std::string& path, std::string& why);

 private:
  int fd_ = -1;
};

// How playing a recording through ended.
struct Played {
  bool ok = true;      // every line read and every check held
  bool ended = false;  // a pass reached the end cell
  std::string why;     // when not ok: what was wrong, in words
};

// Plays the acting lines of a recording on `g` without a window, up to
// frame `stop` (the passes are whole frames there: a level is entered only
// between passes). `seen` is called after every pass and key message.
Played play_through(Game& g, std::string_view text, std::uint64_t stop = UINT64_MAX,
                    const std::function<void(const Game&)>& seen = nullptr);

// Divides a recording made from frame 0 after the pass that ran its frame
// `frame`: `text` keeps what plays up to there, a "frames N" line cut in
// two; what follows is returned.
std::string split_at_frame(std::string& text, std::uint64_t frame);

// Moves the file (or anything) at `path` to a free name beside it,
// "PATH.LABEL" or "PATH.LABEL-N", and returns the name; empty when it could
// not be moved.
std::string move_aside(const std::string& path, const std::string& label);

// A level of the journey, entered: forward (pass 1), back (2) or the hub (0).
struct Entry {
  std::int8_t level = 0, pass = 0;
  std::uint64_t frame = 0;  // FRAME when it became playable
  bool operator==(const Entry& o) const { return level == o.level && pass == o.pass; }
};

// What a journey has done, from its state after every pass and key message.
class JourneyLog {
 public:
  enum class Event { none, entered, left };
  // Reads the state after a pass or a key message: `entered` when a level
  // has just become playable, `left` when the player has just left one
  // through its exit, or home (its frames are then `left_frames()`).
  Event see(const Game& g);

  // The game is back at the state in which the current level was entered.
  void resync(const Game& g);

  const Entry& current() const { return current_; }
  const std::vector<Entry>& reached() const { return reached_; }  // each level and pass once, in order
  std::uint64_t left_frames() const { return left_frames_; }
  std::uint64_t rewinds() const { return rewinds_; }
  std::uint64_t caught() const { return caught_; }

 private:
  Entry current_;
  bool playing_ = false;  // current_ is being played (not in a story text)
  bool started_ = false;
  std::vector<Entry> reached_;
  std::uint64_t left_frames_ = 0, rewinds_ = 0, caught_ = 0;
  std::uint32_t head_ = 0, caught_now_ = 0;
};

}  // namespace tervalon
