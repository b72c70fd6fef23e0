// What a player has reached on a level file, kept for good: for every level
// and pass entered, the recording that reaches it from the journey's start
// (a practice plays it to the level's entry), and the play time of the last
// journey finished. A new journey or a finished one loses none of it.
//
// Kept beside the journey's save, named by the level file's hash:
// HASH.reached-LEVEL-PASS.txt and HASH.finished. Written on a thread of the
// Progress' own, so a slow disk never holds up the game.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "game/journey/log.h"

namespace tervalon {

// The order of a journey: forward up the levels, then back down.
bool journey_order(const Entry& a, const Entry& b);

class Progress {
 public:
  Progress() = default;
  ~Progress();  // writes what is queued
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Finds what is kept in `folder` for the level file of hash `file_hash`.
  // Game thread, at start.
  void load(const std::string& folder, const std::string& file_hash);

  // Every level and pass reached on this file (frame 0), forward by level,
  // then back from the last level down. Game thread.
  const std::vector<Entry>& reached() const { return reached_; }
  bool has(const Entry& e) const;
  // `e` reached by the recording `text` (from the journey's start to its
  // entry): kept, unless it already is. Returns at once.
  void reach(const Entry& e, std::string text);
  // The recording kept for `e`; false with why when it cannot be read.
  bool recording(const Entry& e, std::string& text, std::string& why) const;

  // Play frames of the last journey finished on this file; 0 when none.
  std::uint64_t finished() const { return finished_; }
  void finish(std::uint64_t frames);

  // Waits until everything queued has been written (or has failed).
  void flush();

 private:
  std::string path(const Entry& e) const;
  void queue(std::string path, std::string bytes);
  void run_writer();

  std::string base_;  // FOLDER/HASH; empty: nothing is kept
  std::vector<Entry> reached_;
  std::uint64_t finished_ = 0;

  std::mutex lock_;
  std::condition_variable wake_, written_;
  std::deque<std::pair<std::string, std::string>> queued_;  // path, bytes
  bool writing_ = false, ending_ = false;
  std::thread writer_;
};

}  // namespace tervalon
