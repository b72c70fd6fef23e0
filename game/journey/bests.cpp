// Best runs kept in a folder that several games may share: read, merged and
// written through the storage in use, on a writer thread of the Bests' own.
#include "game/journey/bests.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <utility>

#include "base/numbers.h"
#include "base/sha256.h"
#include "base/storage.h"

namespace tervalon {

namespace {

using namespace std::chrono_literals;

// Long enough for another game's write of a very large list; short enough
// that a game stopped while holding the lock cannot hold up this one's end.
constexpr auto LOCK_WAIT = 10s;

// A line of the list: "HASH PASS FRAMES", pass 1 or 2.
struct Line {
  std::string_view hash;
  char pass = 0;
  std::uint64_t frames = 0;
  std::string key() const { return std::string(hash) + " " + pass; }
};

bool read_line(std::string_view text, Line& line) {
  constexpr std::string_view BLANKS = " \t\r\v\f";
  std::string_view words[3];
  std::size_t n = 0;
  for (std::size_t at = text.find_first_not_of(BLANKS); n < std::size(words) && at != std::string_view::npos;
       at = text.find_first_not_of(BLANKS, at)) {
    const std::size_t end = std::min(text.find_first_of(BLANKS, at), text.size());
    words[n++] = text.substr(at, end - at);
    at = end;
  }
  if (n < 3 || (words[1] != "1" && words[1] != "2") ||
      !base::parse_whole<std::uint64_t>(words[2], 1, UINT64_MAX, line.frames))
    return false;
  line.hash = words[0];
  line.pass = words[1][0];
  return true;
}

// Calls `each` with every line of `text`, without its '\n'.
template <typename Each>
void each_line(std::string_view text, Each each) {
  while (!text.empty()) {
    const std::size_t eol = std::min(text.find('\n'), text.size());
    each(text.substr(0, eol));
    text.remove_prefix(std::min(eol + 1, text.size()));
  }
}

void keep_least(std::map<std::string, std::uint64_t>& bests, const std::string& key, std::uint64_t frames) {
  if (const auto [at, fresh] = bests.try_emplace(key, frames); !fresh) at->second = std::min(at->second, frames);
}

}  // namespace

std::string level_hash(const Game& g, int level) {
  std::string bytes = std::to_string(g.BDW) + " " + std::to_string(g.BDH);
  for (const auto* cells : {&g.BDIX, &g.BDIY, &g.BDOX, &g.BDOY, &g.BDEX, &g.BDEY})
    bytes += " " + std::to_string((*cells)[level]);
  // The cheat marker makes every level's least trail 1: a best made so is
  // not kept anyway.
  bytes += " " + std::to_string(g.STPM[level]) + "\n";
  for (int x = 0; x < g.BDW; ++x)
    for (int y = 0; y < g.BDH; ++y) bytes += static_cast<char>('0' + g.BD[level][x][y]);
  return base::sha256_hex(bytes);
}

std::string seconds(std::uint64_t frames) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu.%02llu s", static_cast<unsigned long long>(frames / 60),
                static_cast<unsigned long long>(frames % 60 * 100 / 60));
  return text;
}

Bests::~Bests() { stop(); }

std::string Bests::key(int level, int pass) const {
  const auto h = hashes_.find(level);
  return (h == hashes_.end() ? std::string("?") : h->second) + " " + std::to_string(pass);
}

void Bests::load(const std::string& folder, const Game& g) {
  stop();
  folder_ = folder;
  hashes_.clear();
  ours_.clear();
  best_.clear();
  queued_.clear();
  retry_.clear();
  for (int level = 1; level <= g.BDLN; ++level) ours_.insert(hashes_[level] = level_hash(g, level));
  std::string text, why;
  int error = 0;
  if (folder_.empty()) return;
  if (base::storage().load(folder_ + "/bests.txt", text, error, why))
    each_line(text, [this](std::string_view line) {
      Line l;
      if (read_line(line, l) && ours_.contains(l.hash)) keep_least(best_, l.key(), l.frames);
    });
  writer_ = std::thread([this] { run_writer(); });
}

std::uint64_t Bests::best(int level, int pass) const {
  const std::string k = key(level, pass);
  std::lock_guard<std::mutex> l(lock_);
  const auto b = best_.find(k);
  return b == best_.end() ? 0 : b->second;
}

bool Bests::offer(int level, int pass, std::uint64_t frames, std::string run) {
  if (frames == 0 || (pass != 1 && pass != 2) || !hashes_.contains(level)) return false;
  std::string k = key(level, pass);
  {
    std::lock_guard<std::mutex> l(lock_);
    if (const auto [at, fresh] = best_.try_emplace(k, frames); !fresh) {
      if (at->second <= frames) return false;
      at->second = frames;
    }
    if (folder_.empty()) return true;
    queued_[std::move(k)] = Run{frames, std::move(run)};
  }
  wake_.notify_one();
  return true;
}

