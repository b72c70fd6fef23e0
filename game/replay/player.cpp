// Playing scripts as the game: the main loop's other input source.
#include "game/replay/player.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/keys.h"
#include "base/printable.h"
#include "game/rules/rules.h"

namespace tervalon {

using namespace base::keys;

bool Player::read(const std::vector<std::string>& paths, std::uint32_t speed) {
  for (const std::string& path : paths) {
    std::vector<ScriptLine> lines;
    std::string why;
    if (!read_script(path, lines, why)) {
      std::fprintf(stderr, "tervalon: %s\n", why.c_str());
      return false;
    }
    // Pictures are the replay tool's business: a script that writes files is
    // not played in the window.
    if (has_snap(lines)) {
      std::fprintf(stderr, "tervalon: %s: has snap lines, which write pictures; --play does not take it\n",
                   base::printable(path).c_str());
      return false;
    }
    for (const ScriptLine& l : lines)
      if (!(l.c.op == Command::Op::frames && l.c.count == 0))
        steps_.push_back({l.c, path + ":" + std::to_string(l.line)});
  }
  // A quit after the last frames is how older recordings ended: the player
  // who takes over goes on from there instead.
  const auto last_frames = std::find_if(steps_.rbegin(), steps_.rend(), [](const Step& s) {
                             return s.c.op == Command::Op::frames || s.c.op == Command::Op::burst;
                           }).base();
  steps_.erase(std::find_if(last_frames, steps_.end(),
                            [](const Step& s) { return s.c.op == Command::Op::down && s.c.key == K_ESC; }),
               steps_.end());
  speed_ = speed;
  feeding_ = !paths.empty();
  return true;
}

// The player takes over: the last picture is shown.
void Player::hand_over(Turn& t) {
  if (picture_unshown_) t.picture = Turn::Picture::show_last;
  picture_unshown_ = false;
  feeding_ = false;
  recorder_.note("# the player takes over at frame " + std::to_string(g_.FRAME));
}

// One pass of `frames` frames, drawn as the game draws; above speed 1 only
// the pictures that fall due 60 times a second are shown. A long burst runs
// in slices, one per step, so that Escape is seen between them; true once
// the pass is complete.
bool Player::play_frames(std::uint64_t frames, std::uint64_t now_ms, Turn& t) {
  constexpr std::uint64_t SLICE = 10000;  // about 10 ms of frames
  const std::uint64_t slice = std::min(frames - sliced_, SLICE);
  const bool last = sliced_ + slice == frames;
  Pass p = frame_pass(g_, slice, last);
  sliced_ += p.frames;
  if (!last && !p.end) return false;
  p.frames = std::exchange(sliced_, 0);
  t.ended = p.end;
  if (p.drawn) {
    if (speed_ == 1 || now_ms >= next_present_ms_) {
      t.picture = Turn::Picture::show;
      next_present_ms_ = now_ms + 16;
      picture_unshown_ = false;
    } else {
      t.picture = Turn::Picture::compose;
      picture_unshown_ = true;
    }
  }
  recorder_.pass(p.frames);
  seen_();
  return true;
}

Player::Turn Player::step(std::uint64_t now_ms) {
  Turn t;
  if (!started_) {
    started_ = true;
    start_ms_ = now_ms;
  }
  // Where playback has got to on its own clock, in game milliseconds.
  const double play_ms = static_cast<double>(now_ms - start_ms_) * speed_;
  t.due_ms = static_cast<double>(now_ms);
  while (at_ < steps_.size()) {
    const Step& s = steps_[at_];
    switch (s.c.op) {
      case Command::Op::down:
      case Command::Op::up: {
        const std::uint32_t message = s.c.op == Command::Op::down ? WM_KEYDOWN : WM_KEYUP;
        recorder_.message(message, s.c.key);
        ++at_;
        t.ended = handle_message(g_, message, s.c.key);
        seen_();
        return t;
      }
      case Command::Op::frames:
      case Command::Op::burst: {
        const std::uint64_t frames = s.c.op == Command::Op::burst ? s.c.count : 1;
        // A pass is due when its last frame is, as in the game.
        const double due = frame_ms(g_.FRAME - sliced_ + frames - 1);
        if (speed_ != 0 && play_ms <= due) {
          t.due_ms = static_cast<double>(start_ms_) + due / speed_ + 1;
          return t;
        }
        if (!play_frames(frames, now_ms, t)) return t;
        if (s.c.op == Command::Op::burst || ++passes_done_ == s.c.count) {
          ++at_;
          passes_done_ = 0;
        }
        return t;
      }
      default:
        if (std::string wrong = check(g_, s.c); !wrong.empty()) {
          // The exact line for whoever made the recording; words for the player.
          std::fprintf(stderr, "%s: %s\n", s.where.c_str(), wrong.c_str());
          t.mismatch = "this recording does not match this level file or this version of the game; from frame " +
                       std::to_string(g_.FRAME) + " you play";
          hand_over(t);
          return t;
        }
        ++at_;
    }
  }
  hand_over(t);
  return t;
}

}  // namespace tervalon
