// A file kept up to date as it grows, on a thread of its own, so that what a
// save costs its owner is what was added since the last one, never the whole
// file: additions are appended and synced; a change before the end, a file
// that is gone or was replaced, and the first write rewrite it, copied on the
// writer thread to a temporary beside it, synced and renamed over it (the
// file replaced kept as the backup). A crash while appending leaves whole
// lines and at most one torn last line. `Journal` is what its owner sees;
// file_journal is the POSIX one, which storage().journal() makes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/file_lock.h"

namespace base {

class Journal {
 public:
  struct Options {
    std::string backup;            // where each rewrite keeps the file it replaces; none when empty
    std::unique_ptr<Lock> lock;    // held while writing: when another process has it, nothing is written
    std::function<int(int)> sync;  // POSIX: syncs the open file (fdatasync; fsync for a new one) unless set
  };
  Journal() = default;
  virtual ~Journal() = default;  // writes what is pending first
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // The file at the path already holds the first `bytes` bytes of the
  // contents (a save read back and continued). Before any other call.
  // False when it cannot be opened: the owner then hands the whole over.
  virtual bool adopt(std::uint64_t bytes) = 0;
  // The contents grow by `bytes`; returns at once. Owner's thread.
  virtual void append(std::string bytes) = 0;
  // The contents become their first `keep` bytes followed by `bytes`.
  // Owner's thread.
  virtual void replace_from(std::uint64_t keep, std::string bytes) = 0;
  // The file as it stands once what was handed over before is written is
  // also kept at `name` (a free name beside it); the next write begins a new
  // file. Owner's thread.
  virtual void set_aside(std::string name) = 0;
  // The contents' length as handed over. Owner's thread.
  virtual std::uint64_t length() const = 0;

  // Writes what is pending on this thread; true when the file holds all that
  // was handed over. Any thread.
  virtual bool flush() = 0;
  // Why the last write failed ("PATH: cannot write: REASON"); empty when it
  // succeeded. Any thread.
  virtual std::string failure() const = 0;
};

// The POSIX journal of the file at `path`: a writer thread of its own that
// appends and syncs, or rewrites through a temporary file renamed over it.
std::unique_ptr<Journal> file_journal(std::string path, Journal::Options options);

}  // namespace base