void Bests::flush() {
  std::unique_lock<std::mutex> l(lock_);
  written_.wait(l, [this] { return queued_.empty() && !writing_; });
}

std::string Bests::take_failure() {
  if (!failed_.load(std::memory_order_acquire)) return "";
  std::lock_guard<std::mutex> l(lock_);
  failed_.store(false, std::memory_order_relaxed);
  return std::exchange(failure_, "");
}

void Bests::stop() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard<std::mutex> l(lock_);
    ending_ = true;
  }
  wake_.notify_one();
  writer_.join();
  ending_ = false;
}

// Takes what is queued, with what failed before, as one write.
void Bests::run_writer() {
  std::unique_lock<std::mutex> l(lock_);
  for (;;) {
    wake_.wait(l, [this] { return !queued_.empty() || ending_; });
    if (queued_.empty()) return;  // ending, with nothing left to write
    Runs runs = std::exchange(queued_, {});
    for (auto& [k, r] : retry_) runs.try_emplace(k, std::move(r));  // a run queued since is faster
    retry_.clear();
    writing_ = true;
    l.unlock();
    std::map<std::string, std::uint64_t> seen;
    std::string why;
    const bool written = write(runs, seen, why);
    l.lock();
    for (const auto& [k, frames] : seen) keep_least(best_, k, frames);
    retry_ = std::move(runs);
    if (!written) {
      failure_ += (failure_.empty() ? "" : "\n") + why;
      failed_.store(true, std::memory_order_release);
    }
    writing_ = false;
    written_.notify_all();
  }
}

bool Bests::write(Runs& runs, std::map<std::string, std::uint64_t>& seen, std::string& why) const {
  // One game at a time writes a folder's bests, for one write; a lock that
  // is not a regular file is another program's, and is left alone.
  base::Storage& storage = base::storage();
  const std::string lock_path = folder_ + "/bests.lock";
  const std::unique_ptr<base::Lock> lock = storage.lock(lock_path, why, LOCK_WAIT);
  if (!lock) {
    if (why.empty()) why = lock_path + ": another game has held it for " + std::to_string(LOCK_WAIT.count()) + " s";
    return false;
  }
  const std::string list = folder_ + "/bests.txt";
  std::string text;
  int error = 0;
  if (!storage.load(list, text, error, why) && error != ENOENT) {
    why = list + ": " + why + "; not replaced";
    return false;
  }
  each_line(text, [&](std::string_view line) {
    Line l;
    if (read_line(line, l) && ours_.contains(l.hash)) keep_least(seen, l.key(), l.frames);
  });

  // A run the list already matches is let go. The others' recordings go
  // first, so that the list never names a time whose recording is not there.
  std::set<std::string, std::less<>> faster;
  bool ok = true;
  auto failed = [&](const std::string& path, const std::string& reason) {
    why += (why.empty() ? "" : "\n") + path + ": cannot write: " + reason;
    ok = false;
  };
  for (auto r = runs.begin(); r != runs.end();) {
    if (const auto s = seen.find(r->first); s != seen.end() && s->second <= r->second.frames) {
      r = runs.erase(r);
      continue;
    }
    const std::string path = folder_ + "/best-" + r->first.substr(0, 16) + "-" + r->first.back() + ".txt";
    if (std::string reason; storage.save(path, r->second.text, reason))
      faster.insert(r->first);
    else
      failed(path, reason);
    ++r;
  }
  if (faster.empty()) return ok;

  // Every line as it was, but the first of each faster run's, rewritten, and
  // any more of them, dropped.
  std::string merged;
  merged.reserve(text.size() + faster.size() * 96);
  std::set<std::string, std::less<>> placed;
  auto place = [&](const std::string& k) {
    if (placed.insert(k).second) merged += k + " " + std::to_string(runs.at(k).frames) + "\n";
  };
  each_line(text, [&](std::string_view line) {
    if (Line l; read_line(line, l) && ours_.contains(l.hash)) {
      if (const std::string k = l.key(); faster.contains(k)) return place(k);
    }
    merged += line;
    merged += '\n';
  });
  for (const std::string& k : faster) place(k);
  if (std::string reason; !storage.save(list, merged, reason)) {
    failed(list, reason);
    return false;
  }
  for (const std::string& k : faster) {
    seen[k] = runs.at(k).frames;
    runs.erase(k);
  }
  return ok;
}

}  // namespace tervalon
