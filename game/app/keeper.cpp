// Where the journey is kept.
#include "game/app/keeper.h"

#include <cstdio>

#include "display/window.h"
#include "game/app/words.h"
#include "game/rules/level_file.h"

namespace tervalon {

void Keeper::say_not_saved(const std::string& why) {
  std::fprintf(stderr, "tervalon: progress is not being saved: %s\n", why.c_str());
  display::SETTITLE("Tervalon: progress is not being saved: " + why);
}

// A folder that cannot be written still gets its saves: each says why it
// failed, once, and the next tries again. A lock that cannot be a lock (a
// folder or a link at its name) is no lock: the game then does not save,
// and says why.
bool Keeper::open(const Game& g, bool scripts) {
  if (scripts) return false;
  std::string why;
  folder_ = base::storage().folder(base::Storage::Folder::data, why);
  if (!folder_.empty()) {
    const std::string hash = level_file_hash(g), name = folder_ + "/" + hash;
    lock_ = base::storage().lock(name + ".lock", why);
    if (lock_) {
      save_path_ = name + ".txt";
      bests_.load(folder_, g);
      progress_.load(folder_, hash);
      return true;
    }
    lock_.reset();
    why = why.empty() ? "another game is playing this level file" : why;
    folder_.clear();
  }
  say_not_saved(why);
  return false;
}

std::string Keeper::in_folder(const std::string& path) const {
  return path.substr(std::min(path.size(), folder_.size() + 1));
}

void Keeper::begin(Run& r, bool played, const std::string& note, const std::string& label) {
  if (keeps() && played) {
    const std::string aside = base::storage().free_name(save_path_, label + "-" + stamp());
    // Not saved yet in this game (a save read back): kept as it is on disk.
    if (!lock_ || base::storage().link(save_path_, aside))
      std::fprintf(stderr, "tervalon: the journey so far is kept as %s\n", aside.c_str());
    if (!lock_) r.rec.set_aside(aside);
  }
  r.rec.begin();
  if (!note.empty()) r.rec.note(note);
  if (keeps()) r.rec.keep_progress(save_path_, std::move(lock_));
}

void Keeper::go_on(Run& r) { r.rec.keep_progress(save_path_, std::move(lock_), adopted_); }

std::string Keeper::keep_finished() {
  std::string kept = base::storage().move_aside(save_path_, "finished-" + stamp());
  if (!kept.empty()) base::storage().move(save_path_ + ".bak", kept + ".bak");
  return kept;
}

void Keeper::say_unkept_bests() {
  if (const std::string why = bests_.take_failure(); !why.empty())
    std::fprintf(stderr, "tervalon: the best time cannot be kept: %s\n", why.c_str());
}

}  // namespace tervalon
