// The replay language: parsing a line, the state line, the checks, and the
// headless run of a whole script.
#include "game/replay/script.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "base/file.h"
#include "base/numbers.h"
#include "base/printable.h"
#include "base/sha256.h"
#include "game/replay/events.h"
#include "game/rules/level_file.h"
#include "game/rules/rules.h"

namespace tervalon {

namespace {

constexpr std::array<const char*, 13> FIELDS = {"FRAME", "BDLV", "GSIT", "PAUSE", "CTEMP", "STPN", "PX",
                                                "PY",    "VX",   "VY",   "KL",    "KR",    "KU"};

bool parse_key(const std::string& s, std::int32_t& key) {
  for (std::int32_t named : {K_LEFT, K_RIGHT, K_UP, K_ESC})
    if (s == key_word(named)) {
      key = named;
      return true;
    }
  std::uint64_t code;
  if (!base::parse_whole<std::uint64_t>(s, 0, 255, code)) return false;
  key = static_cast<std::int32_t>(code);
  return true;
}

std::vector<std::string> words_of(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> w;
  for (std::string word; in >> word;) w.push_back(word);
  return w;
}

bool hex_digest(std::string& s) {
  if (s.size() != 64) return false;
  for (char& c : s) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::string differs(const Game& g, const char* field, const std::string& have, const std::string& want) {
  return "frame " + std::to_string(g.FRAME) + ": " + field + " is " + have + ", expected " + base::printable(want);
}

// A file name as messages show it: whole, but printable.
std::string shown(const std::string& path) { return base::printable(path, SIZE_MAX); }

void print_state(const Game& g) {
  std::fputs(state_line(g).c_str(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

bool parse_command(std::string_view line, Command& c, std::string& why) {
  c = Command{};
  std::vector<std::string> w = words_of(line);
  if (w.empty() || w[0][0] == '#') return true;
  const std::string& op = w[0];
  bool one_arg = w.size() == 2;
  if (op == "frames" || op == "burst") {
    c.op = op == "frames" ? Command::Op::frames : Command::Op::burst;
    if (!one_arg || !base::parse_whole<std::uint64_t>(w[1], op == "burst", UINT32_MAX, c.count)) {
      why = "expected \"" + op + " N\" with N a whole number of frames" + (op == "burst" ? ", at least 1" : "");
      return false;
    }
  } else if (op == "down" || op == "up") {
    c.op = op == "down" ? Command::Op::down : Command::Op::up;
    if (!one_arg || !parse_key(w[1], c.key)) {
      why = "expected \"" + op + " KEY\" with KEY left, right, up, esc or a code 0..255";
      return false;
    }
  } else if (op == "snap") {
    c.op = Command::Op::snap;
    if (!one_arg || !snap_name_allowed(w[1])) {
      why = "expected \"snap FILE\" with FILE a name in the current folder ending in .ppm (no \"/\", not hidden)";
      return false;
    }
    c.text = w[1];
  } else if (op == "level-file") {
    c.op = Command::Op::level_file;
    if (!one_arg || !hex_digest(w[1])) {
      why = "expected \"level-file H\" with H 64 hexadecimal digits";
      return false;
    }
    c.text = w[1];
  } else if (op == "cheat") {
    c.op = Command::Op::cheat;
    if (!one_arg || (w[1] != "0" && w[1] != "1")) {
      why = "expected \"cheat 0\" or \"cheat 1\"";
      return false;
    }
    c.text = w[1];
  } else if (op == "expect") {
    c.op = Command::Op::expect;
    if (w.size() != 1 + FIELDS.size()) {
      why = "expected \"expect\" and the 13 fields of a state line";
      return false;
    }
    for (std::size_t i = 1; i < w.size(); ++i) c.text += (i > 1 ? " " : "") + w[i];
  } else {
    why = "unknown command \"" + base::printable(op) +
          "\" (expected frames, burst, down, up, snap, level-file, cheat or expect)";
    return false;
  }
  return true;
}

ScriptInput::ScriptInput() = default;

ScriptInput::~ScriptInput() {
  if (own_) ::close(fd_);
}

bool ScriptInput::open(const std::string& path, std::string& why) {
  // Only a regular file ever ends, so nothing else is read.
  int error;
  const int fd = base::open_regular(path, error, why);
  if (fd < 0) {
    why = "cannot open: " + why;
    return false;
  }
  if (own_) ::close(fd_);
  fd_ = fd;
  own_ = true;
  pos_ = len_ = 0;
  return true;
}

void ScriptInput::standard_input() {
  if (own_) ::close(fd_);
  fd_ = STDIN_FILENO;
  own_ = false;
  pos_ = len_ = 0;
}

bool ScriptInput::next(std::string& line, std::string& why) {
  line.clear();
  why.clear();
  bool any = false;
  for (;;) {
    if (pos_ == len_) {
      if (buffer_.empty()) buffer_.resize(MAX_LINE);
      pos_ = len_ = 0;
      const ssize_t n = fd_ < 0 ? 0 : read(fd_, buffer_.data(), buffer_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {  // standard input left non-blocking
        pollfd p{fd_, POLLIN, 0};
        poll(&p, 1, -1);
        continue;
      }
      if (n < 0) {
        why = "cannot read: " + base::error_text(errno);
        return false;
      }
      if (n == 0) return any;
      len_ = static_cast<std::size_t>(n);
    }
    const char* from = buffer_.data() + pos_;
    const auto* feed = static_cast<const char*>(std::memchr(from, '\n', len_ - pos_));
    const std::size_t n = feed ? static_cast<std::size_t>(feed - from) : len_ - pos_;
    if (line.size() + n > MAX_LINE) {
      why = "line longer than " + std::to_string(MAX_LINE) + " bytes";
      return false;
    }
    line.append(from, n);
    any = true;
    pos_ += n;
    if (feed) {
      ++pos_;
      return true;
    }
  }
}

bool read_script(const std::string& path, std::vector<ScriptLine>& lines, std::string& why) {
  ScriptInput in;
  if (!in.open(path, why)) {
    why = shown(path) + ": " + why;
    return false;
  }
  std::string text;
  Command c;
  for (std::size_t line = 1;; ++line) {
    if (!in.next(text, why)) {
      if (why.empty()) return true;
    } else if (parse_command(text, c, why)) {
      if (c.op != Command::Op::none) lines.push_back({c, line});
      continue;
    }
    why = shown(path) + ":" + std::to_string(line) + ": " + why;
    return false;
  }
}

bool has_snap(const std::vector<ScriptLine>& lines) {
  for (const ScriptLine& l : lines)
    if (l.c.op == Command::Op::snap) return true;
  return false;
}

bool snap_name_allowed(std::string_view name) {
  constexpr std::string_view SUFFIX = ".ppm";
  if (name.size() <= SUFFIX.size() || name[0] == '.' || name.substr(name.size() - SUFFIX.size()) != SUFFIX)
    return false;
  for (const char b : name) {
    const auto u = static_cast<unsigned char>(b);
    if (u == '/' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

std::string key_word(std::int32_t key) {
  switch (key) {
    case K_LEFT: return "left";
    case K_RIGHT: return "right";
    case K_UP: return "up";
    case K_ESC: return "esc";
    default: return std::to_string(key);
  }
}

std::string state_line(const Game& g) {
  char line[256];
  std::snprintf(line, sizeof line, "%llu %d %d %u %u %u %.17g %.17g %.17g %.17g %d %d %d",
                static_cast<unsigned long long>(g.FRAME), g.BDLV, g.GSIT, g.PAUSE, g.CTEMP, g.STPN[g.BDLV], g.PX, g.PY,
                g.VX, g.VY, g.KL, g.KR, g.KU);
  return line;
}

std::string level_file_hash(const Game& g) {
  if (!g.level_file_sha256.empty()) return g.level_file_sha256;
  std::string bytes;
  return base::read_file(LEVEL_FILE, bytes) ? base::sha256_hex(bytes) : std::string("unreadable");
}

std::string check(const Game& g, const Command& c) {
  const std::string cheat = g.CHEAT ? "1" : "0";
  if (c.op == Command::Op::level_file)
    if (const std::string hash = level_file_hash(g); hash != c.text) return differs(g, "level-file", hash, c.text);
  if (c.op == Command::Op::cheat && cheat != c.text) return differs(g, "cheat", cheat, c.text);
  if (c.op == Command::Op::expect) {
    std::vector<std::string> have = words_of(state_line(g)), want = words_of(c.text);
    for (std::size_t i = 0; i < FIELDS.size(); ++i)
      if (have[i] != want[i]) return differs(g, FIELDS[i], have[i], want[i]);
  }
  return "";
}

int replay(Game& g, ScriptInput& in, const std::string& name, const Snap& snap, Output output) {
  std::string text, why;
  const std::string script = shown(name);
  Command c;
  EventState seen = event_state(g);
  // What a pass or a key message made: its state line, or its events.
  auto report = [&](bool ended) {
    if (output == Output::states) return print_state(g);
    const EventState now = event_state(g);
    const std::uint32_t events = events_between(seen, now, ended);
    seen = now;
    for (std::size_t i = 0; i < SOUND_COUNT; ++i)
      if (has(events, static_cast<Sound>(i)))
        std::printf("%llu %s\n", static_cast<unsigned long long>(g.FRAME), sound_name(static_cast<Sound>(i)));
  };
  for (std::size_t line = 1;; ++line) {
    auto stop = [&](const std::string& message, int code) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s:%zu: %s\n", script.c_str(), line, message.c_str());
      return code;
    };
    if (!in.next(text, why)) {
      if (why.empty()) break;
      return stop(why, 2);
    }
    if (!parse_command(text, c, why)) return stop(why, 2);
    switch (c.op) {
      case Command::Op::frames:
      case Command::Op::burst: {
        // frames N is N passes of one frame; burst N one pass of N frames.
        const bool burst = c.op == Command::Op::burst;
        for (std::uint64_t i = 0; i < (burst ? 1 : c.count); ++i) {
          const Pass p = frame_pass(g, burst ? c.count : 1);
          report(p.end);
          if (p.end) {
            std::puts("end");
            return 0;
          }
        }
        break;
      }
      case Command::Op::down:
      case Command::Op::up: {
        bool close = handle_message(g, c.op == Command::Op::down ? WM_KEYDOWN : WM_KEYUP, c.key);
        report(false);
        if (close) {
          std::puts("closed");
          return 0;
        }
        break;
      }
      case Command::Op::snap:
        if (const std::string failed = snap ? snap(g, c.text) : "no pictures here"; !failed.empty())
          return stop("cannot write " + base::printable(c.text) + ": " + failed, 2);
        break;
      case Command::Op::level_file:
      case Command::Op::cheat:
      case Command::Op::expect:
        if (std::string wrong = check(g, c); !wrong.empty()) return stop(wrong, 3);
        break;
      case Command::Op::none: break;
    }
  }
  return 0;
}

}  // namespace tervalon
