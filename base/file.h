// Files: does an entry of this name (or pattern) exist, every byte of one,
// opening only regular ones, making folders, and the system's words for why
// an operation on one failed.
#pragma once

#include <cstddef>
#include <cstdint>
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

// What a file that is not a regular one is, in words ("a FIFO", "a symbolic
// link"), from its st_mode.
const char* kind_of(unsigned mode);

// Opens `path` for reading when it is a regular file (or a link to one).
// Without ever blocking: a FIFO does not wait for a writer, and a device,
// which would never end (or never begin), is not read. The descriptor, or -1
// with the error number in `error` (EISDIR for a folder, EINVAL for another
// kind of file) and its words in `why`. Any thread.
int open_regular(const std::string& path, int& error, std::string& why);

// Every byte of `path`, opened as open_regular opens it. False with the error
// number in `error` (0 when the file is larger than `most` bytes) and the
// reason in `why` otherwise. Any thread.
bool read_regular(const std::string& path, std::string& bytes, int& error, std::string& why,
                  std::size_t most = SIZE_MAX);

// The folder `path` names a file in: "." for a plain name, "/" at the root.
std::string folder_of(const std::string& path);

// Makes the folder `path` and the folders above it that are missing (mode
// 0700: what a game keeps of a player is the player's). False with the reason
// in `why` ("PATH: Permission denied", "PATH: not a folder"). Any thread.
bool make_folders(const std::string& path, std::string& why);

// The program's folder `name` under the folder the environment variable
// `variable` names (an XDG base folder such as XDG_DATA_HOME), or under
// $HOME/`under_home` when it is unset or not absolute; made when missing.
// Empty with the reason in `why` when there is none. Any thread.
std::string xdg_folder(const char* variable, const char* under_home, const char* name, std::string& why);

}  // namespace base
