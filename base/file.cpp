// The file test over POSIX: a plain lstat for a plain name, a directory scan
// with `*` / `?` matching for a pattern.
#include "base/file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace base {

namespace {

// `*` matches any run of bytes (also none), `?` exactly one; nothing else is
// special, so names with brackets or backslashes match only themselves.
bool matches(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool ISFILE(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return false;
  std::size_t slash = name.rfind('/');
  std::string_view last = slash == std::string_view::npos ? name : name.substr(slash + 1);
  if (last.find_first_of("*?") == std::string_view::npos) {
    struct stat st;
    return lstat(std::string(name).c_str(), &st) == 0;
  }
  std::string dir = slash == std::string_view::npos ? std::string(".")
                    : slash == 0                    ? std::string("/")
                                                    : std::string(name.substr(0, slash));
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  bool found = false;
  // readdir is unsafe only for two threads reading one stream; this one is ours.
  while (dirent* e = readdir(d)) {  // NOLINT(concurrency-mt-unsafe)
    if (matches(last, e->d_name)) {
      found = true;
      break;
    }
  }
  closedir(d);
  return found;
}

bool read_file(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  bytes = all.str();
  return in.good() || in.eof();
}

std::string error_text(int number) { return std::generic_category().message(number); }

const char* kind_of(unsigned mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "an unknown kind of file";
}

int open_regular(const std::string& path, int& error, std::string& why) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    error = errno;
    why = error_text(error);
  } else if (S_ISREG(st.st_mode)) {
    return fd;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
    why = error_text(error);
  } else {
    error = EINVAL;
    why = std::string(kind_of(st.st_mode)) + ", not a regular file";
  }
  if (fd >= 0) close(fd);
  return -1;
}

bool read_regular(const std::string& path, std::string& bytes, int& error, std::string& why, std::size_t most) {
  const int fd = open_regular(path, error, why);
  if (fd < 0) return false;
  bytes.clear();
  bool done = false;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      why = error_text(error);
    } else if (n > 0) {
      bytes.append(buffer, static_cast<std::size_t>(n));
      if (bytes.size() <= most) continue;
      error = 0;
      why = "larger than " + std::to_string(most) + " bytes";
    } else {
      done = true;
    }
    break;
  }
  close(fd);
  return done;
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool make_folders(const std::string& path, std::string& why) {
  for (std::size_t at = 1;; ++at) {
    at = path.find('/', at);
    const std::string part = path.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      why = part + ": " + error_text(errno);
      return false;
    }
    if (at == std::string::npos) break;
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    why = path + ": not a folder";
    return false;
  }
  return true;
}

std::string xdg_folder(const char* variable, const char* under_home, const char* name, std::string& why) {
  std::string folder;
  if (const char* base = std::getenv(variable); base && base[0] == '/')
    folder = base;
  else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
    folder = std::string(home) + "/" + under_home;
  else {
    why = std::string("neither ") + variable + " nor HOME names a folder";
    return "";
  }
  folder += std::string("/") + name;
  return make_folders(folder, why) ? folder : "";
}

}  // namespace base
