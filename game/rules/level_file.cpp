// The level file reader. It reads the file front to back as a stream of bytes
// with a one-byte look-ahead, so a file of any size or content costs a fixed
// amount of memory, and every failure names its file line.
#include "game/rules/level_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>

#include "base/file.h"
#include "base/sha256.h"
#include "game/rules/level_rows.h"
#include "game/rules/text_cells.h"

namespace tervalon {

namespace {

constexpr int END = -1;     // the end of the file
constexpr int CTRL_Z = 26;  // ends the file for numbers, text lines and skips
constexpr int INVALID_NUMBER = 106;

// The cheat marker's name in UTF-8 and in GBK, the code page of the systems
// where level folders are also made.
constexpr const char* CHEAT_NAMES[] = {"\xE7\x94\xB2\xE4\xB9\x99", "\xBC\xD7\xD2\xD2"};

class Reader {
 public:
  // Only a regular file is read: the error is the reason it is not one.
  explicit Reader(const std::string& path) : path_(path) {
    int code;
    std::string why;
    fd_ = base::open_regular(path, code, why);
    if (fd_ < 0) base::runtime_error(code, path_ + ": cannot open: " + why);
  }
  ~Reader() {
    if (fd_ >= 0) close(fd_);
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  std::uint64_t line() const { return line_; }
  // The line of the last number read (or of where it was looked for).
  std::uint64_t token_line() const { return token_line_; }

  // Skips bytes of 32 and below, then reads one decimal integer token. At the
  // end of the file (or a Ctrl-Z) it reads 0. `what` names the item.
  std::int64_t number(bool is_unsigned, const char* what) {
    while (peek() != END && peek() != CTRL_Z && peek() <= 32) advance();
    token_line_ = line_;
    std::string token;  // the first bytes only: enough to quote it
    std::size_t length = 0;
    bool negative = false, digits = false, valid = true;
    std::int64_t value = 0;
    while (peek() > 32) {
      int c = advance();
      if (token.size() < 40) token.push_back(static_cast<char>(c));
      if (length++ == 0 && (c == '+' || c == '-')) {
        negative = c == '-';
      } else if (c >= '0' && c <= '9') {
        digits = true;
        if (value <= 0xFFFFFFFFLL) value = value * 10 + (c - '0');  // saturates past 32 bits
      } else {
        valid = false;
      }
    }
    if (length == 0) return 0;
    if (!valid || !digits) fail_number(token_line_, token, length, "is not a whole number");
    if (is_unsigned && negative)
      fail_number(token_line_, token, length, std::string("is negative; ") + what + " is 0 or more");
    if (negative) value = -value;
    bool fits = is_unsigned ? value <= 0xFFFFFFFFLL : value >= INT32_MIN && value <= INT32_MAX;
    if (!fits) fail_number(token_line_, token, length, "does not fit 32 bits");
    return value;
  }

  // Passes over everything up to and including the next line break.
  void skip_line() {
    for (int c = peek(); c != END && c != CTRL_Z; c = peek()) {
      advance();
      if (c == '\n') return;
      if (c == '\r') {
        if (peek() == '\n') advance();
        return;
      }
    }
  }

  // The bytes up to the next line break, at most 255 of them; then the rest of
  // the line is skipped.
  std::string text_line() {
    std::string s;
    for (int c = peek(); c != END && c != CTRL_Z && c != '\n' && c != '\r' && s.size() < TEXTMAX; c = peek())
      s.push_back(static_cast<char>(advance()));
    skip_line();
    return s;
  }

  // Exactly one byte, whatever it is; the end of the file reads as Ctrl-Z.
  int cell() { return peek() == END ? CTRL_Z : advance(); }

  // The run-time error, with one plain line saying what is wrong and where.
  // A board row of the wrong length above that line is the likelier cause:
  // the loader reads on across a short row, so the line it stops at is not
  // the one at fault. That row is named on a line of its own before.
  [[noreturn]] void fail(std::uint64_t at_line, const std::string& message, int code) const {
    std::string reason;
    for (const RowFinding& f : scan_rows(split_lines(first_lines(at_line))))
      if (f.line <= at_line) {
        reason = path_ + ":" + std::to_string(f.line) + ": " + f.what + "\n";
        break;
      }
    base::runtime_error(code, reason + path_ + ":" + std::to_string(at_line) + ": " + message);
  }

  // The SHA-256 of every byte of the file: those read and the rest after them.
  std::string hash() {
    while (!at_end_) refill();
    return hash_.hex();
  }

 private:
  int peek() {
    if (pos_ == len_ && !at_end_) refill();
    return pos_ < len_ ? buf_[pos_] : END;
  }

  int advance() {
    int c = peek();
    ++pos_;
    if (c == '\n') {
      if (!after_cr_) ++line_;
      after_cr_ = false;
    } else {
      after_cr_ = c == '\r';
      if (after_cr_) ++line_;
    }
    return c;
  }

  // The file's bytes through the end of line `count`, read again from the
  // start; nothing when that is more than a level file could sensibly hold.
  std::string first_lines(std::uint64_t count) const {
    constexpr std::size_t MOST = 64 << 20;
    std::string bytes;
    std::uint64_t ends = 0;
    char chunk[1 << 14];
    for (off_t at = 0;;) {
      ssize_t n = pread(fd_, chunk, sizeof chunk, at);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return bytes;
      for (ssize_t i = 0; i < n; ++i) {
        const char c = chunk[i];
        // A CR LF pair counts once: at its CR.
        if (c == '\r' || (c == '\n' && (bytes.empty() || bytes.back() != '\r'))) ++ends;
        bytes.push_back(c);
        if (ends >= count) return bytes;
      }
      if (bytes.size() > MOST) return {};
      at += n;
    }
  }

  void refill() {
    pos_ = len_ = 0;
    ssize_t n;
    do n = read(fd_, buf_, sizeof buf_);
    while (n < 0 && errno == EINTR);
    if (n < 0) fail_os(errno, "cannot read");
    if (n == 0) at_end_ = true;
    len_ = static_cast<std::size_t>(n);
    hash_.add(std::string_view(reinterpret_cast<const char*>(buf_), len_));
  }

  [[noreturn]] void fail_os(int code, const char* doing) const {
    base::runtime_error(code, path_ + ": " + doing + ": " + base::error_text(code));
  }

  [[noreturn]] void fail_number(std::uint64_t at_line, const std::string& token, std::size_t length,
                                const std::string& problem) const {
    std::string shown;
    for (unsigned char c : token) {
      if (c >= 32 && c < 127 && c != '"' && c != '\\') {
        shown.push_back(static_cast<char>(c));
      } else {
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\x%02X", c);
        shown += esc;
      }
    }
    if (length > token.size()) shown += "...";
    fail(at_line, "\"" + shown + "\" " + problem, INVALID_NUMBER);
  }

  std::string path_;
  int fd_ = -1;
  unsigned char buf_[1 << 16];
  base::Sha256 hash_;
  std::size_t pos_ = 0, len_ = 0;
  bool at_end_ = false;
  bool after_cr_ = false;
  std::uint64_t line_ = 1;
  std::uint64_t token_line_ = 1;
};

std::int8_t board_size(Reader& in, std::int64_t v, std::uint64_t at_line, const char* what) {
  if (v < -128 || v > 127)
    in.fail(at_line, "the board " + std::string(what) + " " + std::to_string(v) + " is outside -128..127",
            base::RANGE_ERROR);
  return static_cast<std::int8_t>(v);
}

}  // namespace

// Fills a new game from the file.
static void read_levels(Game& g, const std::string& path, LevelFileMap* map) {
  LevelFileMap scratch;
  LevelFileMap& at = map ? *map : scratch;

  for (const char* name : CHEAT_NAMES)
    if (base::ISFILE(name)) g.CHEAT = true;

  auto in = std::make_unique<Reader>(path);  // its buffer is too big for a stack frame

  std::int64_t levels = in->number(false, "");
  at.levels_line = in->token_line();
  in->skip_line();
  if (levels < -128 || levels > 127)
    in->fail(at.levels_line, "the last level index " + std::to_string(levels) + " is outside -128..127",
             base::RANGE_ERROR);
  g.BDLN = static_cast<std::int8_t>(levels);

  // Each size is range-checked as it is stored, before the next is read.
  std::int64_t w = in->number(false, "");
  at.size_line = in->token_line();
  g.BDW = board_size(*in, w, at.size_line, "width");
  std::int64_t h = in->number(false, "");
  g.BDH = board_size(*in, h, in->token_line(), "height");
  in->skip_line();

  for (int l = 0; l <= g.BDLN; ++l) {
    if (l > BDLMAX)
      in->fail(at.levels_line,
               "the last level index " + std::to_string(g.BDLN) + " is above " + std::to_string(BDLMAX) +
                   ": a file holds at most 26 levels, 0.." + std::to_string(BDLMAX),
               base::RANGE_ERROR);
    for (int i = 1; i <= 4; ++i) {
      at.text_line[l][1][i] = in->line();
      g.STEXT[l][1][i] = in->text_line();
    }
  }
  for (int l = g.BDLN; l >= 1; --l) {
    for (int i = 1; i <= 4; ++i) {
      at.text_line[l][2][i] = in->line();
      g.STEXT[l][2][i] = in->text_line();
    }
  }

  for (int l = 0; l <= g.BDLN; ++l) {
    std::int64_t least = in->number(true, "a least trail length");
    at.stpm_line[l] = in->token_line();
    in->skip_line();
    g.STPM[l] = static_cast<std::uint32_t>(least);
    if (g.CHEAT) g.STPM[l] = 1;
    g.STPN[l] = 0;

    for (std::int8_t y = 0; y <= g.BDH - 1; ++y) {
      at.row_line[l][y] = in->line();
      for (std::int8_t x = 0; x <= g.BDW - 1; ++x) {
        int c = in->cell();
        g.BD[l][x][y] = 0;
        if (c == 'x') g.BD[l][x][y] = 1;
        if (c == 'i') g.BDIX[l] = x, g.BDIY[l] = y;
        if (c == 'o') g.BDOX[l] = x, g.BDOY[l] = y;
        if (c == 'e') g.BDEX[l] = x, g.BDEY[l] = y;
      }
      in->skip_line();
    }

    if ((g.BDW < 1) != (g.BDH < 1))
      in->fail(at.size_line,
               "the board is " + std::to_string(g.BDW) + " x " + std::to_string(g.BDH) +
                   " cells: both sides must be at least 1",
               base::RANGE_ERROR);
    for (std::int8_t x = 0; x <= g.BDW - 1; ++x) g.BD[l][x][0] = 1;
    for (std::int8_t x = 0; x <= g.BDW - 1; ++x) g.BD[l][x][g.BDH - 1] = 1;
    for (std::int8_t y = 0; y <= g.BDH - 1; ++y) g.BD[l][0][y] = 1;
    for (std::int8_t y = 0; y <= g.BDH - 1; ++y) g.BD[l][g.BDW - 1][y] = 1;
  }

  // Recordings name the file by the bytes loaded, not by what is on disk later.
  g.level_file_sha256 = in->hash();
  in.reset();
  decide_story_encoding(g);
  // The board's size in pixels, worked out once; a negative side makes no
  // board (the window set-up refuses it).
  g.W = static_cast<std::uint32_t>(std::max(0, g.BDW * BDSZ));
  g.H = static_cast<std::uint32_t>(std::max(0, g.BDH * BDSZ));
  g.BDLV = 0;
  g.GSIT = 0;
}

std::unique_ptr<Game> load_levels(const std::string& path, LevelFileMap* map) {
  auto g = std::make_unique<Game>();
  read_levels(*g, path, map);
  return g;
}

std::unique_ptr<Game> INITBD() {
  LevelFileMap at;
  std::unique_ptr<Game> g = load_levels(LEVEL_FILE, &at);
  // The loader lets through files without a level or a board (the checker
  // reports on them); the game cannot start on one, and says why instead of
  // ending in silence or at its first step.
  const std::string file = LEVEL_FILE;
  struct stat st;
  if (stat(LEVEL_FILE, &st) == 0 && st.st_size == 0)
    base::runtime_error(base::RANGE_ERROR, file + ":1: the file is empty: there is no level to play");
  if (g->BDLN < 0)
    base::runtime_error(base::RANGE_ERROR, file + ":" + std::to_string(at.levels_line) + ": the last level index " +
                                               std::to_string(g->BDLN) + " leaves no level to play; it must be 1.." +
                                               std::to_string(BDLMAX));
  if (g->BDW < 1 || g->BDH < 1)
    base::runtime_error(base::RANGE_ERROR, file + ":" + std::to_string(at.size_line) + ": the board is " +
                                               std::to_string(g->BDW) + " x " + std::to_string(g->BDH) +
                                               " cells: there is no board to play; each side must be 1..127");
  return g;
}

}  // namespace tervalon
