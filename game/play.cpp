// The main loop. A game is played by the player, or by --play scripts first;
// every game is recorded as it goes (the journey's progress, and --record),
// and a menu, when open, stops the game clock: frames and recordings are
// exactly what they would be without it.
#include "game/play.h"

#include <unistd.h>
#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "base/file.h"
#include "base/file_lock.h"
#include "base/saved_file.h"
#include "base/stop.h"
#include "display/clock.h"
#include "display/queue.h"
#include "display/window.h"
#include "game/journey/bests.h"
#include "game/replay/events.h"
#include "game/journey/log.h"
#include "game/journey/saves.h"
#include "game/replay/playback.h"
#include "game/replay/player.h"
#include "game/replay/recorder.h"
#include "game/rules/level_start.h"
#include "game/rules/rules.h"
#include "game/view/guide.h"
#include "game/view/menu.h"
#include "game/view/window_setup.h"

namespace tervalon {

namespace {
// The game ended as it should but its recording could not be written whole.
constexpr int RECORDING_INCOMPLETE = 3;

// The most frames run at once to catch up after a stall: a quarter of a
// second. A longer stall (the process stopped, a machine swapping) is passed
// over as a pause is, not sprinted through blind.
constexpr std::uint64_t MOST_CAUGHT_UP = 15;

// How long a new best is shown, in frames.
constexpr std::uint64_t NOTE_FRAMES = 180;

// The frames due on the game clock: frame FRAME + 1 is due once the clock
// passes FRAME / 60 seconds. The clock is read to the nanosecond, so frames
// start on an even beat of 60 a second rather than on the next whole
// millisecond (16, 17, 17 ms apart).
std::uint64_t frames_due(const Game& g, double game_ms) {
  std::uint64_t n = 0;
  while (game_ms > frame_ms(g.FRAME + n)) ++n;
  return n;
}

std::string play_time(std::uint64_t frames) {
  const std::uint64_t s = frames / 60;
  char text[32];
  std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", static_cast<unsigned long long>(s / 3600),
                static_cast<unsigned long long>(s / 60 % 60), static_cast<unsigned long long>(s % 60));
  return text;
}

// Bests are written on a thread of their own: what failed is said here.
void say_unkept_bests(Bests& bests) {
  if (const std::string why = bests.take_failure(); !why.empty())
    std::fprintf(stderr, "tervalon: the best time cannot be kept: %s\n", why.c_str());
}

// A name's time of day, for the files a journey is kept aside as.
std::string stamp() { return utc_now("%Y%m%d-%H%M%S"); }

// A level and pass in both languages.
std::string level_zh(const Entry& e) {
  return e.level == 0 ? "起点" : "第" + std::to_string(e.level) + "关" + (e.pass == 2 ? "（回程）" : "（去程）");
}
std::string level_en(const Entry& e) {
  return e.level == 0 ? "the hub" : "level " + std::to_string(e.level) + (e.pass == 2 ? " back" : " forward");
}

const std::string KEYS_ZH = "←→ 跑　↑ 跳　R 重来本关　P 暂停　Esc 退出";
const std::string KEYS_EN = "Left/Right run, Up jump, R restart level, P pause, Esc quit";

// A game being played, the journey or a practice, with its recording and
// what it has done so far.
struct Run {
  explicit Run(Game& game) : g(game), rec(game), heard(event_state(game)) {}
  Game& g;
  Recorder rec;
  JourneyLog log;
  std::unique_ptr<Game> entry;  // the state when the current level became playable
  EventState heard;             // the state the last sounds were told from
};

class Session {
 public:
  Session(Game& g, const Options& o, SettingsFile* settings, const Platform* platform)
      : o_(o),
        journey_(g),
        player_(g, journey_.rec, [this] { seen(journey_); }),
        pace_(o.pace / 100.0),
        settings_(settings),
        platform_(platform) {}
  int run();

 private:
  Run& live() { return practice_ ? *practice_ : journey_; }
  void open_progress();
  void find_save();
  void load_step();
  void loaded();
  void continue_with(std::string text, std::uint64_t adopted, const std::vector<std::string>& said, TextMark entered);
  void cannot_continue(const std::string& why);
  std::string keep_finished();
  void say_not_saved(const std::string& why);
  std::string in_folder(const std::string& path) const {
    return path.substr(std::min(path.size(), folder_.size() + 1));
  }
  void play_step();
  void on_message(const display::MSG& m);
  void seen(Run& r);
  void draw();
  void restart_clock();
  void sound(Sound s) const;
  double game_clock_ms() const;
  void note_pace(Run& r);
  void reached_end();

  void reset_journey();
  void new_journey();
  void restart_level();
  void hold_keys(Run& r, bool left, bool right, bool up);
  void start_practice(const Entry& e);
  void leave_practice(const std::string& result);

  struct Choice {
    MenuItem item;
    std::function<void()> act;
  };
  void open_menu(Menu m, std::vector<Choice> choices, std::function<void()> back);
  void menu_message(const display::MSG& m);
  void choose(std::size_t i);
  void start_menu(const std::vector<std::string>& lines, bool resumable);
  void pause_menu();
  void practice_menu(const std::vector<std::string>& lines);
  void settings_menu(std::size_t selected, std::vector<std::string> lines);
  std::optional<Choice> settings_choice(std::function<void()> back);
  void apply_settings(const Settings& s);
  void rebind(const display::MSG& m);
  void ending();
  std::vector<std::string> best_lines();

