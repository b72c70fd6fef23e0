#include "base/saved_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/file.h"

namespace base {

bool write_at(int fd, std::string_view bytes, std::uint64_t at) {
  while (!bytes.empty()) {
    const ssize_t n = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
    at += static_cast<std::uint64_t>(n);
  }
  return true;
}

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
  const int fd = replace_file_open(
      path, [&](int to) { return write_at(to, bytes, 0); }, why, backup);
  if (fd >= 0) close(fd);
  return fd >= 0;
}

int replace_file_open(const std::string& path, const std::function<bool(int)>& fill, std::string& why,
                      const std::string& backup, const std::function<int(int)>& sync) {
  // The process id keeps two games saving beside each other apart.
  const std::string temporary = path + "." + std::to_string(getpid()) + ".tmp";
  // A new file: whatever stands at the name (a stale one, a link, a second
  // hard link of another file) is taken away, never written through.
  constexpr int NEW = O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;
  int fd = open(temporary.c_str(), NEW, 0666);
  if (fd < 0 && errno == EEXIST && unlink(temporary.c_str()) == 0) fd = open(temporary.c_str(), NEW, 0666);
  bool done = fd >= 0 && fill(fd) && (sync ? sync(fd) : fsync(fd)) == 0;
  int error = errno;
  // The backup is a second name of the file about to be replaced: no copy,
  // and the target is never missing. With nothing (or no regular file) to
  // replace, the backup stays as it was; a file system without hard links
  // saves without one.
  struct stat st;
  if (done && !backup.empty() && lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    const std::string fresh = backup + "." + std::to_string(getpid()) + ".tmp";
    unlink(fresh.c_str());
    if (link(path.c_str(), fresh.c_str()) == 0 && rename(fresh.c_str(), backup.c_str()) != 0) unlink(fresh.c_str());
  }
  if (done && rename(temporary.c_str(), path.c_str()) != 0) done = false, error = errno;
  if (!done) {
    if (fd >= 0) {
      close(fd);
      unlink(temporary.c_str());
    }
    why = error_text(error);
    return -1;
  }
  // The rename lasts a crash only once the folder is synced too.
  if (int folder = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return fd;
}

}  // namespace base
