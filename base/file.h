// Files: does an entry of this name (or pattern) exist, every byte of one,
// and the system's words for why an operation on one failed.
#pragma once

#include <string>
#include <string_view>

namespace base {

// True when an entry matching `name` exists: a file or a directory, by a
// relative or absolute path; `*` and `?` in the last part of the path match
// any run of characters and any one character. Any thread; needs no window.
bool ISFILE(std::string_view name);

// Every byte of the file at `path`; false when it cannot be read. Any thread.
bool read_file(const std::string& path, std::string& bytes);

// The system's words for an error number ("No such file or directory"), as
// strerror gives them. Any thread.
std::string error_text(int number);

}  // namespace base
