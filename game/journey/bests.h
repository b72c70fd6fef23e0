// Best runs: for each level and pass, the fewest frames from entering it to
// leaving through its exit (or home), and the recording that made it. Kept
// by each level's own hash, so that editing one level resets only its bests.
//
// Several games may share the folder (other level files, or this one played
// again), so the list on disk is merged, never overwritten from memory: each
// write takes FOLDER/bests.lock, reads bests.txt again, keeps the fewest
// frames of every "HASH PASS" and every line it does not change, and writes
// a recording only while its run is still the best on disk. The writes run
// on a thread of the Bests' own: the game never waits for the disk.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "game/rules/state.h"

namespace tervalon {

// The SHA-256 of what makes a level play as it does: its board, its cells
// of entry, exit and end, and the trail it needs.
std::string level_hash(const Game& g, int level);

class Bests {
 public:
  Bests() = default;
  ~Bests();  // waits for the writes queued
  Bests(const Bests&) = delete;
  Bests& operator=(const Bests&) = delete;

  // Reads the bests kept in `folder` for the levels of `g`; with `folder`
  // empty, bests are kept for this run only. Game thread, at start: it reads
  // the list on this thread.
  void load(const std::string& folder, const Game& g);
  // The fewest frames for `level` and `pass` (1 forward, 2 back): the least
  // of the list as loaded, of the runs offered and of the list as last
  // written; 0 when none. Game thread.
  std::uint64_t best(int level, int pass) const;
  // A run of `frames` frames through `level` and `pass`, made by the
  // recording `run`: true when it beats best(), and it is then queued to be
  // written. Returns at once. Game thread.
  bool offer(int level, int pass, std::uint64_t frames, std::string run);
  // Waits until every run offered has been written (or has failed).
  void flush();
  // Why writes failed since the last call ("FOLDER/bests.lock: ..."), one
  // line each; empty when none did. Cheap enough to ask every frame.
  std::string take_failure();

 private:
  struct Run {
    std::uint64_t frames = 0;
    std::string text;
  };
  using Runs = std::map<std::string, Run>;  // by "HASH PASS"

  std::string key(int level, int pass) const;
  void stop();
  void run_writer();
  // Merges `runs` into the folder; leaves in `runs` those still to write.
  bool write(Runs& runs, std::map<std::string, std::uint64_t>& seen, std::string& why) const;

  std::string folder_;
  std::map<int, std::string> hashes_;          // level -> level_hash
  std::set<std::string, std::less<>> ours_;    // the values of hashes_
  mutable std::mutex lock_;                    // guards everything below but writer_
  std::map<std::string, std::uint64_t> best_;  // "HASH PASS" -> frames
  Runs queued_, retry_;                        // to write; failed, tried with the next
  bool writing_ = false, ending_ = false;
  std::condition_variable wake_, written_;
  std::string failure_;
  std::atomic<bool> failed_{false};
  std::thread writer_;
};

// Frames as seconds, "12.35 s".
std::string seconds(std::uint64_t frames);

}  // namespace tervalon
