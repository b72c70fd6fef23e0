// A file kept up to date as it grows, on a thread of its own, so that what a
// save costs its owner is what was added since the last one, never the whole
// file: additions are appended and synced; a change before the end, a file
// that is gone or was replaced, and the first write rewrite it, copied on the
// writer thread to a temporary beside it, synced and renamed over it (the
// file replaced kept as the backup). A crash while appending leaves whole
// lines and at most one torn last line.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/file_lock.h"

namespace base {

class Journal {
 public:
  struct Options {
    std::string backup;              // where each rewrite keeps the file it replaces; none when empty
    std::unique_ptr<FileLock> lock;  // held while writing: when another process has it, nothing is written
    std::function<int(int)> sync;    // fdatasync (fsync for a new file) unless set: a benchmark slows it
  };
  Journal(std::string path, Options options);
  ~Journal();  // writes what is pending first
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // The file at the path already holds the first `bytes` bytes of the
  // contents (a save read back and continued). Before any other call.
  // False when it cannot be opened: the owner then hands the whole over.
  bool adopt(std::uint64_t bytes);
  // The contents grow by `bytes`; returns at once. Owner's thread.
  void append(std::string bytes);
  // The contents become their first `keep` bytes followed by `bytes`.
  // Owner's thread.
  void replace_from(std::uint64_t keep, std::string bytes);
  // The file as it stands once what was handed over before is written is
  // also kept at `name` (a free name beside it); the next write begins a new
  // file. Owner's thread.
  void set_aside(std::string name);
  // The contents' length as handed over. Owner's thread.
  std::uint64_t length() const { return length_; }

  // Writes what is pending on this thread; true when the file holds all that
  // was handed over. Any thread.
  bool flush();
  // Why the last write failed ("PATH: cannot write: REASON"); empty when it
  // succeeded. Any thread.
  std::string failure() const;

 private:
  struct Op {
    std::uint64_t keep = 0;  // bytes of the contents before it that stay
    std::string bytes;       // what follows them
    std::string aside;       // or, when set: keep the file at this name
  };
  static void merge_into(std::vector<Op>& pending, Op op);
  void hand_over(Op op);
  bool write(std::vector<Op>& ops);  // with write_lock_ held
  bool apply(const Op& op, std::string& why);
  bool append_here(const std::string& bytes, std::string& why);
  bool rewrite(std::uint64_t keep, const std::string& bytes, std::string& why);
  bool still_here() const;
  bool lock_held(std::string& why);
  void run();

  const std::string path_;
  Options options_;
  std::uint64_t length_ = 0;  // owner's thread

  mutable std::mutex lock_;  // guards the five below
  std::condition_variable wake_;
  std::vector<Op> pending_;
  bool ending_ = false;
  std::uint64_t handed_ = 0, tried_ = 0;  // hand-overs made and seen by the writer
  std::string failure_;

  std::mutex write_lock_;      // one write at a time; guards the two below
  int fd_ = -1;                // the file at path_ as last written
  std::uint64_t on_disk_ = 0;  // bytes of the contents it holds
  bool fresh_file_ = true;     // the next write begins a new file
  std::thread writer_;
};

}  // namespace base
