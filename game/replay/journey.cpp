#include "game/replay/journey.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/file.h"
#include "game/replay/script.h"
#include "game/rules/rules.h"
#include "game/rules/trail.h"

namespace tervalon {

namespace {

// The acting lines of a recording, one at a time, with where each begins.
template <typename Each>
bool each_line(std::string_view text, std::string& why, Each each) {
  Command c;
  std::size_t number = 1;
  for (std::size_t at = 0; at < text.size(); ++number) {
    std::size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos) eol = text.size();
    if (!parse_command(text.substr(at, eol - at), c, why)) {
      why = "line " + std::to_string(number) + ": " + why;
      return false;
    }
    if (c.op != Command::Op::none && !each(c, at, eol)) return true;
    at = eol + 1;
  }
  return true;
}

}  // namespace

std::string data_folder(std::string& why) { return base::xdg_folder("XDG_DATA_HOME", ".local/share", "tervalon", why); }

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
  std::string why;
  each_line(std::string_view(text).substr(from.offset), why, [&](const Command& c, std::size_t at, std::size_t eol) {
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

std::string free_name(const std::string& path, const std::string& label) {
  for (int n = 0;; ++n) {
    std::string to = path + "." + label + (n ? "-" + std::to_string(n) : "");
    struct stat st;
    if (lstat(to.c_str(), &st) != 0 || n == 999) return to;
  }
}

std::string move_aside(const std::string& path, const std::string& label) {
  const std::string to = free_name(path, label);
  return rename(path.c_str(), to.c_str()) == 0 ? to : "";
}

void remove_stray_temporaries(const std::string& path) {
  const std::string folder = base::folder_of(path);
  const std::string name = path.substr(path.rfind('/') + 1);
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  auto stray = [](std::string_view entry, std::string_view stem) {
    if (!entry.starts_with(stem) || !entry.ends_with(".tmp")) return false;
    const std::string_view pid = entry.substr(stem.size(), entry.size() - stem.size() - 4);
    return !pid.empty() && pid.find_first_not_of("0123456789") == std::string_view::npos;
  };
  while (const dirent* e = readdir(d)) {
    const std::string_view entry = e->d_name;
    struct stat st;
    const std::string full = folder + "/" + e->d_name;
    if ((stray(entry, name + ".") || stray(entry, name + ".bak.")) && lstat(full.c_str(), &st) == 0 &&
        S_ISREG(st.st_mode))
      unlink(full.c_str());
  }
  closedir(d);
}

void JourneyLog::resync(const Game& g) {
  playing_ = g.PAUSE == 0;
  head_ = g.STPN[g.BDLV];
  caught_now_ = caught_ghosts(g);
}

JourneyLog::Event JourneyLog::see(const Game& g) {
  Event e = Event::none;
  const Entry here{g.BDLV, g.GSIT, g.FRAME};
  if (started_ && playing_ && g.PAUSE != 0) {
    playing_ = false;
    left_frames_ = g.FRAME - current_.frame;
    e = Event::left;
  } else if ((!started_ || !playing_) && g.PAUSE == 0) {
    playing_ = true;
    current_ = here;
    if (std::find(reached_.begin(), reached_.end(), here) == reached_.end()) reached_.push_back(here);
    e = Event::entered;
  }
  const std::uint32_t head = g.STPN[g.BDLV];
  const std::uint32_t caught = caught_ghosts(g);
  if (started_ && e != Event::entered && here == current_) {
    if (g.GSIT == 1 && head < head_) ++rewinds_;
    if (caught > caught_now_) caught_ += caught - caught_now_;
  }
  started_ = true;
  head_ = head;
  caught_now_ = caught;
  return e;
}

}  // namespace tervalon
