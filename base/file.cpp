// The file test over POSIX: a plain lstat for a plain name, a directory scan
// with `*` / `?` matching for a pattern.
#include "base/file.h"

#include <dirent.h>
#include <sys/stat.h>

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

}  // namespace base
