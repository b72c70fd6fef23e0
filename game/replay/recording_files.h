// The files a recording is saved to (the journey's save with its backup and
// lock, a --record file), each handed only what was added since the last
// save and written on a thread of its own. A failing file is said once, on
// standard error and in what the title says; every later save tries again.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/journal.h"

namespace tervalon {

class RecordingFiles {
 public:
  // Adds `file` at `path`, already holding the recording so far; a failure
  // of a file that `counts` makes the recording incomplete, and `failing`
  // is what a failure means to the player.
  void add(std::unique_ptr<base::Journal> file, const std::string& path, std::string failing, bool counts);
  bool has(const std::string& path) const;
  bool empty() const { return targets_.empty(); }

  // What changed in `text` since the last hand-over: from `changed_from`
  // when something before `saved` changed, else what follows `saved`.
  void hand(const std::string& text, std::size_t changed_from, std::size_t saved);
  // The journey's save, as written so far, also kept at `name`.
  void set_aside(const std::string& name);
  // Says a failure that began, or ended, since the last look.
  void say_failures();
  // Waits until every file holds what it was handed; at the end, each
  // failure is said and the files are let go.
  void flush(bool at_end);

  // False when a --record file could not be written to its end.
  bool complete() const { return complete_; }
  // What the title says of a failing save ("" while every save works).
  const std::string& trouble() const { return trouble_; }

 private:
  struct Target {
    std::unique_ptr<base::Journal> file;
    std::string path;
    std::string failing;  // what a failure means to the player
    bool said = false;    // a failure has been said
    bool counts = false;  // a failure makes the recording incomplete
  };
  std::vector<Target> targets_;
  bool complete_ = true;
  std::string trouble_;
};

}  // namespace tervalon
