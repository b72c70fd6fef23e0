// The one place the game keeps its files through: its folders, whole files
// saved atomically, files that grow, locks, setting files aside. The POSIX
// implementation is the default; a platform that keeps files elsewhere
// chooses its own at start-up, and nothing above this needs a system call.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_lock.h"
#include "base/journal.h"

namespace base {

class Storage {
 public:
  enum class Folder {
    data,    // what the game keeps of a player: $XDG_DATA_HOME/tervalon (~/.local/share/tervalon)
    config,  // the settings: $XDG_CONFIG_HOME/tervalon (~/.config/tervalon)
  };

  Storage() = default;
  virtual ~Storage() = default;
  Storage(const Storage&) = delete;
  Storage& operator=(const Storage&) = delete;

  // The program's folder `which`, made when missing; empty with the reason
  // in `why` when there is none.
  virtual std::string folder(Folder which, std::string& why) = 0;

  // Every byte of the regular file at `path` (a FIFO or a device is never
  // waited on). False with the error number in `error` (ENOENT when there is
  // none, 0 when it holds more than `most` bytes) and its words in `why`.
  virtual bool load(const std::string& path, std::string& bytes, int& error, std::string& why,
                    std::size_t most = SIZE_MAX) = 0;
  // Whether a save may replace what is at `path`: nothing, or a regular
  // file. False with the reason in `why` ("a FIFO, not a regular file").
  virtual bool may_replace(const std::string& path, std::string& why) = 0;
  // Replaces the file at `path` with `bytes`, never leaving it missing or
  // half written; with `backup` set, the file replaced is kept at that name.
  // False with the reason in `why`, the file then as it was.
  virtual bool save(const std::string& path, std::string_view bytes, std::string& why,
                    const std::string& backup = "") = 0;
  // The same for a file the player may keep by hand: a link is followed and
  // the file it names replaced, a file the player made read-only (or may not
  // write) is left alone, and the file keeps its mode. On failure `why` is
  // "cannot be written: REASON" when it was refused, "cannot write: REASON"
  // when the save failed.
  virtual bool save_players(const std::string& path, std::string_view bytes, std::string& why) = 0;

  // A file kept as it grows (see journal.h), written on a thread of its own.
  virtual std::unique_ptr<Journal> journal(const std::string& path, Journal::Options options) = 0;

  // Takes the lock at `path` (made when missing), waiting up to `wait` for
  // another holder to let it go. Null when it is not taken: `why` is empty
  // when another holder kept it, or says why it cannot be a lock.
  virtual std::unique_ptr<Lock> lock(const std::string& path, std::string& why,
                                     std::chrono::milliseconds wait = std::chrono::milliseconds(0)) = 0;

  // Whether anything is at `path` (a link is not followed).
  virtual bool exists(const std::string& path) = 0;
  // Whether both names are one file.
  virtual bool same_file(const std::string& a, const std::string& b) = 0;
  // The names of the regular files in `folder`; none when it cannot be read.
  virtual std::vector<std::string> list(const std::string& folder) = 0;
  // Removes the file at `path`; false when it could not.
  virtual bool remove(const std::string& path) = 0;
  // Moves what is at `from` to `to`, replacing a file there; false when it
  // could not.
  virtual bool move(const std::string& from, const std::string& to) = 0;
  // Gives the file at `from` the second name `to` (which must be free).
  virtual bool link(const std::string& from, const std::string& to) = 0;

  // A name beside `path` that is free: "PATH.LABEL" or "PATH.LABEL-N".
  std::string free_name(const std::string& path, const std::string& label);
  // Moves what is at `path` to a free name beside it and returns the name;
  // empty when it could not be moved.
  std::string move_aside(const std::string& path, const std::string& label);
  // The same, the file keeping its own name too (a hard link).
  std::string link_aside(const std::string& path, const std::string& label);
};

// The storage in use: the POSIX one unless use_storage chose another. Any
// thread.
Storage& storage();
// Makes `chosen` the storage in use, for good. At start-up, before any
// thread that keeps files has started.
void use_storage(Storage& chosen);
// The POSIX storage: files under the XDG folders.
Storage& posix_storage();

}  // namespace base
