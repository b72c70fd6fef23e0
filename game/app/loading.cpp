// A saved journey played back before the first menu.
#include "game/app/loading.h"

#include <cerrno>
#include <cstdio>

#include "display/window.h"
#include "game/app/words.h"
#include "game/journey/saves.h"
#include "game/view/menu.h"

namespace tervalon {

namespace {

// The text of a save that plays: its whole lines. `torn` when a line was cut
// short on its way to the disk.
std::string whole_lines(std::string text, bool& torn) {
  torn = !text.empty() && text.back() != '\n';
  text.resize(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
  return text;
}

// What a fault means to the player.
std::string fault_words(const Played& p) {
  switch (p.fault) {
    case Fault::cut_short: return "it is cut short";
    case Fault::not_understood: return "it holds a line that is not a recording's (" + p.why + ")";
    case Fault::other_level_file: return "it was made on another level file";
    case Fault::other_cheat: return "it was made with the cheat marker set otherwise";
    case Fault::plays_differently: return "it plays differently on this version of the game";
    default: return p.why;
  }
}

}  // namespace

Loading::Loading(Run& journey, const Game& initial, Keeper& keeper, std::function<JourneyLog::Event(Run&)> notice)
    : r_(journey), initial_(initial), keeper_(keeper), notice_(std::move(notice)) {}

bool Loading::start() {
  base::Storage& files = base::storage();
  const std::string& path = keeper_.save_path();
  remove_stray_temporaries(path);
  // Something other than a file where the backup goes is moved aside, so
  // that backups are kept again.
  std::string why;
  if (!files.may_replace(path + ".bak", why)) {
    const std::string kept = files.move_aside(path + ".bak", "damaged");
    std::fprintf(stderr, "tervalon: %s.bak: %s; %s\n", path.c_str(), why.c_str(),
                 kept.empty() ? "it could not be moved aside" : ("kept as " + kept).c_str());
  }
  int error = 0;
  std::string text;
  const bool read = files.load(path, text, error, why);
  if (read) save_ = whole_lines(std::move(text), torn_);
  std::string backup;
  int backup_error = 0;
  bool torn_backup = false;
  if (files.load(path + ".bak", backup, backup_error, why)) backup_ = whole_lines(backup, torn_backup);
  if (!read && error == ENOENT && backup_.empty()) return false;
  missing_ = !read && error == ENOENT;
  if (!read) unreadable_ = missing_ ? "it is missing" : why.empty() ? "it cannot be read" : why;
  play(save_);
  return true;
}

void Loading::play(const std::string& text) {
  playback_ = std::make_unique<Playback>(r_.g, text, UINT64_MAX, [this](const Game&) {
    if (notice_(r_) == JourneyLog::Event::entered) entered_ = playback_->line();
  });
}

// The journey back at its start, as if nothing had been played.
void Loading::reset() {
  r_.g = initial_;
  r_.log = JourneyLog();
  r_.entry.reset();
  r_.heard = event_state(r_.g);
  notice_(r_);
  entered_ = {};
}

bool Loading::step() {
  constexpr std::uint64_t SLICE = 10000;  // frames
  if (!playback_->run(SLICE)) return false;
  const Played p = playback_->result();
  const bool nothing = r_.g.FRAME == initial_.FRAME;
  if (!on_backup_ && !saved_over(p, nothing)) return false;
  if (on_backup_ || outcome_.kind == Outcome::cannot) damaged(p, nothing);
  return true;
}

// The save has played: it goes on, or the journey it holds was finished, or
// the backup is tried (false: the backup plays next).
bool Loading::saved_over(const Played& p, bool nothing) {
  saved_ = p;
  if (!unreadable_.empty())
    saved_ = {false, false, Fault::unreadable, unreadable_, 0};
  else if (p.ok && torn_)
    saved_ = {false, false, Fault::cut_short, "", save_.size()};
  else if (p.ok && nothing && !backup_.empty())
    saved_ = {false, false, Fault::unreadable, "it is empty", 0};
  if (p.ended) {
    // A finished journey is kept as it is, and a new one begins.
    const std::string kept = keeper_.keep_finished();
    std::fprintf(stderr, "tervalon: %s: the saved journey was finished; kept as %s\n", keeper_.save_path().c_str(),
                 kept.c_str());
    const std::string time = play_time(r_.g.FRAME);
    keeper_.progress().finish(r_.g.FRAME);
    reset();
    outcome_ = {Outcome::finished,
                "",
                0,
                {"上次的旅程已经走完，用时 " + time + "，已另存。",
                 "Your last journey was finished in " + time + "; it is kept as " + keeper_.in_folder(kept) + "."},
                {}};
    return true;
  }
  if (saved_.ok) {
    if (nothing) {  // an empty save holds no journey
      reset();
      outcome_ = {};
      return true;
    }
    outcome_ = {Outcome::go_on, std::move(save_), 0, {}, entered_};
    outcome_.adopted = outcome_.text.size();
    return true;
  }
  // What replayed of the save is kept; the backup is tried from the start.
  if (r_.g.FRAME > initial_.FRAME) {
    prefix_ = std::make_unique<Game>(r_.g);
    prefix_log_ = r_.log;
    if (r_.entry) prefix_entry_ = std::make_unique<Game>(*r_.entry);
    prefix_entered_ = entered_;
  }
  outcome_.kind = Outcome::cannot;
  if (backup_.empty()) return true;
  on_backup_ = true;
  reset();
  play(backup_);
  return false;
}

// The save is damaged: the better of its backup and the part of it that
// replays goes on, written to the save at once; or nothing can.
void Loading::damaged(const Played& p, bool nothing) {
  base::Storage& files = base::storage();
  const std::string& path = keeper_.save_path();
  const std::string why = fault_words(saved_);
  const bool backup_ok = on_backup_ && p.ok && !p.ended && !nothing;
  if (!backup_ok && !prefix_) {
    const std::string kept = files.move_aside(path, "damaged");
    std::fprintf(stderr, "tervalon: %s: the saved journey cannot be continued: %s; %s\n", path.c_str(), why.c_str(),
                 kept.empty() ? "it could not be moved aside" : ("kept as " + kept).c_str());
    reset();
    outcome_ = {Outcome::cannot,
                "",
                0,
                {"存档无法继续，已另存。", "The saved journey cannot be continued: " + why + ".",
                 kept.empty() ? "It could not be moved aside." : "It was kept as " + keeper_.in_folder(kept) + "."},
                {}};
    return;
  }
  const std::string kept = missing_ ? "" : files.move_aside(path, "damaged");
  const bool from_backup = backup_ok && r_.g.FRAME >= (prefix_ ? prefix_->FRAME : 0);
  std::string text;
  if (from_backup) {
    text = std::move(backup_);
  } else {
    r_.g = *prefix_;
    r_.log = prefix_log_;
    r_.entry = std::move(prefix_entry_);
    r_.heard = event_state(r_.g);
    text = save_.substr(0, saved_.good);
    entered_ = prefix_entered_;
  }
  outcome_ = {
      Outcome::go_on,
      std::move(text),
      0,
      {from_backup ? "存档有损，从备份继续。" : "存档有损，从能重放的部分继续。",
       "The saved journey " +
           (kept.empty() ? "is missing" : "was damaged (" + why + "; kept as " + keeper_.in_folder(kept) + ")") +
           (from_backup ? ": it goes on from its backup." : ": it goes on from the part of it that replays.")},
      entered_};
  outcome_.adopted = outcome_.text.size();
  std::fprintf(stderr, "tervalon: %s: %s\n", path.c_str(), outcome_.lines.back().c_str());
  // What goes on is on disk at once, whatever the player does next.
  std::string failed;
  if (!files.save(path, outcome_.text, failed)) Keeper::say_not_saved(failed);
}

void Loading::draw(View& v, std::uint64_t now_ms) {
  if (now_ms < next_draw_) return;
  next_draw_ = now_ms + 100;
  constexpr int BAR = 20;
  const int done = static_cast<int>(playback_->progress() * BAR);
  std::string bar;
  for (int i = 0; i < BAR; ++i) bar += i < done ? "■" : "□";
  compose_frame(r_.g, v);
  draw_menu(
      r_.g, v,
      {"继续旅程", "Your journey", {bar, "正在读取存档　Esc 退出", "Reading the saved journey; Escape quits"}, {}, 0});
  display::FRESHWIN();
}

}  // namespace tervalon
