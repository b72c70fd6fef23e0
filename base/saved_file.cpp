#include "base/saved_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "base/file.h"

namespace base {

namespace {

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

bool may_replace(const std::string& path, std::string& why) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;
    why = error_text(errno);
    return false;
  }
  if (S_ISREG(st.st_mode)) return true;
  why = std::string(kind_of(st.st_mode)) + ", not a regular file";
  return false;
}

bool replace_file(const std::string& path, std::string_view bytes, std::string& why, const std::string& backup) {
  // The process id keeps two games saving beside each other apart.
  const std::string temporary = path + "." + std::to_string(getpid()) + ".tmp";
  // A new file: whatever stands at the name (a stale one, a link, a second
  // hard link of another file) is taken away, never written through.
  constexpr int NEW = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;
  int fd = open(temporary.c_str(), NEW, 0666);
  if (fd < 0 && errno == EEXIST && unlink(temporary.c_str()) == 0) fd = open(temporary.c_str(), NEW, 0666);
  bool done = fd >= 0 && write_all(fd, bytes) && fsync(fd) == 0;
  int error = errno;
  if (fd >= 0 && close(fd) != 0 && done) done = false, error = errno;
  // The backup is a second name of the file about to be replaced: no copy,
  // and the target is never missing. With nothing to replace, the backup
  // stays as it was; a file system without hard links saves without one.
  if (done && !backup.empty()) {
    const std::string fresh = backup + "." + std::to_string(getpid()) + ".tmp";
    unlink(fresh.c_str());
    if (link(path.c_str(), fresh.c_str()) == 0) rename(fresh.c_str(), backup.c_str());
  }
  if (done && rename(temporary.c_str(), path.c_str()) != 0) done = false, error = errno;
  if (!done) {
    if (fd >= 0) unlink(temporary.c_str());
    why = error_text(error);
    return false;
  }
  // The rename lasts a crash only once the folder is synced too.
  if (int folder = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}

SavedFile::SavedFile(std::string path, std::string backup)
    : path_(std::move(path)), backup_(std::move(backup)), writer_([this] { run(); }) {}

SavedFile::~SavedFile() {
  {
    std::lock_guard<std::mutex> l(lock_);
    ending_ = true;
  }
  wake_.notify_one();
  writer_.join();
}

void SavedFile::save(std::string bytes) {
  {
    std::lock_guard<std::mutex> l(lock_);
    newest_ = std::move(bytes);
    unwritten_ = true;
  }
  wake_.notify_one();
}

bool SavedFile::save_now(std::string bytes) {
  std::lock_guard<std::mutex> w(write_lock_);
  {
    std::lock_guard<std::mutex> l(lock_);
    newest_ = std::move(bytes);
  }
  return write_newest(true);
}

bool SavedFile::save_newest_now() {
  std::lock_guard<std::mutex> w(write_lock_);
  return write_newest(true);
}

std::string SavedFile::failure() const {
  std::lock_guard<std::mutex> l(lock_);
  return failure_;
}

// A save that fails is not tried again by itself: the next contents handed
// over, or a save on the owner's thread, try again.
bool SavedFile::write_newest(bool always) {
  std::string bytes;
  {
    std::lock_guard<std::mutex> l(lock_);
    if (!unwritten_ && !always) return failure_.empty();
    bytes = newest_;
    unwritten_ = false;
  }
  std::string why;
  const bool written = replace_file(path_, bytes, why, backup_);
  std::lock_guard<std::mutex> l(lock_);
  failure_ = written ? "" : path_ + ": cannot write: " + why;
  return written;
}

void SavedFile::run() {
  for (;;) {
    {
      std::unique_lock<std::mutex> l(lock_);
      wake_.wait(l, [this] { return unwritten_ || ending_; });
      if (!unwritten_) return;  // ending, with nothing left to write
    }
    std::lock_guard<std::mutex> w(write_lock_);
    write_newest(false);
  }
}

}  // namespace base
