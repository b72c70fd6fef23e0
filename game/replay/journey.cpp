#include "game/replay/journey.h"

#include <fcntl.h>
#include <sys/file.h>
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

ProgressLock::~ProgressLock() {
  if (fd_ >= 0) close(fd_);
}

bool ProgressLock::take(const std::string& path, std::string& why) {
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    why = base::error_text(errno);
    return false;
  }
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
  why = errno == EWOULDBLOCK ? "" : base::error_text(errno);
  close(fd_);
  fd_ = -1;
  return false;
}

Played play_through(Game& g, std::string_view text, std::uint64_t stop, const std::function<void(const Game&)>& seen) {
  Played r;
  auto see = [&] {
    if (seen) seen(g);
  };
  r.ok = each_line(text, r.why, [&](const Command& c, std::size_t, std::size_t) {
    switch (c.op) {
      case Command::Op::frames:
        for (std::uint64_t i = 0; i < c.count && g.FRAME < stop && !r.ended; ++i) {
          r.ended = frame_pass(g, 1).end;
          see();
        }
        break;
      case Command::Op::burst:
        if (g.FRAME < stop) r.ended = frame_pass(g, c.count).end;
        see();
        break;
      case Command::Op::down:
      case Command::Op::up:
        if (g.FRAME >= stop) return false;
        handle_message(g, c.op == Command::Op::down ? WM_KEYDOWN : WM_KEYUP, c.key);
        see();
        break;
      case Command::Op::snap: r.why = "it writes pictures"; return false;
      default:
        if (g.FRAME > stop) return false;
        r.why = check(g, c);
        if (!r.why.empty()) return false;
    }
    return g.FRAME <= stop && !r.ended;
  });
  if (!r.why.empty()) r.ok = false;
  return r;
}

std::string split_at_frame(std::string& text, std::uint64_t frame) {
  std::uint64_t at_frame = 0;
  std::size_t cut = text.size();
  std::string first_half;
  std::string why;
  each_line(text, why, [&](const Command& c, std::size_t at, std::size_t eol) {
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
  return rest;
}

std::string move_aside(const std::string& path, const std::string& label) {
  for (int n = 0; n < 1000; ++n) {
    std::string to = path + "." + label + (n ? "-" + std::to_string(n) : "");
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) continue;
    return rename(path.c_str(), to.c_str()) == 0 ? to : "";
  }
  return "";
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
