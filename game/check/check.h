// The level checker: everything tervalon-levels says about a level file, as
// values. The checks of what the game needs and what a player would trip over,
// the reachability search of every level and the slack of the recorded
// solutions run as one job in slices, for a worker thread, a browser frame or
// a command-line tool alike; nothing here prints or keeps globals.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/check/reach.h"
#include "game/check/slack.h"
#include "game/check/slice.h"
#include "game/rules/level_file.h"

namespace tervalon {

// Something a level author should fix.
struct CheckFinding {
  std::uint64_t line = 0;  // file line; 0 when it is about a solution
  int level = -1;          // the level it is about; -1 for the file as a whole
  int pass = -1;           // the stage of a solution: 0 hub, 1 forward, 2 back; else -1
  std::string what;        // the words after "FILE:LINE: ", the level named in them
};

// What the search proved of one level, reported at its least trail length.
struct LevelProof {
  int level = 0;
  std::uint64_t line = 0;
  Reach reach;
};

struct CheckSettings {
  std::size_t budget = REACH_BUDGET;  // states the search of one level may meet, 1..REACH_BUDGET_MAX
  std::vector<Solution> solutions;    // played in this order from the first frame of a game
  bool cheat = false;                 // the cheat marker is there: the game reads every least trail length as 1
  int slack_cap = 10;                 // frames a press is moved each way at most
};

struct CheckReport {
  // The game's loader refuses the file, in its own words and with the
  // run-time error it stops with; nothing else is checked then.
  std::vector<LevelFinding> refused;
  std::vector<CheckFinding> findings;         // by file line, those about solutions first
  std::vector<LevelProof> proofs;             // every level's, once the file has no other finding
  std::vector<StageSlack> slack;              // every stage played, once the proofs found nothing
  int last_level = 0, width = 0, height = 0;  // the loaded file's
  bool cancelled = false;                     // the job was cancelled: the report is partial

  bool usable() const { return refused.empty() && findings.empty() && !cancelled; }
};

// A check of a level file's bytes; `name` is what findings call the file.
// Run it in slices until it is done; the report is final then, and the same
// however the job was sliced.
class CheckJob {
 public:
  CheckJob(std::string bytes, std::string name, CheckSettings settings);
  ~CheckJob();
  CheckJob(const CheckJob&) = delete;
  CheckJob& operator=(const CheckJob&) = delete;

  // Goes on for at most about `slice`; true once the job is done. Run by one
  // thread at a time.
  bool run(const Slice& slice);
  // Ends the job at its next piece of work; any thread. The report says it
  // was cancelled and holds what was found until then.
  void cancel() { cancelled_.store(true); }
  bool done() const;
  const CheckReport& report() const;

 private:
  struct Work;
  std::unique_ptr<Work> work_;
  std::atomic<bool> cancelled_{false};
};

// The whole check at once.
CheckReport check_all(std::string bytes, std::string name, CheckSettings settings);

// What the search proved of a level, in one line: the quickest routes, the
// one-way places when none, and its cost.
std::string proof_line(const LevelProof& proof);
// What was measured of a stage that finished: its frames, presses and the
// tightest of them.
std::string slack_line(const StageSlack& stage);

// The solutions in the folder "solutions" beside the level file at `path`,
// regular files in name order, read; none when there is no such folder.
std::vector<Solution> solutions_beside(const std::string& path);

}  // namespace tervalon
