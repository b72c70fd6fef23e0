// A lock that makes one process at a time the writer of something kept:
// `Lock` is what its holder sees; `FileLock` is the POSIX one, an exclusive
// flock on a regular file of its own, let go however the process ends.
#pragma once

#include <chrono>
#include <string>

namespace base {

class Lock {
 public:
  Lock() = default;
  virtual ~Lock() = default;  // lets the lock go
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  // Whether the lock is held and its name still names what it is held on:
  // a lock removed (with its folder, say) and made again by another process
  // no longer keeps that process out.
  virtual bool held() const = 0;
  // A lock that is no longer held, its file removed, is made again (its
  // folder too) and taken, unless another process made it meanwhile: that
  // one is the other's, even once it has let it go. False with the reason
  // in `why`.
  virtual bool renew(std::string& why) = 0;
  virtual const std::string& path() const = 0;
};

class FileLock final : public Lock {
 public:
  FileLock() = default;
  ~FileLock() override;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock at `path`, made when missing, waiting up to `wait` while
  // another process holds it. False when another process holds it (`why`
  // empty), or with the reason in `why` when it cannot be a lock: a folder,
  // a symbolic link or anything but a regular file at the name, a file
  // system without locks. Only a real lock is ever reported taken. With
  // `only_new`, a file already at the name is someone else's lock (`why`
  // says so). Any thread, one at a time.
  bool take(const std::string& path, std::string& why, bool only_new = false,
            std::chrono::milliseconds wait = std::chrono::milliseconds(0));
  bool held() const override;
  bool renew(std::string& why) override;
  const std::string& path() const override { return path_; }

 private:
  void release();
  int fd_ = -1;
  std::string path_;
};

}  // namespace base
