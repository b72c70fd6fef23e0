// The level file reader. It reads the file front to back as a stream of bytes
// with a one-byte look-ahead, from memory or from a file in pieces, so a file
// of any size or content costs a fixed amount of memory beyond its bytes; a
// fault becomes a finding that names its file line, and reading stops there.
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

// Where the bytes come from.
class Source {
 public:
  virtual ~Source() = default;
  // Bytes from `offset` on: at least one unless the file ends there. False
  // with the error number when reading fails.
  virtual bool read_at(std::uint64_t offset, std::string_view& bytes, int& error) = 0;
};

class MemorySource : public Source {
 public:
  explicit MemorySource(std::string_view all) : all_(all) {}
  bool read_at(std::uint64_t offset, std::string_view& bytes, int&) override {
    bytes = all_.substr(static_cast<std::size_t>(std::min<std::uint64_t>(offset, all_.size())));
    return true;
  }

 private:
  std::string_view all_;
};

// A regular file, read a piece at a time; it closes the descriptor.
class FileSource : public Source {
 public:
  explicit FileSource(int fd) : fd_(fd) {}
  ~FileSource() override { close(fd_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool read_at(std::uint64_t offset, std::string_view& bytes, int& error) override {
    ssize_t n;
    do n = pread(fd_, buf_, sizeof buf_, static_cast<off_t>(offset));
    while (n < 0 && errno == EINTR);
    if (n < 0) {
      error = errno;
      return false;
    }
    bytes = std::string_view(buf_, static_cast<std::size_t>(n));
    return true;
  }

 private:
  int fd_;
  char buf_[1 << 16];
};

class Reader {
 public:
  Reader(Source& source, const std::string& name) : source_(source), name_(name) {}

  std::uint64_t line() const { return line_; }
  // The line of the last number read (or of where it was looked for).
  std::uint64_t token_line() const { return token_line_; }
  // Whether a fault was found: the reading stops, and what it reads after
  // it (numbers, bytes) is 0 and the end.
  bool failed() const { return !findings_.empty(); }
  std::vector<LevelFinding>& findings() { return findings_; }

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
    if (!valid || !digits) return fail_number(token_line_, token, length, "is not a whole number");
    if (is_unsigned && negative)
      return fail_number(token_line_, token, length, std::string("is negative; ") + what + " is 0 or more");
    if (negative) value = -value;
    bool fits = is_unsigned ? value <= 0xFFFFFFFFLL : value >= INT32_MIN && value <= INT32_MAX;
    if (!fits) return fail_number(token_line_, token, length, "does not fit 32 bits");
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

  // The fault: one plain finding saying what is wrong and where. A board row
  // of the wrong length above that line is the likelier cause: the loader
  // reads on across a short row, so the line it stops at is not the one at
  // fault. That row is named in a finding of its own before. Only the first
  // fault counts.
  void fail(std::uint64_t at_line, const std::string& message, int code) {
    if (failed()) return;
    for (const RowFinding& f : scan_rows(split_lines(first_lines(at_line))))
      if (f.line <= at_line) {
        findings_.push_back({name_, f.line, f.what, code});
        break;
      }
    findings_.push_back({name_, at_line, message, code});
  }

  // The SHA-256 of every byte of the file: those read and the rest after them.
  std::string hash() {
    while (!at_end_) refill();
    return hash_.hex();
  }

 private:
  int peek() {
    if (failed()) return END;
    if (pos_ == chunk_.size() && !at_end_) refill();
    return pos_ < chunk_.size() ? static_cast<unsigned char>(chunk_[pos_]) : END;
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
  std::string first_lines(std::uint64_t count) {
    constexpr std::size_t MOST = 64 << 20;
    std::string bytes;
    std::uint64_t ends = 0;
    std::string_view chunk;
    int error = 0;
    for (std::uint64_t at = 0;; at += chunk.size()) {
      if (!source_.read_at(at, chunk, error) || chunk.empty()) return bytes;
      for (const char c : chunk) {
        // A CR LF pair counts once: at its CR.
        if (c == '\r' || (c == '\n' && (bytes.empty() || bytes.back() != '\r'))) ++ends;
        bytes.push_back(c);
        if (ends >= count) return bytes;
      }
      if (bytes.size() > MOST) return {};
    }
  }

  void refill() {
    pos_ = 0;
    chunk_ = {};
    int error = 0;
    if (failed() || !source_.read_at(offset_, chunk_, error)) {
      if (!failed()) findings_.push_back({name_, 0, std::string("cannot read: ") + base::error_text(error), error});
      chunk_ = {};
      at_end_ = true;
      return;
    }
    if (chunk_.empty()) at_end_ = true;
    offset_ += chunk_.size();
    hash_.add(chunk_);
  }

  std::int64_t fail_number(std::uint64_t at_line, const std::string& token, std::size_t length,
                           const std::string& problem) {
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
    return 0;
  }

  Source& source_;
  const std::string& name_;
  std::string_view chunk_;
  std::uint64_t offset_ = 0;  // of the byte after the chunk
  base::Sha256 hash_;
  std::size_t pos_ = 0;
  bool at_end_ = false;
  bool after_cr_ = false;
  std::uint64_t line_ = 1;
  std::uint64_t token_line_ = 1;
  std::vector<LevelFinding> findings_;
};

// A board side, range-checked before it is stored; 0 after a fault.
std::int8_t board_size(Reader& in, std::int64_t v, std::uint64_t at_line, const char* what) {
  if (v < -128 || v > 127) {
    in.fail(at_line, "the board " + std::string(what) + " " + std::to_string(v) + " is outside -128..127",
            base::RANGE_ERROR);
    return 0;
  }
  return static_cast<std::int8_t>(v);
}

// Fills a new game from the file, up to its first fault. Every index is
// checked against its table before it is used.
void read_levels(Game& g, Reader& in, LevelFileMap& at, bool cheat) {
  g.CHEAT = cheat;

  std::int64_t levels = in.number(false, "");
  at.levels_line = in.token_line();
  in.skip_line();
  if (levels < -128 || levels > 127)
    in.fail(at.levels_line, "the last level index " + std::to_string(levels) + " is outside -128..127",
            base::RANGE_ERROR);
  if (in.failed()) return;
  g.BDLN = static_cast<std::int8_t>(levels);

  // Each size is range-checked as it is stored, before the next is read.
  std::int64_t w = in.number(false, "");
  at.size_line = in.token_line();
  if (in.failed()) return;
  g.BDW = board_size(in, w, at.size_line, "width");
  if (in.failed()) return;
  std::int64_t h = in.number(false, "");
  if (in.failed()) return;
  g.BDH = board_size(in, h, in.token_line(), "height");
  in.skip_line();
  if (in.failed()) return;

  for (int l = 0; l <= g.BDLN; ++l) {
    if (l > BDLMAX) {
      in.fail(at.levels_line,
              "the last level index " + std::to_string(g.BDLN) + " is above " + std::to_string(BDLMAX) +
                  ": a file holds at most 26 levels, 0.." + std::to_string(BDLMAX),
              base::RANGE_ERROR);
      return;
    }
    for (int i = 1; i <= 4; ++i) {
      at.text_line[l][1][i] = in.line();
      g.STEXT[l][1][i] = in.text_line();
    }
  }
  for (int l = g.BDLN; l >= 1; --l) {
    for (int i = 1; i <= 4; ++i) {
      at.text_line[l][2][i] = in.line();
      g.STEXT[l][2][i] = in.text_line();
    }
  }

  for (int l = 0; l <= g.BDLN; ++l) {
    std::int64_t least = in.number(true, "a least trail length");
    at.stpm_line[l] = in.token_line();
    in.skip_line();
    if (in.failed()) return;
    g.STPM[l] = static_cast<std::uint32_t>(least);
    if (g.CHEAT) g.STPM[l] = 1;
    g.STPN[l] = 0;

    for (std::int8_t y = 0; y <= g.BDH - 1; ++y) {
      at.row_line[l][y] = in.line();
      for (std::int8_t x = 0; x <= g.BDW - 1; ++x) {
        int c = in.cell();
        g.BD[l][x][y] = 0;
        if (c == 'x') g.BD[l][x][y] = 1;
        if (c == 'i') g.BDIX[l] = x, g.BDIY[l] = y;
        if (c == 'o') g.BDOX[l] = x, g.BDOY[l] = y;
        if (c == 'e') g.BDEX[l] = x, g.BDEY[l] = y;
      }
      in.skip_line();
    }
    if (in.failed()) return;

    if ((g.BDW < 1) != (g.BDH < 1)) {
      in.fail(at.size_line,
              "the board is " + std::to_string(g.BDW) + " x " + std::to_string(g.BDH) +
                  " cells: both sides must be at least 1",
              base::RANGE_ERROR);
      return;
    }
    for (std::int8_t x = 0; x <= g.BDW - 1; ++x) g.BD[l][x][0] = 1;
    for (std::int8_t x = 0; x <= g.BDW - 1; ++x) g.BD[l][x][g.BDH - 1] = 1;
    for (std::int8_t y = 0; y <= g.BDH - 1; ++y) g.BD[l][0][y] = 1;
    for (std::int8_t y = 0; y <= g.BDH - 1; ++y) g.BD[l][g.BDW - 1][y] = 1;
  }

  // Recordings name the file by the bytes loaded, not by what is on disk later.
  g.level_file_sha256 = in.hash();
  if (in.failed()) return;
  decide_story_encoding(g);
  // The board's size in pixels, worked out once; a negative side makes no
  // board (the window set-up refuses it).
  g.W = static_cast<std::uint32_t>(std::max(0, g.BDW * BDSZ));
  g.H = static_cast<std::uint32_t>(std::max(0, g.BDH * BDSZ));
  g.BDLV = 0;
  g.GSIT = 0;
}

LevelParse parse(Source& source, const std::string& name, bool cheat) {
  LevelParse p;
  p.game = std::make_unique<Game>();
  // The reader's look-ahead and hash live on the heap with it, off a small stack.
  auto in = std::make_unique<Reader>(source, name);
  read_levels(*p.game, *in, p.map, cheat);
  p.findings = std::move(in->findings());
  return p;
}

}  // namespace

std::string LevelFinding::text() const {
  return line ? file + ":" + std::to_string(line) + ": " + message : file + ": " + message;
}

LevelParse parse_levels(std::string_view bytes, const std::string& name, bool cheat) {
  MemorySource source(bytes);
  return parse(source, name, cheat);
}

void stop_on_level_file(const std::vector<LevelFinding>& findings) {
  std::string said;
  for (const LevelFinding& f : findings) said += (said.empty() ? "" : "\n") + f.text();
  base::runtime_error(findings.back().code, said);
}

bool cheat_marker_present() {
  for (const char* name : CHEAT_NAMES)
    if (base::ISFILE(name)) return true;
  return false;
}

bool read_level_bytes(const std::string& path, std::string& bytes, LevelFinding& failure) {
  int code = 0;
  std::string why;
  if (base::read_regular(path, bytes, code, why)) return true;
  // read_regular says only the system's words: whether it was the opening
  // that failed is asked again.
  const int fd = base::open_regular(path, code, why);
  if (fd < 0) {
    failure = {path, 0, "cannot open: " + why, code};
  } else {
    close(fd);
    failure = {path, 0, "cannot read: " + base::error_text(code), code};
  }
  return false;
}

std::unique_ptr<Game> load_levels(const std::string& path, LevelFileMap* map) {
  const bool cheat = cheat_marker_present();
  int code = 0;
  std::string why;
  const int fd = base::open_regular(path, code, why);
  if (fd < 0) base::runtime_error(code, path + ": cannot open: " + why);
  const auto source = std::make_unique<FileSource>(fd);  // its buffer is too big for a stack frame
  LevelParse p = parse(*source, path, cheat);
  if (!p.ok()) stop_on_level_file(p.findings);
  if (map) *map = p.map;
  return std::move(p.game);
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
