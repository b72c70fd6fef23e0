// The storage in use, and the POSIX one: the XDG folders, files saved through
// a temporary renamed over them, journals with a writer thread, flock locks.
#include "base/storage.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

#include "base/file.h"
#include "base/saved_file.h"

namespace base {

namespace {

class PosixStorage final : public Storage {
 public:
  std::string folder(Folder which, std::string& why) override {
    return which == Folder::data ? xdg_folder("XDG_DATA_HOME", ".local/share", "tervalon", why)
                                 : xdg_folder("XDG_CONFIG_HOME", ".config", "tervalon", why);
  }

  bool load(const std::string& path, std::string& bytes, int& error, std::string& why, std::size_t most) override {
    return read_regular(path, bytes, error, why, most);
  }

  bool may_replace(const std::string& path, std::string& why) override { return base::may_replace(path, why); }

  bool save(const std::string& path, std::string_view bytes, std::string& why, const std::string& backup) override {
    return replace_file(path, bytes, why, backup);
  }

  bool save_players(const std::string& path, std::string_view bytes, std::string& why) override {
    // A file kept as a link (into a folder of dotfiles) stays one: the file
    // it names is replaced, never the link.
    std::string target = path;
    std::error_code error;
    if (const std::filesystem::path real = std::filesystem::canonical(path, error); !error) target = real.string();
    // Renaming over a file needs only the folder's permission: a file the
    // player made read-only (or may not write) is left as it is.
    struct stat st;
    const bool existing = stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (existing && (st.st_mode & 0222) == 0) {
      why = "cannot be written: it is read-only";
      return false;
    }
    if (existing && access(target.c_str(), W_OK) != 0) {
      why = "cannot be written: " + error_text(errno);
      return false;
    }
    if (!base::may_replace(target, why) || !replace_file(target, bytes, why)) {
      why = "cannot write: " + why;
      return false;
    }
    // The new file is made with the default mode; the player's stays. The
    // bytes are written either way, so a failure here is not one of the save.
    if (existing) chmod(target.c_str(), st.st_mode & 07777);
    return true;
  }

  std::unique_ptr<Journal> journal(const std::string& path, Journal::Options options) override {
    return file_journal(path, std::move(options));
  }

  std::unique_ptr<Lock> lock(const std::string& path, std::string& why, std::chrono::milliseconds wait) override {
    auto taken = std::make_unique<FileLock>();
    if (!taken->take(path, why, false, wait)) return nullptr;
    return taken;
  }

  bool exists(const std::string& path) override {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
  }

  bool same_file(const std::string& a, const std::string& b) override {
    struct stat one, two;
    return stat(a.c_str(), &one) == 0 && stat(b.c_str(), &two) == 0 && one.st_dev == two.st_dev &&
           one.st_ino == two.st_ino;
  }

  std::vector<std::string> list(const std::string& folder) override {
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    if (!d) return names;
    // readdir is unsafe only for two threads reading one stream; this one is ours.
    while (const dirent* e = readdir(d)) {  // NOLINT(concurrency-mt-unsafe)
      struct stat st;
      const bool regular = e->d_type == DT_REG ||
                           (e->d_type == DT_UNKNOWN && lstat((folder + "/" + e->d_name).c_str(), &st) == 0 &&
                            S_ISREG(st.st_mode));
      if (regular) names.emplace_back(e->d_name);
    }
    closedir(d);
    return names;
  }

  bool remove(const std::string& path) override { return unlink(path.c_str()) == 0; }

  bool move(const std::string& from, const std::string& to) override {
    return std::rename(from.c_str(), to.c_str()) == 0;
  }

  bool link(const std::string& from, const std::string& to) override { return ::link(from.c_str(), to.c_str()) == 0; }
};

Storage* chosen = nullptr;

}  // namespace

std::string Storage::free_name(const std::string& path, const std::string& label) {
  for (int n = 0;; ++n) {
    std::string to = path + "." + label + (n ? "-" + std::to_string(n) : "");
    if (!exists(to) || n == 999) return to;
  }
}

std::string Storage::move_aside(const std::string& path, const std::string& label) {
  std::string to = free_name(path, label);
  return move(path, to) ? to : "";
}

std::string Storage::link_aside(const std::string& path, const std::string& label) {
  std::string to = free_name(path, label);
  return link(path, to) ? to : "";
}

Storage& posix_storage() {
  static PosixStorage posix;
  return posix;
}

Storage& storage() { return chosen ? *chosen : posix_storage(); }

void use_storage(Storage& storage) { chosen = &storage; }

}  // namespace base
