// The files a recording is saved to.
#include "game/replay/recording_files.h"

#include <algorithm>
#include <cstdio>

namespace tervalon {

void RecordingFiles::add(std::unique_ptr<base::Journal> file, const std::string& path, std::string failing,
                         bool counts) {
  targets_.push_back({std::move(file), path, std::move(failing), false, counts});
}

bool RecordingFiles::has(const std::string& path) const {
  return std::any_of(targets_.begin(), targets_.end(), [&](const Target& t) { return t.path == path; });
}

void RecordingFiles::hand(const std::string& text, std::size_t changed_from, std::size_t saved) {
  for (Target& t : targets_) {
    if (changed_from < saved)
      t.file->replace_from(changed_from, text.substr(changed_from));
    else if (text.size() > saved)
      t.file->append(text.substr(saved));
  }
}

void RecordingFiles::set_aside(const std::string& name) {
  for (Target& t : targets_)
    if (!t.counts) t.file->set_aside(name);
}

// The title is the game's own again once every save works; it keeps a
// --record file's failure, since that file was asked for.
void RecordingFiles::say_failures() {
  for (Target& t : targets_) {
    const std::string why = t.file->failure();
    if (t.said != why.empty()) continue;
    t.said = !why.empty();
    if (t.said)
      std::fprintf(stderr, "tervalon: %s; play goes on and it is tried again\n", why.c_str());
    else
      std::fprintf(stderr, "tervalon: %s is saved again\n", t.path.c_str());
    const bool record_said = std::any_of(targets_.begin(), targets_.end(),
                                         [&](const Target& o) { return o.counts && o.said && &o != &t; });
    if (!record_said) trouble_ = t.said ? t.failing + ": " + why : "";
  }
}

void RecordingFiles::flush(bool at_end) {
  for (Target& t : targets_)
    if (!t.file->flush() && at_end) {
      if (t.counts) complete_ = false;
      std::fprintf(stderr, "tervalon: %s: %s\n", t.file->failure().c_str(),
                   t.counts ? "the recording is not complete" : "progress since the last save is lost");
    }
  if (at_end) targets_.clear();
}

}  // namespace tervalon
