// The replay language: parsing a line, the state line, the checks, and the
// headless run of a whole script.
#include "game/replay/script.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/file.h"
#include "base/numbers.h"
#include "game/replay/sha256.h"
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
  return "frame " + std::to_string(g.FRAME) + ": " + field + " is " + have + ", expected " + want;
}

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
    if (!one_arg) {
      why = "expected \"snap FILE\"";
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
    why = "unknown command \"" + op + "\" (expected frames, burst, down, up, snap, level-file, cheat or expect)";
    return false;
  }
  return true;
}

bool read_script(const std::string& path, std::vector<ScriptLine>& lines, std::string& why) {
  std::ifstream in(path);
  if (!in) {
    why = path + ": cannot open: " + base::error_text(errno);
    return false;
  }
  std::string text;
  Command c;
  for (std::size_t line = 1; std::getline(in, text); ++line) {
    if (!parse_command(text, c, why)) {
      why = path + ":" + std::to_string(line) + ": " + why;
      return false;
    }
    if (c.op != Command::Op::none) lines.push_back({c, line});
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

std::string level_file_hash() {
  std::string bytes;
  return base::read_file(LEVEL_FILE, bytes) ? sha256_hex(bytes) : std::string("unreadable");
}

std::string check(const Game& g, const Command& c) {
  const std::string cheat = g.CHEAT ? "1" : "0";
  if (c.op == Command::Op::level_file)
    if (const std::string hash = level_file_hash(); hash != c.text) return differs(g, "level-file", hash, c.text);
  if (c.op == Command::Op::cheat && cheat != c.text) return differs(g, "cheat", cheat, c.text);
  if (c.op == Command::Op::expect) {
    std::vector<std::string> have = words_of(state_line(g)), want = words_of(c.text);
    for (std::size_t i = 0; i < FIELDS.size(); ++i)
      if (have[i] != want[i]) return differs(g, FIELDS[i], have[i], want[i]);
  }
  return "";
}

int replay(Game& g, std::istream& in, const std::string& name, const Snap& snap) {
  std::string text, why;
  Command c;
  for (std::size_t line = 1; std::getline(in, text); ++line) {
    auto stop = [&](const std::string& message, int code) {
      std::fflush(stdout);
      std::fprintf(stderr, "%s:%zu: %s\n", name.c_str(), line, message.c_str());
      return code;
    };
    if (!parse_command(text, c, why)) return stop(why, 2);
    switch (c.op) {
      case Command::Op::frames:
      case Command::Op::burst: {
        // frames N is N passes of one frame; burst N one pass of N frames.
        const bool burst = c.op == Command::Op::burst;
        for (std::uint64_t i = 0; i < (burst ? 1 : c.count); ++i) {
          const Pass p = frame_pass(g, burst ? c.count : 1);
          print_state(g);
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
        print_state(g);
        if (close) {
          std::puts("closed");
          return 0;
        }
        break;
      }
      case Command::Op::snap:
        if (!snap || !snap(g, c.text)) return stop("cannot write " + c.text, 2);
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
