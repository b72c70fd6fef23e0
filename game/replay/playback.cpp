// Playing a recording back a slice at a time.
#include "game/replay/playback.h"

#include <algorithm>

#include "game/replay/script.h"
#include "game/rules/rules.h"

namespace tervalon {

namespace {

// The acting lines of a recording, one at a time, with where each begins,
// up to the first it cannot read.
template <typename Each>
void each_line(std::string_view text, Each each) {
  Command c;
  std::string why;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos) eol = text.size();
    if (!parse_command(text.substr(at, eol - at), c, why)) return;
    if (c.op != Command::Op::none && !each(c, at, eol)) return;
    at = eol + 1;
  }
}

}  // namespace

Playback::Playback(Game& g, std::string_view text, std::uint64_t stop, std::function<void(const Game&)> seen)
    : g_(g), text_(text), stop_(stop), seen_(std::move(seen)) {}

bool Playback::failed(Fault f, std::string why) {
  r_.ok = false;
  r_.fault = f;
  r_.why = std::move(why);
  over_ = true;
  return false;
}

// Reads the next acting line into c_; false when the text is over or wrong.
bool Playback::next_line() {
  while (at_ < text_.size()) {
    std::size_t eol = text_.find('\n', at_);
    if (eol == std::string_view::npos) eol = text_.size();
    std::string why;
    ++line_;
    line_at_ = at_;
    if (!parse_command(text_.substr(at_, eol - at_), c_, why))
      return failed(Fault::not_understood, "line " + std::to_string(line_) + ": " + why);
    at_ = eol + 1;
    if (c_.op == Command::Op::none) {
      r_.good = std::min(at_, text_.size());
      continue;
    }
    const bool runs = c_.op == Command::Op::frames || c_.op == Command::Op::burst;
    left_ = runs ? c_.count : 1;
    // A save that would play for days is refused before it is played.
    if (runs && c_.count > MOST_SAVED_FRAMES - frames_)
      return failed(Fault::too_long,
                    "it holds more than " + std::to_string(MOST_SAVED_FRAMES / 216000) + " hours of play");
    frames_ += runs ? c_.count : 0;
    return true;
  }
  over_ = true;
  return false;
}

bool Playback::run(std::uint64_t budget) {
  std::uint64_t ran = 0;
  while (!over_ && ran < budget) {
    if (left_ == 0) {
      // The line before played whole.
      r_.good = std::min(at_, text_.size());
      if (!next_line()) break;
    }
    switch (c_.op) {
      case Command::Op::frames:
        if (g_.FRAME >= stop_ || r_.ended) {
          left_ = 0;
          break;
        }
        r_.ended = frame_pass(g_, 1).end;
        --left_, ++ran;
        see();
        break;
      case Command::Op::burst: {
        // A long burst runs in slices; the picture's step comes with the last.
        if (g_.FRAME >= stop_ && left_ == c_.count) {
          left_ = 0;
          see();
          break;
        }
        const std::uint64_t slice = std::min(left_, budget - ran);
        const Pass p = frame_pass(g_, slice, slice == left_);
        left_ = p.end ? 0 : left_ - slice;
        ran += p.frames;
        r_.ended = p.end;
        if (left_ == 0) see();
        break;
      }
      case Command::Op::down:
      case Command::Op::up:
        if (g_.FRAME >= stop_) {
          over_ = true;
          break;
        }
        handle_message(g_, c_.op == Command::Op::down ? WM_KEYDOWN : WM_KEYUP, c_.key);
        left_ = 0;
        see();
        break;
      case Command::Op::snap: failed(Fault::writes_pictures, "it writes pictures"); break;
      default:
        left_ = 0;
        if (g_.FRAME > stop_) {
          over_ = true;
          break;
        }
        if (std::string why = check(g_, c_); !why.empty())
          failed(c_.op == Command::Op::level_file ? Fault::other_level_file
                 : c_.op == Command::Op::cheat    ? Fault::other_cheat
                                                  : Fault::plays_differently,
                 "line " + std::to_string(line_) + ": " + why);
    }
    if (g_.FRAME > stop_ || r_.ended) over_ = true;
    if (over_ && left_ == 0 && r_.ok) r_.good = std::min(at_, text_.size());
  }
  return over_;
}

double Playback::progress() const {
  if (text_.empty() || over_) return 1;
  const double line = static_cast<double>(at_ - line_at_);
  const double within = c_.count > 0 && left_ <= c_.count
                            ? static_cast<double>(c_.count - left_) / static_cast<double>(c_.count)
                            : 1;
  return (static_cast<double>(line_at_) + line * within) / static_cast<double>(text_.size());
}

Played play_through(Game& g, std::string_view text, std::uint64_t stop, const std::function<void(const Game&)>& seen) {
  Playback p(g, text, stop, seen);
  p.run(UINT64_MAX);
  return p.result();
}

std::string split_at_frame(std::string& text, std::uint64_t frame, TextMark from, std::size_t* unchanged) {
  std::uint64_t at_frame = from.frame;
  std::size_t cut = text.size();
  std::string first_half;
  each_line(std::string_view(text).substr(from.offset), [&](const Command& c, std::size_t at, std::size_t eol) {
    at += from.offset, eol += from.offset;
    const bool frames = c.op == Command::Op::frames || c.op == Command::Op::burst;
    if (at_frame >= frame && (frames || c.op == Command::Op::down || c.op == Command::Op::up)) {
      cut = at;
      return false;
    }
    if (!frames) return true;
    if (c.op == Command::Op::frames && at_frame + c.count > frame) {
      const std::uint64_t kept = frame - at_frame;
      first_half = "frames " + std::to_string(kept) + "\n";
      text.replace(at, eol - at, "frames " + std::to_string(c.count - kept));
      cut = at;
      return false;
    }
    at_frame += c.count;
    return true;
  });
  std::string rest = text.substr(cut);
  text.resize(cut);
  text += first_half;
  if (unchanged) *unchanged = cut;
  return rest;
}

}  // namespace tervalon
