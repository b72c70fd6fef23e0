// The POSIX lock: an exclusive flock on a regular file, never through a link.
#include "base/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "base/file.h"

namespace base {

FileLock::~FileLock() { release(); }

void FileLock::release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool FileLock::take(const std::string& path, std::string& why, bool only_new, std::chrono::milliseconds wait) {
  using std::chrono::milliseconds;
  release();
  why.clear();
  path_ = path;
  // O_NOFOLLOW: a link is never followed to lock (or create) whatever it names.
  const int fd = open(
      path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | (only_new ? O_EXCL : 0), 0600);
  if (fd < 0) {
    why = path + ": " +
          (errno == EEXIST   ? "made again by another program"
           : errno == ELOOP  ? "a symbolic link, not a lock file"
           : errno == EISDIR ? "a folder, not a lock file"
                             : error_text(errno));
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    why = path + ": " + error_text(errno);
    close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    why = path + ": " + std::string(kind_of(st.st_mode)) + ", not a lock file";
    close(fd);
    return false;
  }
  // Short pauses first: another holder mostly lets go within milliseconds.
  auto pause = milliseconds(1);
  for (auto waited = milliseconds(0);; waited += pause, pause = std::min(pause * 2, milliseconds(100))) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      why = path + ": cannot be locked: " + error_text(errno);
      close(fd);
      return false;
    }
    if (waited >= wait) {
      close(fd);
      return false;
    }
    std::this_thread::sleep_for(pause);
  }
  fd_ = fd;
  return true;
}

bool FileLock::held() const {
  struct stat here, ours;
  return fd_ >= 0 && stat(path_.c_str(), &here) == 0 && fstat(fd_, &ours) == 0 && here.st_dev == ours.st_dev &&
         here.st_ino == ours.st_ino;
}

bool FileLock::renew(std::string& why) {
  const std::string path = path_;
  return make_folders(folder_of(path), why) && take(path, why, true);
}

}  // namespace base
