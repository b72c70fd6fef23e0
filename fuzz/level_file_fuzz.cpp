// Fuzz target for the level loader: every input, read from its bytes, must
// end loaded, exactly as an independent reading of the file format says, or
// with findings whose run-time error number that reading predicts, and never
// stop the process; the game's loader on the same bytes as a file must stop
// with that number or load the same tables. Anything else aborts the run.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "game/rules/level_file.h"
#include "stop_by_exception.h"

using namespace tervalon;

namespace {

constexpr int END = -1;
constexpr int CTRL_Z = 26;
constexpr int INVALID_NUMBER = 106;
constexpr int RANGE = 201;

// The expected outcome: a run-time error number (0: loaded) and the tables.
struct Expected {
  int code = 0;
  int levels = 0, w = 0, h = 0;
  std::string text[26][3][5];
  std::uint32_t least[26] = {};
  std::vector<std::int8_t> cells = std::vector<std::int8_t>(std::size_t{26} * 256 * 256, 0);
  std::int32_t ix[26] = {}, iy[26] = {}, ox[26] = {}, oy[26] = {}, ex[26] = {}, ey[26] = {};
  std::int8_t& cell(int l, int x, int y) { return cells[(static_cast<std::size_t>(l) * 256 + x) * 256 + y]; }
  void reset() {
    code = levels = w = h = 0;
    for (auto& level : text)
      for (auto& half : level)
        for (auto& s : half) s.clear();
    for (auto* t : {least}) std::fill(t, t + 26, 0u);
    for (auto* t : {ix, iy, ox, oy, ex, ey}) std::fill(t, t + 26, 0);
    std::memset(cells.data(), 0, cells.size());
  }
};

struct Stop {
  int code;
};

// A second, deliberately plain reading of the format, over the bytes in memory.
class Model {
 public:
  Model(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}

  void load(Expected& e, bool cheat) {
    e.levels = signed_number();
    skip_line();
    if (e.levels < -128 || e.levels > 127) throw Stop{RANGE};
    e.w = signed_number();
    if (e.w < -128 || e.w > 127) throw Stop{RANGE};
    e.h = signed_number();
    if (e.h < -128 || e.h > 127) throw Stop{RANGE};
    skip_line();
    for (int l = 0; l <= e.levels; ++l) {
      if (l > 25) throw Stop{RANGE};
      for (int k = 1; k <= 4; ++k) e.text[l][1][k] = text_line();
    }
    for (int l = e.levels; l >= 1; --l)
      for (int k = 1; k <= 4; ++k) e.text[l][2][k] = text_line();
    for (int l = 0; l <= e.levels; ++l) {
      std::int64_t least = number(true);
      skip_line();
      e.least[l] = cheat ? 1 : static_cast<std::uint32_t>(least);
      for (int y = 0; y < e.h; ++y) {
        for (int x = 0; x < e.w; ++x) {
          int c = peek() == END ? CTRL_Z : take();
          e.cell(l, x, y) = c == 'x' ? 1 : 0;
          if (c == 'i') e.ix[l] = x, e.iy[l] = y;
          if (c == 'o') e.ox[l] = x, e.oy[l] = y;
          if (c == 'e') e.ex[l] = x, e.ey[l] = y;
        }
        skip_line();
      }
      if ((e.w < 1) != (e.h < 1)) throw Stop{RANGE};
      for (int x = 0; x < e.w; ++x) e.cell(l, x, 0) = e.cell(l, x, e.h - 1) = 1;
      for (int y = 0; y < e.h; ++y) e.cell(l, 0, y) = e.cell(l, e.w - 1, y) = 1;
    }
  }

 private:
  int peek() const { return i_ < n_ ? p_[i_] : END; }
  int take() { return p_[i_++]; }
  bool stops(int c) const { return c == END || c == CTRL_Z; }

  // A signed number: one that fits 32 bits, or the reading stops.
  int signed_number() { return static_cast<int>(number(false)); }

  std::int64_t number(bool is_unsigned) {
    while (!stops(peek()) && peek() <= 32) take();
    std::string token;
    while (peek() > 32) token.push_back(static_cast<char>(take()));
    if (token.empty()) return 0;
    std::size_t at = 0;
    bool negative = false;
    if (token[0] == '+' || token[0] == '-') negative = token[at++] == '-';
    if (at == token.size()) throw Stop{INVALID_NUMBER};
    std::int64_t v = 0;
    for (; at < token.size(); ++at) {
      if (token[at] < '0' || token[at] > '9') throw Stop{INVALID_NUMBER};
      v = v * 10 + (token[at] - '0');
      if (v > (std::int64_t{1} << 33)) v = std::int64_t{1} << 33;  // too big either way
    }
    if (negative && is_unsigned) throw Stop{INVALID_NUMBER};
    if (negative) v = -v;
    bool fits = is_unsigned ? v <= 0xFFFFFFFFLL : v >= INT32_MIN && v <= INT32_MAX;
    if (!fits) throw Stop{INVALID_NUMBER};
    return v;
  }

