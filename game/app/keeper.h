// Where the journey is kept: its save and backup beside the level file's
// hash, the lock that makes this game their writer, and the bests beside
// them. A game whose scripts play, or that another game keeps the journey
// of, keeps nothing and says so.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/storage.h"
#include "game/app/run.h"
#include "game/journey/bests.h"
#include "game/journey/progress.h"

namespace tervalon {

class Keeper {
 public:
  // Takes the journey of `g` unless `scripts` play; whether it is kept.
  bool open(const Game& g, bool scripts);
  bool keeps() const { return !save_path_.empty(); }
  const std::string& save_path() const { return save_path_; }
  // A path in the data folder as the player is told it.
  std::string in_folder(const std::string& path) const;

  // `r`, back at its start, is recorded anew (`note` after its header) and
  // saved here; a journey that was played (`played`) is kept aside first as
  // a recording named by `label` ("replaced", "finished"), never replaced.
  void begin(Run& r, bool played, const std::string& note, const std::string& label = "replaced");
  // The save read back holds the first `bytes` of the journey's recording.
  void adopt(std::uint64_t bytes) { adopted_ = bytes; }
  // `r` goes on from its save, saved here.
  void go_on(Run& r);
  // The finished journey kept aside whole, its backup with it; the name.
  std::string keep_finished();
  // Says once, on standard error and in the title, that progress is not saved.
  static void say_not_saved(const std::string& why);

  Bests& bests() { return bests_; }
  Progress& progress() { return progress_; }
  const Progress& progress() const { return progress_; }
  // What the bests' writer could not do, said once.
  void say_unkept_bests();

 private:
  std::string folder_, save_path_;
  std::unique_ptr<base::Lock> lock_;  // held from the start, then by the journey's save
  std::uint64_t adopted_ = 0;
  Bests bests_;
  Progress progress_;
};

}  // namespace tervalon
