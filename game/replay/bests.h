// Best runs: for each level and pass, the fewest frames from entering it to
// leaving through its exit (or home), and the recording that made it. Kept
// by each level's own hash, so that editing one level resets only its bests.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "game/rules/state.h"

namespace tervalon {

// The SHA-256 of what makes a level play as it does: its board, its cells
// of entry, exit and end, and the trail it needs.
std::string level_hash(const Game& g, int level);

class Bests {
 public:
  // Reads the bests kept in `folder` for the levels of `g` (none when the
  // folder is empty); lines that cannot be read are kept as they are.
  void load(const std::string& folder, const Game& g);
  // The fewest frames for `level` and `pass` (1 forward, 2 back); 0 when none.
  std::uint64_t best(int level, int pass) const;
  // A run of `frames` frames through `level` and `pass`, made by the
  // recording `run`: true when it is a new best, which is then saved (the
  // list and the recording beside it). False with the reason in `why` when
  // a new best cannot be written.
  bool offer(int level, int pass, std::uint64_t frames, const std::string& run, std::string& why);

 private:
  std::string key(int level, int pass) const;
  std::string folder_;
  std::map<int, std::string> hashes_;          // level -> level_hash
  std::map<std::string, std::uint64_t> best_;  // "HASH PASS" -> frames
  std::string other_lines_;                    // of levels not in this file, kept
};

// Frames as seconds, "12.35 s".
std::string seconds(std::uint64_t frames);

}  // namespace tervalon