  Options o_;  // the settings screen changes some for the run
  View v_;
  Run journey_;
  Player player_;
  std::unique_ptr<Game> initial_;  // the journey's start, for a new one and for practice
  std::unique_ptr<Game> practice_game_;
  std::unique_ptr<Run> practice_;
  bool replaying_ = false;  // a saved run is being played back: nothing new happens in it
  bool was_fed_ = false;    // --play scripts fed the game on the last pass
  bool finished_ = false;   // the player reached the end cell
  double shift_ = 0;        // ms by which the game clock is ahead of game_clock_ms()
  double pace_;             // the game clock's rate: 1 at 60 frames a second
  bool tab_held_ = false;
  bool muted_ = false;
  std::string folder_, save_path_;
  std::unique_ptr<base::FileLock> lock_;  // held from the start, then by the journey's save
  std::uint64_t adopted_ = 0;             // bytes of the save on disk the journey continues

  // A saved journey being played back in slices before the first menu: the
  // save, then, when it is damaged, its backup; the longer of the backup and
  // the part of the save that replays is continued.
  struct Loading {
    std::string save, backup;  // their texts (whole lines only)
    bool torn = false;         // the save's last line was cut short
    std::string unreadable;    // why the save cannot be read, if so
    bool missing = false;      // there is no save, only its backup
    bool on_backup = false;    // the backup is being played
    std::unique_ptr<Playback> playback;
    Played saved;  // how the save played
    // The journey after the part of the save that replays, when it played any.
    std::unique_ptr<Game> prefix, prefix_entry;
    JourneyLog prefix_log;
    std::uint64_t next_draw = 0;       // GETTIME of the next progress picture
    TextMark entered, prefix_entered;  // where the playback last entered a level
  };
  std::optional<Loading> loading_;
  Bests bests_;
  std::string note_;  // shown over the game until frame note_until_
  std::uint64_t note_until_ = 0;

