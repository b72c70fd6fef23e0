#include "base/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/file.h"

namespace base {

FileLock::~FileLock() { release(); }

void FileLock::release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool FileLock::take(const std::string& path, std::string& why, bool only_new) {
  release();
  why.clear();
  path_ = path;
  // O_NOFOLLOW: a link is never followed to lock (or create) whatever it names.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (only_new ? O_EXCL : 0),
                      0600);
  if (fd < 0) {
    why = path + ": " +
          (errno == EEXIST   ? "made again by another program"
           : errno == ELOOP  ? "a symbolic link, not a lock file"
           : errno == EISDIR ? "a folder, not a lock file"
                             : error_text(errno));
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    why = path + ": " + std::string(kind_of(st.st_mode)) + ", not a lock file";
    close(fd);
    return false;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) why = path + ": cannot be locked: " + error_text(errno);
    close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool FileLock::held() const {
  struct stat here, ours;
  return fd_ >= 0 && stat(path_.c_str(), &here) == 0 && fstat(fd_, &ours) == 0 && here.st_dev == ours.st_dev &&
         here.st_ino == ours.st_ino;
}

}  // namespace base