  void skip_line() {
    while (!stops(peek())) {
      int c = take();
      if (c == '\n') return;
      if (c == '\r') {
        if (peek() == '\n') take();
        return;
      }
    }
  }

  std::string text_line() {
    std::string s;
    while (!stops(peek()) && peek() != '\n' && peek() != '\r' && s.size() < 255) s.push_back(static_cast<char>(take()));
    skip_line();
    return s;
  }

  const std::uint8_t* p_;
  std::size_t n_;
  std::size_t i_ = 0;
};

// Standard error as it was at start: the fuzz run closes fd 2 to silence the
// loader's one-line reports, but a disagreement must still be told.
int report_fd = 2;

[[noreturn]] void mismatch(const std::string& what) {
  std::string line = "level loader disagrees with the file format: " + what + "\n";
  if (write(report_fd, line.data(), line.size()) < 0) {
  }
  std::abort();
}

void check(bool ok, const char* what, int l = -1) {
  if (!ok) mismatch(l < 0 ? std::string(what) : std::string(what) + " of level " + std::to_string(l));
}

void compare_tables(const Game& g, Expected& e) {
  check(g.BDLN == e.levels, "last level index");
  check(g.BDW == e.w && g.BDH == e.h, "board size");
  check(g.BDLV == 0 && g.GSIT == 0, "level and pass after loading");
  // Cells only where a file can put them (sides up to 127); the rest of every
  // level and every level past the last stay as cleared, which the other
  // tables show well enough.
  for (int l = 0; l <= 25; ++l) {
    for (int k = 1; k <= 4; ++k) {
      check(g.STEXT[l][1][k] == e.text[l][1][k], "first-half story text", l);
      check(g.STEXT[l][2][k] == e.text[l][2][k], "second-half story text", l);
    }
    check(g.STPM[l] == e.least[l], "least trail length", l);
    check(g.STPN[l] == 0, "trail length", l);
    check(g.BDIX[l] == e.ix[l] && g.BDIY[l] == e.iy[l], "entry cell", l);
    check(g.BDOX[l] == e.ox[l] && g.BDOY[l] == e.oy[l], "exit cell", l);
    check(g.BDEX[l] == e.ex[l] && g.BDEY[l] == e.ey[l], "end cell", l);
    if (l > g.BDLN) continue;
    for (int x = 0; x < 128; ++x) check(std::memcmp(g.BD[l][x].begin(), &e.cell(l, x, 0), 128) == 0, "board cells", l);
  }
}

// The loader reads by name; a memory file under /proc gives it one without a disk.
const std::string& level_path() {
  static const std::string path = [] {
    int fd = memfd_create("tervalon.dat", 0);
    if (fd < 0) {
      std::perror("memfd_create");
      std::abort();
    }
    return "/proc/self/fd/" + std::to_string(fd);
  }();
  return path;
}

void write_level_file(const std::uint8_t* data, std::size_t size) {
  const std::string& path = level_path();
  int fd = std::stoi(path.substr(path.rfind('/') + 1));
  if (ftruncate(fd, 0) != 0) std::abort();
  for (std::size_t done = 0; done < size;) {
    ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  report_fd = dup(2);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  LevelParse parsed;
  try {
    parsed = parse_levels(bytes, "tervalon.dat");
  } catch (const fuzz::Stopped& s) {
    mismatch("reading the bytes stopped the program with " + std::to_string(s.code));
  }
  check(parsed.game != nullptr, "a game from the bytes");
  for (const LevelFinding& f : parsed.findings)
    check(f.file == "tervalon.dat" && f.code != 0, "a finding's file and code");
  if (!parsed.ok()) check(parsed.findings.back().line >= 1, "the fault's line");
  const int parsed_code = parsed.ok() ? 0 : parsed.findings.back().code;

  write_level_file(data, size);
  int code = 0;
  std::unique_ptr<Game> g;
  try {
    g = load_levels(level_path());
  } catch (const fuzz::Stopped& s) {
    code = s.code;
  }

  static Expected e;
  e.reset();
  try {
    Model(data, size).load(e, g && g->CHEAT);
  } catch (const Stop& s) {
    e.code = s.code;
  }
  if (code != e.code)
    mismatch("stopped with " + std::to_string(code) + " where " + std::to_string(e.code) + " was due");
  if (parsed_code != e.code)
    mismatch("the bytes gave " + std::to_string(parsed_code) + " where " + std::to_string(e.code) + " was due");
  if (code == 0) {
    compare_tables(*g, e);
    if (!g->CHEAT) compare_tables(*parsed.game, e);
  }
  return 0;
}