  struct Open {
    Menu menu;
    std::vector<Choice> choices;
    std::function<void()> back;
  };
  std::optional<Open> menu_;
  std::function<void()> practice_back_;  // the menu practice was chosen in
  std::function<void()> settings_back_;  // the menu settings were chosen in
  std::optional<std::size_t> capture_;   // the action whose new key the next key press is
  SettingsFile* settings_;
  const Platform* platform_;
  bool menu_drawn_ = false;
};

int Session::run() {
  if (!player_.read(o_.play, o_.speed) || !journey_.rec.open(o_.record)) return 2;
  Game& g = journey_.g;
  INITWIN(g, v_, o_.scale, o_.fullscreen, o_.fit);
  INITLV(g);
  if (platform_ && platform_->mute) {
    platform_->volume(o_.volume);
    platform_->mute(muted_ = o_.mute);
  }
  initial_ = std::make_unique<Game>(g);
  journey_.heard = event_state(g);  // the level's start is no event
  seen(journey_);
  open_progress();
  was_fed_ = player_.playing();
  for (;;) {
    // A signal or a lost display: end as Escape does, recording included.
    if (base::stop_requested()) break;
    if (loading_) {
      load_step();
      if (!display::ISWIN()) break;
      continue;
    }
    if (player_.playing()) {  // a --play script feeds the game instead of the keyboard
      if (display::ISNEXTMSG() && display::MS.MESSAGE == WM_KEYDOWN && display::MS.WPARAM == K_ESC) break;
      const Player::Turn t = player_.step(display::GETTIME());
      using P = Player::Turn::Picture;
      if (t.picture == P::show) DRAWALL(g, v_);
      if (t.picture == P::compose) compose_frame(g, v_);
      if (t.picture == P::show_last) display::FRESHWIN();
      if (!t.mismatch.empty()) display::SETTITLE("Tervalon: " + t.mismatch);
      if (t.ended) break;
      if (t.due_ms > static_cast<double>(display::GETTIME()))
        display::wait_message(static_cast<std::uint32_t>(std::min(t.due_ms - static_cast<double>(display::GETTIME()), 1000.0)));
      continue;
    }
    if (was_fed_) {
      was_fed_ = false;
      restart_clock();  // the next frame is due 1/60 s after the played one
    }
    if (menu_) {
      if (!menu_drawn_) {
        compose_frame(live().g, v_);
        draw_menu(live().g, v_, menu_->menu);
        menu_drawn_ = true;
      }
      if (display::ISNEXTMSG())
        menu_message(display::MS);
      else
        display::wait_message(100);
    } else {
      play_step();
    }
    if (!display::ISWIN()) break;
  }
  practice_.reset();
  journey_.rec.end();
  bests_.flush();
  say_unkept_bests(bests_);
  if (finished_ && !save_path_.empty()) keep_finished();
  if (base::stop_requested()) base::end_as_asked();
  return journey_.rec.complete() ? 0 : RECORDING_INCOMPLETE;
}

// ---- The journey's progress ----

void Session::say_not_saved(const std::string& why) {
  std::fprintf(stderr, "tervalon: progress is not being saved: %s\n", why.c_str());
  display::SETTITLE("Tervalon: progress is not being saved: " + why);
}

// Where the journey is kept, unless scripts play (they are not the player's
// journey) or another game keeps it. A folder that cannot be written still
// gets its saves: each says why it failed, once, and the next tries again. A
// lock that cannot be a lock (a folder or a link at its name) is no lock: the
// game then does not save, and says why.
void Session::open_progress() {
  std::string why;
  if (o_.play.empty()) folder_ = data_folder(why);
  if (!folder_.empty()) {
    const std::string name = folder_ + "/" + level_file_hash(journey_.g);
    lock_ = std::make_unique<base::FileLock>();
    if (lock_->take(name + ".lock", why)) {
      save_path_ = name + ".txt";
      bests_.load(folder_, journey_.g);
      find_save();
      return;
    }
    lock_.reset();
    why = why.empty() ? "another game is playing this level file" : why;
    folder_.clear();
  }
  if (o_.play.empty()) say_not_saved(why);
  journey_.rec.begin();
  note_pace(journey_);
}

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

// A saved run is played back in slices with the window open, before the
// first menu, so that the menu knows where it ends.
void Session::find_save() {
  remove_stray_temporaries(save_path_);
  // Something other than a file where the backup goes is moved aside, so
  // that backups are kept again.
  std::string why;
  if (!base::may_replace(save_path_ + ".bak", why)) {
    const std::string kept = move_aside(save_path_ + ".bak", "damaged");
    std::fprintf(stderr, "tervalon: %s.bak: %s; %s\n", save_path_.c_str(), why.c_str(),
                 kept.empty() ? "it could not be moved aside" : ("kept as " + kept).c_str());
  }
  Loading l;
  int error = 0;
  std::string text;
  const bool read = base::read_regular(save_path_, text, error, why);
  if (read) l.save = whole_lines(std::move(text), l.torn);
  std::string backup;
  int backup_error = 0;
  bool torn_backup = false;
  if (base::read_regular(save_path_ + ".bak", backup, backup_error, why)) l.backup = whole_lines(backup, torn_backup);
  if (!read && error == ENOENT && l.backup.empty()) {
    new_journey();
    return;
  }
  l.missing = !read && error == ENOENT;
  if (!read) l.unreadable = l.missing ? "it is missing" : why.empty() ? "it cannot be read" : why;
  l.playback = std::make_unique<Playback>(journey_.g, l.save, UINT64_MAX, [this](const Game&) { seen(journey_); });
  loading_ = std::move(l);
  load_step();
}

// A slice of playback (about 15 ms), the progress shown ten times a second;
// Escape, the close button and a signal end the game at once, the save
// untouched.
void Session::load_step() {
  constexpr std::uint64_t SLICE = 10000;  // frames
  Loading& l = *loading_;
  replaying_ = true;
  const bool over = l.playback->run(SLICE);
  replaying_ = false;
  if (over) return loaded();
  while (display::ISNEXTMSG())
    if (display::MS.MESSAGE == WM_KEYDOWN && display::MS.WPARAM == K_ESC) return display::CLOSEWIN();
  if (display::GETTIME() < l.next_draw) return;
  l.next_draw = display::GETTIME() + 100;
  constexpr int BAR = 20;
  const int done = static_cast<int>(l.playback->progress() * BAR);
  std::string bar;
  for (int i = 0; i < BAR; ++i) bar += i < done ? "■" : "□";
  compose_frame(journey_.g, v_);
  draw_menu(
      journey_.g, v_,
      {"继续旅程", "Your journey", {bar, "正在读取存档　Esc 退出", "Reading the saved journey; Escape quits"}, {}, 0});
}

// One playback is over: the save played whole, or its backup is tried, or
// the better of what could be played is continued.
void Session::loaded() {
  Loading& l = *loading_;
  const Played p = l.playback->result();
  const bool nothing = journey_.g.FRAME == initial_->FRAME;
  if (!l.on_backup) {
    l.saved = p;
    if (!l.unreadable.empty())
      l.saved = {false, false, Fault::unreadable, l.unreadable, 0};
    else if (p.ok && l.torn)
      l.saved = {false, false, Fault::cut_short, "", l.save.size()};
    else if (p.ok && nothing && !l.backup.empty())
      l.saved = {false, false, Fault::unreadable, "it is empty", 0};
    if (p.ended) {
      // A finished journey is kept as it is, and a new one begins.
      const std::string kept = keep_finished();
      loading_.reset();
      std::fprintf(stderr, "tervalon: %s: the saved journey was finished; kept as %s\n", save_path_.c_str(),
                   kept.c_str());
      reset_journey();
      start_menu(
          {"上次的旅程已经走完，已另存。", "Your last journey was finished; it is kept as " + in_folder(kept) + "."},
          false);
      return;
    }
    if (l.saved.ok) {
      if (nothing) {  // an empty save holds no journey
        loading_.reset();
        reset_journey();
        return new_journey();
      }
      std::string text = std::move(l.save);
      const std::uint64_t size = text.size();
      const TextMark entered = l.entered;
      loading_.reset();
      return continue_with(std::move(text), size, {}, entered);
    }
    // What replayed of the save is kept; the backup is tried from the start.
    if (journey_.g.FRAME > initial_->FRAME) {
      l.prefix = std::make_unique<Game>(journey_.g);
      l.prefix_log = journey_.log;
      if (journey_.entry) l.prefix_entry = std::make_unique<Game>(*journey_.entry);
      l.prefix_entered = l.entered;
    }
    if (!l.backup.empty()) {
      l.on_backup = true;
      reset_journey();
      journey_.entry.reset();
      l.playback = std::make_unique<Playback>(journey_.g, l.backup, UINT64_MAX,
                                              [this](const Game&) { seen(journey_); });
      return;
    }
  }
  const std::string why = fault_words(l.saved);
  const bool backup_ok = l.on_backup && p.ok && !p.ended && !nothing;
  const std::uint64_t prefix_frame = l.prefix ? l.prefix->FRAME : 0;
  if (!backup_ok && !l.prefix) {
    loading_.reset();
    return cannot_continue(why);
  }
  const std::string kept = l.missing ? "" : move_aside(save_path_, "damaged");
  const bool from_backup = backup_ok && journey_.g.FRAME >= prefix_frame;
  std::string text;
  if (from_backup) {
    text = std::move(l.backup);
  } else {
    journey_.g = *l.prefix;
    journey_.log = l.prefix_log;
    journey_.entry = std::move(l.prefix_entry);
    journey_.heard = event_state(journey_.g);
    text = l.save.substr(0, l.saved.good);
    l.entered = l.prefix_entered;
  }
  const std::vector<std::string> said{
      from_backup ? "存档有损，从备份继续。" : "存档有损，从能重放的部分继续。",
      "The saved journey " +
          (kept.empty() ? "is missing" : "was damaged (" + why + "; kept as " + in_folder(kept) + ")") +
          (from_backup ? ": it goes on from its backup." : ": it goes on from the part of it that replays.")};
  const TextMark entered = l.entered;
  loading_.reset();
  std::fprintf(stderr, "tervalon: %s: %s\n", save_path_.c_str(), said.back().c_str());
  // What goes on is on disk at once, whatever the player does next.
  std::string failed;
  if (!base::replace_file(save_path_, text, failed)) say_not_saved(failed);
  const std::uint64_t size = text.size();
  continue_with(std::move(text), size, said, entered);
}

// The journey goes on from the end of `text`, of which the save holds the
// first `adopted` bytes; the start menu says where it is.
void Session::continue_with(std::string text, std::uint64_t adopted, const std::vector<std::string>& said,
                            TextMark entered) {
  adopted_ = adopted;
  journey_.rec.continue_from(std::move(text), initial_->FRAME);
  journey_.rec.mark(entered);
  note_pace(journey_);
  const Entry& at = journey_.log.current();
  std::vector<std::string> lines = said;
  lines.push_back("上次到了" + level_zh(at) + "，用时 " + play_time(journey_.g.FRAME));
  lines.push_back("You were at " + level_en(at) + ", " + play_time(journey_.g.FRAME) + " played");
  start_menu(lines, true);
}

// A finished journey is kept aside whole, its backup with it: the next
// start is a new journey, never an older part of the finished one.
std::string Session::keep_finished() {
  std::string kept = move_aside(save_path_, "finished-" + stamp());
  if (!kept.empty()) rename((save_path_ + ".bak").c_str(), (kept + ".bak").c_str());
  return kept;
}

void Session::cannot_continue(const std::string& why) {
  const std::string kept = move_aside(save_path_, "damaged");
  std::fprintf(stderr, "tervalon: %s: the saved journey cannot be continued: %s; %s\n", save_path_.c_str(), why.c_str(),
               kept.empty() ? "it could not be moved aside" : ("kept as " + kept).c_str());
  reset_journey();
  start_menu({"存档无法继续，已另存。", "The saved journey cannot be continued: " + why + ".",
              kept.empty() ? "It could not be moved aside." : "It was kept as " + in_folder(kept) + "."},
             false);
}

// The journey back at its start, as if nothing had been played.
void Session::reset_journey() {
  journey_.g = *initial_;
  journey_.log = JourneyLog();
  journey_.heard = event_state(journey_.g);
  seen(journey_);
}

// A journey that was played is kept aside as a recording, never replaced:
// a new one is never more than two keys away, and neither is the old one.
void Session::new_journey() {
  if (!save_path_.empty() && journey_.g.FRAME > initial_->FRAME) {
    const std::string aside = free_name(save_path_, "replaced-" + stamp());
    // Not saved yet in this game (a save read back): kept as it is on disk.
    if (!lock_ || link(save_path_.c_str(), aside.c_str()) == 0)
      std::fprintf(stderr, "tervalon: the journey so far is kept as %s\n", aside.c_str());
    if (!lock_) journey_.rec.set_aside(aside);
  }
  reset_journey();
  journey_.rec.begin();
  note_pace(journey_);
  if (!save_path_.empty()) journey_.rec.keep_progress(save_path_, std::move(lock_));
}

// ---- Play ----

void Session::sound(Sound s) const {
  if (platform_ && platform_->sound) platform_->sound(static_cast<std::uint32_t>(s));
}

void Session::restart_clock() { shift_ = frame_ms(live().g.FRAME) - game_clock_ms(); }

// A recording says how fast it was played; it plays back the same at any
// speed.
void Session::note_pace(Run& r) {
  if (o_.pace != 100) r.rec.note("# played at " + std::to_string(o_.pace) + "% speed");
}

// The display clock in game milliseconds: slower play stretches every frame,
// never changes what a frame does.
double Session::game_clock_ms() const { return display::GETTIMER() * 1000.0 * pace_; }

void Session::play_step() {
  Run& r = live();
  const double game_ms = game_clock_ms() + shift_;
  std::uint64_t due = frames_due(r.g, game_ms);
  if (due > MOST_CAUGHT_UP) {
    shift_ -= game_ms - frame_ms(r.g.FRAME + MOST_CAUGHT_UP);
    due = MOST_CAUGHT_UP;
  }
  if (due > 0) {
    // Catch up in whole frames after a stall, then draw once.
    const Pass p = frame_pass(r.g, due);
    if (p.drawn) draw();
    r.rec.pass(p.frames);
    seen(r);  // may end a practice and open its menu
    if (p.end && !menu_) reached_end();
    say_unkept_bests(bests_);
  }
  if (menu_) return;
  if (display::ISNEXTMSG()) {
    on_message(display::MS);
  } else if (due == 0 && display::ISWIN()) {
    // Nothing to do until the next frame is due or a key arrives: sleep
    // until exactly then rather than spin.
    display::wait_message_until((frame_ms(r.g.FRAME) - shift_) / pace_ / 1000.0);
  }
}

void Session::draw() {
  Run& r = live();
  const bool guide = o_.guide || tab_held_;
  if (note_.empty() && !guide) {
    DRAWALL(r.g, v_);
    return;
  }
  compose_frame(r.g, v_);
  if (guide) draw_guide(r.g, v_);
  if (!note_.empty()) draw_note(r.g, v_, note_);
  if (r.g.FRAME >= note_until_) note_.clear();
}

void Session::on_message(const display::MSG& m) {
  Run& r = live();
  if (m.MESSAGE == WM_KEYDOWN) {
    const bool playing = r.g.PAUSE == 0;
    // The quitting key is never recorded, nor given to the game: the
    // recording ends where play ended.
    if (m.WPARAM == K_ESC) {
      if (practice_)
        leave_practice("");
      else
        display::CLOSEWIN();
      return;
    }
    if (playing && (m.WPARAM == K_P || m.WPARAM == K_PAUSE)) {
      pause_menu();
      return;
    }
    if (playing && m.WPARAM == K_R) {
      restart_level();
      return;
    }
  }
  // M turns sound off and on: the player's business, never recorded.
  if (m.MESSAGE == WM_KEYDOWN && m.WPARAM == K_M) {
    if (platform_ && platform_->mute) platform_->mute(muted_ = !muted_);
    return;
  }
  // The guide shows while Tab is held; it is the window's business, not the
  // game's, and never recorded.
  if ((m.MESSAGE == WM_KEYDOWN || m.MESSAGE == WM_KEYUP) && m.WPARAM == K_TAB) {
    if (tab_held_ != (m.MESSAGE == WM_KEYDOWN)) {
      tab_held_ = m.MESSAGE == WM_KEYDOWN;
      draw();
    }
    return;
  }
  r.rec.message(m.MESSAGE, m.WPARAM);
  handle_message(r.g, m.MESSAGE, m.WPARAM);
  seen(r);
}

void Session::seen(Run& r) {
  // Sounds come from what the state did, never from inside the rules; a
  // saved run being played back is silent.
  const EventState now = event_state(r.g);
  if (const std::uint32_t events = events_between(r.heard, now, false); events && !replaying_)
    for (std::uint32_t i = 0; i < SOUND_COUNT; ++i)
      if (events >> i & 1) sound(static_cast<Sound>(i));
  r.heard = now;
  const JourneyLog::Event e = r.log.see(r.g);
  if (e == JourneyLog::Event::entered) {
    if (r.entry)
      *r.entry = r.g;
    else
      r.entry = std::make_unique<Game>(r.g);
    r.rec.mark();
    if (loading_) loading_->entered = loading_->playback->line();
  }
  if (e != JourneyLog::Event::left || replaying_) return;
  const Entry& at = r.log.current();
  std::string result;
  // Runs played with the cheat marker or slower than full speed, and games
  // whose bests cannot be kept, set none.
  if (at.level > 0) {
    const std::uint64_t before = bests_.best(at.level, at.pass);
    const bool best = !r.g.CHEAT && !folder_.empty() && o_.pace == 100 &&
                      bests_.offer(at.level, at.pass, r.log.left_frames(), r.rec.text());
    if (best) {
      note_ = "新纪录 New best: " + level_en(at) + ", " + seconds(r.log.left_frames());
      note_until_ = r.g.FRAME + NOTE_FRAMES;
    }
    result = (best ? "新纪录 New best! " : "") + level_zh(at) + " " + seconds(r.log.left_frames()) + "　" +
             level_en(at) + ": " + seconds(r.log.left_frames()) + (before ? ", best before " + seconds(before) : "");
  }
  if (&r != &journey_) leave_practice(result);
}

void Session::reached_end() {
  if (practice_) {
    leave_practice("");
    return;
  }
  finished_ = true;
  sound(Sound::journey_end);
  ending();
}

void Session::restart_level() {
  Run& r = live();
  if (!r.entry) return;
  const std::int8_t held_left = r.g.KL, held_right = r.g.KR, held_up = r.g.KU;
  const std::uint64_t from = r.g.FRAME;
  r.g = *r.entry;
  r.rec.rewind(r.g.FRAME, "# " + level_en(r.log.current()) + " restarted at frame " + std::to_string(from) +
                              "; what was played since:");
  r.log.resync(r.g);
  r.heard = event_state(r.g);
  hold_keys(r, held_left != 0, held_right != 0, held_up != 0);
  DRAWALL(r.g, v_);
  restart_clock();
}

// The game's keys become the ones held now, as recorded key messages; a
// held jump key does not jump again.
void Session::hold_keys(Run& r, bool left, bool right, bool up) {
  auto key = [&](std::int32_t k, bool held, bool was_held) {
    if (held == was_held) return;
    const std::uint32_t message = held ? WM_KEYDOWN : WM_KEYUP;
    r.rec.message(message, k);
    handle_message(r.g, message, k);
  };
  key(K_LEFT, left, r.g.KL != 0);
  key(K_RIGHT, right, r.g.KR != 0);
  if (!up) key(K_UP, false, r.g.KU != 0);
}

void Session::start_practice(const Entry& e) {
  practice_game_ = std::make_unique<Game>(*initial_);
  std::string text = journey_.rec.text();
  play_through(*practice_game_, text, e.frame);
  split_at_frame(text, e.frame - initial_->FRAME);
  practice_ = std::make_unique<Run>(*practice_game_);
  practice_->rec.continue_from(std::move(text), initial_->FRAME);
  note_pace(*practice_);
  practice_->rec.note("# practice of " + level_en(e));
  seen(*practice_);
  DRAWALL(practice_->g, v_);
  restart_clock();
}

void Session::leave_practice(const std::string& result) {
  note_.clear();  // a practice's note says nothing of the journey
  practice_.reset();
  practice_game_.reset();
  std::vector<std::string> lines;
  if (!result.empty()) lines.push_back(result);
  practice_menu(lines);
}

// ---- Menus ----

void Session::open_menu(Menu m, std::vector<Choice> choices, std::function<void()> back) {
  for (const Choice& c : choices) m.items.push_back(c.item);
  menu_ = Open{std::move(m), std::move(choices), std::move(back)};
  menu_drawn_ = false;
}

// The choice runs once the menu is gone (it may open another one); the game
// clock then goes on from the frame shown, as if no time had passed.
void Session::choose(std::size_t i) {
  capture_.reset();
  const std::function<void()> act = i < menu_->choices.size() ? menu_->choices[i].act : menu_->back;
  menu_.reset();
  if (act) act();
  if (menu_ || !display::ISWIN()) return;
  DRAWALL(live().g, v_);
  restart_clock();
}

void Session::menu_message(const display::MSG& m) {
  Menu& menu = menu_->menu;
  const std::size_t n = menu.items.size();
  // Key-ups of the game's keys still reach it, so that a key let go while
  // a menu is open is not held on afterwards.
  if (m.MESSAGE == WM_KEYUP && (m.WPARAM == K_LEFT || m.WPARAM == K_RIGHT || m.WPARAM == K_UP)) {
    Run& r = live();
    if ((m.WPARAM == K_LEFT && r.g.KL) || (m.WPARAM == K_RIGHT && r.g.KR) || (m.WPARAM == K_UP && r.g.KU)) {
      r.rec.message(m.MESSAGE, m.WPARAM);
      handle_message(r.g, m.MESSAGE, m.WPARAM);
    }
    return;
  }
  if (n == 0 && m.MESSAGE == WM_LBUTTONUP) return choose(0);
  if (m.MESSAGE == WM_MOUSEMOVE || m.MESSAGE == WM_LBUTTONUP) {
    const int at = menu_item_at(live().g, menu, mouse_x(m.LPARAM), mouse_y(m.LPARAM));
    if (at < 0) return;
    if (m.MESSAGE == WM_LBUTTONUP) return choose(static_cast<std::size_t>(at));
    if (static_cast<std::size_t>(at) != menu.selected)
      menu.selected = static_cast<std::size_t>(at), menu_drawn_ = false;
    return;
  }
  if (m.MESSAGE != WM_KEYDOWN) return;
  if (capture_) return rebind(m);
  // Menus go by the key as pressed: the arrows move whatever the game's keys
  // are bound to (a message made without one goes by its code).
  const std::int32_t pressed = pressed_key(m.LPARAM) ? pressed_key(m.LPARAM) : m.WPARAM;
  // A key held since before the menu opened repeats: it chooses nothing.
  const bool repeat = (static_cast<std::uint32_t>(m.LPARAM) >> 30 & 1) != 0;
  const bool up = pressed == K_UP || pressed == K_PAD_UP, down = pressed == K_DOWN || pressed == K_PAD_DOWN;
  if (repeat && !up && !down) return;
  if (n > 0 && (pressed == K_ENTER || pressed == K_SPACE || pressed == K_PAD_A || pressed == K_PAD_START))
    return choose(menu.selected);
  // The menu's way back; the pause key leaves only the pause menu.
  if (n == 0 || m.WPARAM == K_ESC || pressed == K_PAD_B || (!menu_->back && (m.WPARAM == K_P || m.WPARAM == K_PAUSE)))
    return choose(n);
  if (up) menu.selected = (menu.selected + n - 1) % n;
  if (down) menu.selected = (menu.selected + 1) % n;
  menu_drawn_ = false;
}

void Session::start_menu(const std::vector<std::string>& lines, bool resumable) {
  Menu m{"继续旅程", "Your journey", lines, {}, 0};
  std::vector<Choice> choices;
  auto quit = [] { display::CLOSEWIN(); };
  if (resumable)
    choices.push_back({{"继续", "Continue"}, [this] {
                         journey_.rec.keep_progress(save_path_, std::move(lock_), adopted_);
                         hold_keys(journey_, false, false, false);  // the keys held when it was left are not
                       }});
  choices.push_back({{"新的旅程", "New journey"}, [this] { new_journey(); }});
  if (resumable)
    choices.push_back({{"练习", "Practice"}, [this, lines] {
                         practice_back_ = [this, lines] { start_menu(lines, true); };
                         practice_menu({});
                       }});
  if (auto c = settings_choice([this, lines, resumable] { start_menu(lines, resumable); })) choices.push_back(*c);
  choices.push_back({{"退出", "Quit"}, quit});
  open_menu(std::move(m), std::move(choices), quit);
}

void Session::pause_menu() {
  Menu m{"暂停", "Paused", {KEYS_ZH, KEYS_EN}, {}, 0};
  std::vector<Choice> choices{{{"继续", "Resume"}, nullptr},
                              {{"重来本关", "Restart level"}, [this] { restart_level(); }}};
  if (practice_) {
    choices.push_back({{"结束练习", "Leave practice"}, [this] { leave_practice(""); }});
  } else {
    choices.push_back({{"重新开始旅程", "Restart the journey"}, [this] { new_journey(); }});
    choices.push_back({{"练习", "Practice"}, [this] {
                         practice_back_ = [this] { pause_menu(); };
                         practice_menu({});
                       }});
  }
  if (auto c = settings_choice([this] { pause_menu(); })) choices.push_back(*c);
  choices.push_back({{"退出", "Quit"}, [] { display::CLOSEWIN(); }});
  open_menu(std::move(m), std::move(choices), nullptr);
}

void Session::practice_menu(const std::vector<std::string>& lines) {
  Menu m{"练习", "Practice", lines, {}, 0};
  std::vector<Choice> choices;
  for (const Entry& e : journey_.log.reached()) {
    if (e.level == 0) continue;
    const std::uint64_t best = bests_.best(e.level, e.pass);
    const std::string time = best ? "　" + seconds(best) : "";
    choices.push_back({{level_zh(e) + time, level_en(e) + time}, [this, e] { start_practice(e); }});
  }
  if (choices.empty()) m.lines.push_back("还没有到过任何一关。 No level reached yet.");
  choices.push_back({{"返回", "Back"}, practice_back_});
  open_menu(std::move(m), std::move(choices), practice_back_);
}

std::vector<std::string> Session::best_lines() {
  std::vector<std::string> lines;
  for (const Entry& e : journey_.log.reached())
    if (const std::uint64_t best = e.level > 0 ? bests_.best(e.level, e.pass) : 0)
      lines.push_back(level_zh(e) + " " + seconds(best) + "　" + level_en(e) + ": " + seconds(best));
  return lines;
}

void Session::ending() {
  const JourneyLog& log = journey_.log;
  std::vector<std::string> lines{
      "用时 " + play_time(journey_.g.FRAME) + "　Play time " + play_time(journey_.g.FRAME),
      "被影子倒回 " + std::to_string(log.rewinds()) + " 次　Rewinds by ghosts: " + std::to_string(log.rewinds()),
      "抓到影子 " + std::to_string(log.caught()) + " 个　Ghosts caught: " + std::to_string(log.caught())};
  for (std::string& l : best_lines()) lines.push_back(std::move(l));
  lines.push_back("按任意键结束　Any key ends the game");
  open_menu({"旅程终点", "The journey's end", lines, {}, 0}, {}, [] { display::CLOSEWIN(); });
}

// ---- Settings ----

namespace {

std::string yes_no(bool yes) { return yes ? "yes" : "no"; }

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text.empty() ? "-" : text;
}

std::array<std::vector<std::string>*, 5> actions_of(Bindings& b) {
  return {&b.left, &b.right, &b.jump, &b.restart, &b.pause};
}

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::optional<Session::Choice> Session::settings_choice(std::function<void()> back) {
  if (!settings_ || !platform_) return std::nullopt;
  return Choice{{"设置", "Settings"}, [this, back = std::move(back)] {
                  settings_back_ = back;
                  settings_menu(0, {});
                }};
}

// Every setting on one screen: choosing one moves it to its next value and
// saves the file at once; choosing an action waits for its new key.
void Session::settings_menu(std::size_t selected, std::vector<std::string> lines) {
  const Settings& s = settings_->settings();
  if (lines.empty()) {
    if (!settings_->unsaved().empty()) lines.push_back(settings_->unsaved());
    for (std::size_t i = 0; i < settings_->problems().size() && i < 3; ++i) lines.push_back(settings_->problems()[i]);
    lines.emplace_back("画面的设置下次启动时生效　The picture's settings apply at the next start");
  }
  auto change = [this](std::size_t at, std::function<void(Settings&)> edit) {
    return [this, at, edit = std::move(edit)] {
      Settings n = settings_->settings();
      edit(n);
      apply_settings(n);
      settings_menu(at, {});
    };
  };
  std::vector<Choice> choices{
      {{"缩放：" + std::string(s.fit ? "铺满" : "整数倍"), "Scale: " + std::string(s.fit ? "fit" : "integer")},
       change(0, [](Settings& n) { n.fit = !n.fit; })},
      {{"全屏：" + std::string(s.fullscreen ? "是" : "否"), "Full screen: " + yes_no(s.fullscreen)},
       change(1, [](Settings& n) { n.fullscreen = !n.fullscreen; })},
      {{"窗口倍数：" + (s.window_scale ? std::to_string(s.window_scale) : "自动"),
        "Window scale: " + (s.window_scale ? std::to_string(s.window_scale) : "auto")},
       change(2, [](Settings& n) { n.window_scale = (n.window_scale + 1) % 9; })},
      {{"指南：" + std::string(s.guide ? "开" : "关"), "Guide: " + yes_no(s.guide)},
       change(3, [](Settings& n) { n.guide = !n.guide; })},
      {{"速度：" + std::to_string(s.speed) + "%", "Speed: " + std::to_string(s.speed) + "%"},
       change(4, [](Settings& n) { n.speed = n.speed <= 40 ? 100 : n.speed - 20; })},
      {{"音量：" + std::to_string(s.volume), "Volume: " + std::to_string(s.volume)},
       change(5, [](Settings& n) { n.volume = n.volume >= 100 ? 0 : std::min<std::uint32_t>(n.volume + 10, 100); })}};
  Settings shown = s;
  const std::array<std::vector<std::string>*, 5> keys = actions_of(shown.keys), buttons = actions_of(shown.buttons);
  const std::array<const char*, 5> zh{"左", "右", "跳", "重来", "暂停"},
      en{"Left", "Right", "Jump", "Restart", "Pause"};
  for (std::size_t a = 0; a < keys.size(); ++a)
    choices.push_back({{zh[a] + std::string("：") + joined(*keys[a]) + " / " + joined(*buttons[a]),
                        en[a] + std::string(": ") + joined(*keys[a]) + " / " + joined(*buttons[a])},
                       [this, a] {
                         settings_menu(6 + a, {"按下新的键或手柄按钮；Esc 取消",
                                               "Press the new key or controller button; Escape cancels"});
                         capture_ = a;
                       }});
  choices.push_back({{"恢复默认", "Defaults"}, change(11, [](Settings& n) { n = default_settings(); })});
  choices.push_back({{"返回", "Back"}, settings_back_});
  open_menu({"设置", "Settings", std::move(lines), {}, selected}, std::move(choices), settings_back_);
}

// The file is saved at once; the game takes what it can in play (keys, the
// guide, the speed), the picture waits for the next start.
void Session::apply_settings(const Settings& s) {
  std::string why;
  if (!settings_->save(s, why)) std::fprintf(stderr, "tervalon: %s\n", why.c_str());
  o_.guide = s.guide;
  o_.pace = s.speed;
  pace_ = s.speed / 100.0;
  platform_->bind(s);
  if (platform_->volume) platform_->volume(s.volume);
}

// The key or button pressed to be the action's first; it leaves any other
// action it had.
void Session::rebind(const display::MSG& m) {
  const std::size_t action = *capture_;
  capture_.reset();
  const std::int32_t pressed = pressed_key(m.LPARAM);
  const std::string name = m.WPARAM == K_ESC || !pressed ? "" : platform_->name_of(pressed);
  if (!name.empty()) {
    Settings n = settings_->settings();
    const bool button = pressed >= K_PAD_A && pressed <= K_PAD_GUIDE;
    const std::array<std::vector<std::string>*, 5> lists = actions_of(button ? n.buttons : n.keys);
    for (std::vector<std::string>* l : lists)
      std::erase_if(*l, [&](const std::string& o) { return same_name(o, name); });
    std::vector<std::string>& l = *lists[action];
    l.insert(l.begin(), name);
    if (l.size() > 3) l.resize(3);
    apply_settings(n);
  }
  settings_menu(6 + action, {});
}

}  // namespace

int play(Game& g, const Options& o, SettingsFile* settings, const Platform* platform) {
  return Session(g, o, settings, platform).run();
}

}  // namespace tervalon
