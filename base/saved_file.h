// Files that are never seen half written: each save goes to a temporary file
// beside the target, is synced, and is renamed over it, so the target holds
// either the last whole save or the one before.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace base {

// Whether `path` may be replaced by a save: it does not exist yet, or it is a
// regular file (not a folder, device, FIFO or symbolic link). False with the
// reason in `why` ("a FIFO, not a regular file").
bool may_replace(const std::string& path, std::string& why);

// Replaces the file at `path` with `bytes` as above; with `backup` set, the
// file replaced is kept at that name (the one there before is let go). False
// with the reason in `why` ("No space left on device"; the target is then as
// it was). Any thread.
bool replace_file(const std::string& path, std::string_view bytes, std::string& why, const std::string& backup = "");

// A file kept up to date with the newest contents handed to it, written on a
// thread of its own so that the owner never waits for the disk. A save that
// fails is tried again with the next one.
class SavedFile {
 public:
  // With `backup` set, each save keeps the file it replaces at that name.
  explicit SavedFile(std::string path, std::string backup = "");
  ~SavedFile();  // writes the newest contents first
  SavedFile(const SavedFile&) = delete;
  SavedFile& operator=(const SavedFile&) = delete;

  // Hands over the newest contents; returns at once. Owner's thread.
  void save(std::string bytes);
  // Writes `bytes` on this thread, after any save under way; true when the
  // file now holds them. Owner's thread.
  bool save_now(std::string bytes);
  // Writes the newest contents handed over, on this thread: for a thread
  // that must not read what the owner is changing. Any thread.
  bool save_newest_now();
  // Why the last save failed ("PATH: cannot write: REASON"); empty when it
  // succeeded. Any thread.
  std::string failure() const;

 private:
  bool write_newest(bool always);  // with write_lock_ held
  void run();

  const std::string path_, backup_;
  mutable std::mutex lock_;  // guards everything below but the writer
  std::condition_variable wake_;
  std::string newest_;
  bool unwritten_ = false;  // newest_ has not been written
  bool ending_ = false;
  std::string failure_;
  std::mutex write_lock_;  // one write at a time
  std::thread writer_;
};

}  // namespace base
