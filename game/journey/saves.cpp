// The files beside a journey's save.
#include "game/journey/saves.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "base/file.h"

namespace tervalon {

std::string data_folder(std::string& why) { return base::xdg_folder("XDG_DATA_HOME", ".local/share", "tervalon", why); }

std::string free_name(const std::string& path, const std::string& label) {
  for (int n = 0;; ++n) {
    std::string to = path + "." + label + (n ? "-" + std::to_string(n) : "");
    struct stat st;
    if (lstat(to.c_str(), &st) != 0 || n == 999) return to;
  }
}

std::string move_aside(const std::string& path, const std::string& label) {
  const std::string to = free_name(path, label);
  return rename(path.c_str(), to.c_str()) == 0 ? to : "";
}

void remove_stray_temporaries(const std::string& path) {
  const std::string folder = base::folder_of(path);
  const std::string name = path.substr(path.rfind('/') + 1);
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  auto stray = [](std::string_view entry, std::string_view stem) {
    if (!entry.starts_with(stem) || !entry.ends_with(".tmp")) return false;
    const std::string_view pid = entry.substr(stem.size(), entry.size() - stem.size() - 4);
    return !pid.empty() && pid.find_first_not_of("0123456789") == std::string_view::npos;
  };
  while (const dirent* e = readdir(d)) {
    const std::string_view entry = e->d_name;
    struct stat st;
    const std::string full = folder + "/" + e->d_name;
    if ((stray(entry, name + ".") || stray(entry, name + ".bak.")) && lstat(full.c_str(), &st) == 0 &&
        S_ISREG(st.st_mode))
      unlink(full.c_str());
  }
  closedir(d);
}

}  // namespace tervalon
