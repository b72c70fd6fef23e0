// What a player has reached, kept through the storage in use.
#include "game/journey/progress.h"

#include <algorithm>
#include <cstdio>

#include "base/numbers.h"
#include "base/storage.h"

namespace tervalon {

namespace {

constexpr std::string_view REACHED = ".reached-", FINISHED = ".finished";

// "LEVEL-PASS.txt" after the prefix; false for any other name.
bool read_name(std::string_view name, Entry& e) {
  const std::size_t dash = name.find('-');
  const std::size_t dot = name.find('.');
  std::uint32_t level = 0, pass = 0;
  if (dash == std::string_view::npos || dot == std::string_view::npos || dot < dash || name.substr(dot) != ".txt" ||
      !base::parse_whole<std::uint32_t>(name.substr(0, dash), 1, 127, level) ||
      !base::parse_whole<std::uint32_t>(name.substr(dash + 1, dot - dash - 1), 1, 2, pass))
    return false;
  e = {static_cast<std::int8_t>(level), static_cast<std::int8_t>(pass), 0};
  return true;
}

}  // namespace

bool journey_order(const Entry& a, const Entry& b) {
  if (a.pass != b.pass) return a.pass < b.pass;
  return a.pass == 1 ? a.level < b.level : a.level > b.level;
}

Progress::~Progress() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    ending_ = true;
  }
  wake_.notify_all();
  if (writer_.joinable()) writer_.join();
}

void Progress::load(const std::string& folder, const std::string& file_hash) {
  base_ = folder + "/" + file_hash;
  reached_.clear();
  finished_ = 0;
  const std::string prefix = file_hash + std::string(REACHED);
  for (const std::string& name : base::storage().list(folder)) {
    Entry e;
    if (name.starts_with(prefix) && read_name(std::string_view(name).substr(prefix.size()), e) && !has(e))
      reached_.push_back(e);
  }
  std::sort(reached_.begin(), reached_.end(), journey_order);
  std::string bytes, why;
  int error = 0;
  if (base::storage().load(base_ + std::string(FINISHED), bytes, error, why, 64)) {
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
    if (!base::parse_whole<std::uint64_t>(bytes, 1, UINT64_MAX, finished_)) finished_ = 0;
  }
}

bool Progress::has(const Entry& e) const { return std::find(reached_.begin(), reached_.end(), e) != reached_.end(); }

std::string Progress::path(const Entry& e) const {
  return base_ + std::string(REACHED) + std::to_string(e.level) + "-" + std::to_string(e.pass) + ".txt";
}

void Progress::reach(const Entry& e, std::string text) {
  if (base_.empty() || e.level <= 0 || has(e)) return;
  const Entry kept{e.level, e.pass, 0};
  reached_.insert(std::upper_bound(reached_.begin(), reached_.end(), kept, journey_order), kept);
  queue(path(e), std::move(text));
}

bool Progress::recording(const Entry& e, std::string& text, std::string& why) const {
  int error = 0;
  return !base_.empty() && base::storage().load(path(e), text, error, why);
}

void Progress::finish(std::uint64_t frames) {
  finished_ = frames;
  if (!base_.empty()) queue(base_ + std::string(FINISHED), std::to_string(frames) + "\n");
}

void Progress::queue(std::string path, std::string bytes) {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    queued_.emplace_back(std::move(path), std::move(bytes));
    if (!writer_.joinable()) writer_ = std::thread([this] { run_writer(); });
  }
  wake_.notify_all();
}

void Progress::flush() {
  std::unique_lock<std::mutex> hold(lock_);
  written_.wait(hold, [this] { return queued_.empty() && !writing_; });
}

void Progress::run_writer() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    wake_.wait(hold, [this] { return ending_ || !queued_.empty(); });
    if (queued_.empty()) return;
    auto [path, bytes] = std::move(queued_.front());
    queued_.pop_front();
    writing_ = true;
    hold.unlock();
    // What cannot be kept now is kept when a later game reaches it again.
    if (std::string why; !base::storage().save(path, bytes, why))
      std::fprintf(stderr, "tervalon: %s: what you reached cannot be kept: %s\n", path.c_str(), why.c_str());
    hold.lock();
    writing_ = false;
    written_.notify_all();
  }
}

}  // namespace tervalon
