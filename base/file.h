// The file test: does a directory entry of this name (or pattern) exist?
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

}  // namespace base
