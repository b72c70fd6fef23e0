// Tidying what a killed game left beside a journey's save.
#include "game/journey/saves.h"

#include <string_view>

#include "base/file.h"
#include "base/storage.h"

namespace tervalon {

void remove_stray_temporaries(const std::string& path) {
  const std::string folder = base::folder_of(path);
  const std::string name = path.substr(path.rfind('/') + 1);
  auto stray = [](std::string_view entry, std::string_view stem) {
    if (!entry.starts_with(stem) || !entry.ends_with(".tmp")) return false;
    const std::string_view pid = entry.substr(stem.size(), entry.size() - stem.size() - 4);
    return !pid.empty() && pid.find_first_not_of("0123456789") == std::string_view::npos;
  };
  for (const std::string& entry : base::storage().list(folder))
    if (stray(entry, name + ".") || stray(entry, name + ".bak.")) base::storage().remove(folder + "/" + entry);
}

}  // namespace tervalon
