// A lock that makes one process at a time the writer of something kept on
// disk: an exclusive flock on a regular file of its own, held for as long as
// the lock lives and let go by the system however the process ends.
#pragma once

#include <string>

namespace base {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock at `path`, made when missing. False when another process
  // holds it (`why` empty), or with the reason in `why` when it cannot be a
  // lock: a folder, a symbolic link or anything but a regular file at the
  // name, a file system without locks. Only a real lock is ever reported
  // taken. With `only_new`, a file already at the name is someone else's
  // lock (`why` says so). Any thread, one at a time.
  bool take(const std::string& path, std::string& why, bool only_new = false);
  // Whether the lock is held and `path` still names the file it is held on:
  // a lock file removed (with its folder, say) and made again by another
  // process no longer keeps that process out.
  bool held() const;
  const std::string& path() const { return path_; }

 private:
  void release();
  int fd_ = -1;
  std::string path_;
};

}  // namespace base
