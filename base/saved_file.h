// Files that are never seen half written: each save goes to a temporary file
// beside the target, is synced, and is renamed over it, so the target holds
// either the last whole save or the one before.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace base {

// Whether `path` may be replaced by a save: it does not exist yet, or it is a
// regular file (not a folder, device, FIFO or symbolic link). False with the
// reason in `why` ("a FIFO, not a regular file").
bool may_replace(const std::string& path, std::string& why);

// Replaces the file at `path` with `bytes` as above; with `backup` set, the
// file replaced is kept at that name (the one there before is let go). False
// with the reason in `why` ("No space left on device"; the target is then as
// it was). Any thread.
bool replace_file(const std::string& path, std::string_view bytes, std::string& why, const std::string& backup = "");

// The same with the new file's contents written by `fill` (given the new
// file, open for reading and writing) and synced by `sync`: the new file,
// still open, or -1 with the reason in `why`. Any thread.
int replace_file_open(const std::string& path, const std::function<bool(int)>& fill, std::string& why,
                      const std::string& backup = "", const std::function<int(int)>& sync = nullptr);

// Writes all of `bytes` at `at` in the file open as `fd`; false (errno set)
// when it cannot.
bool write_at(int fd, std::string_view bytes, std::uint64_t at);

}  // namespace base
