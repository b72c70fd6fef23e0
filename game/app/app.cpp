// The app's step: what runs is decided here, between frames; the screens and
// the run being played do the rest.
#include "game/app/app.h"

#include <algorithm>
#include <cstdio>

#include "base/keys.h"
#include "base/stop.h"
#include "display/clock.h"
#include "display/window.h"
#include "game/app/menus.h"
#include "game/app/settings_screen.h"
#include "game/app/words.h"
#include "game/replay/playback.h"
#include "game/rules/level_start.h"
#include "game/rules/rules.h"
#include "game/view/window_setup.h"

namespace tervalon {

using namespace base::keys;

namespace {

// The game ended as it should but its recording could not be written whole.
constexpr int RECORDING_INCOMPLETE = 3;

// How long a new best is shown, in frames.
constexpr std::uint64_t NOTE_FRAMES = 180;

// How long the first start's welcome stays unless a key goes on.
constexpr double WELCOME_SECONDS = 8;

std::vector<std::string> with(std::vector<std::string> lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

// A recording says how fast it was played; it plays back the same at any
// speed.
std::string speed_note(std::uint32_t speed) {
  return speed == 100 ? "" : "# played at " + std::to_string(speed) + "% speed";
}

void note_speed(Run& r, std::uint32_t speed) {
  if (speed != 100) r.rec.note(speed_note(speed));
}

}  // namespace

App::App(std::unique_ptr<Game> g, const Options& o, SettingsFile* settings, const Platform* platform,
         std::function<double()> now)
    : o_(o),
      settings_(platform ? settings : nullptr),
      platform_(platform ? *platform : Platform{}),
      now_(now ? std::move(now) : [] { return display::GETTIMER(); }),
      initial_(std::make_unique<Game>(*g)),
      journey_(std::move(g), now_),
      player_(journey_.g, journey_.rec, [this] { seen(journey_); }),
      playing_(v_, now_, [this](Run& r) { return seen(r); }) {
  playing_.set_speed(o_.speed);
  playing_.set_guide(o_.guide);
  playing_.set_goal(o_.goal);
  playing_.set_assists([this] { return Assists{muted_, 100, practice_ != nullptr}; });
  v_.palette = o_.palette;
  v_.text = o_.text;
}

bool App::start() {
  if (!player_.read(o_.play, o_.play_speed) || !journey_.rec.open(o_.record)) return false;
  Game& g = journey_.g;
  INITWIN(g, v_, o_.scale, o_.fullscreen, o_.fit);
  INITLV(g);
  if (platform_.mute) {
    platform_.volume(o_.volume);
    platform_.mute(muted_ = o_.mute);
  }
  *initial_ = g;
  journey_.heard = event_state(g);  // the level's start is no event
  seen(journey_);
  fed_ = player_.playing();
  const bool first = settings_ && settings_->created() && o_.play.empty();
  if (!keeper_.open(g, !o_.play.empty())) {
    journey_.rec.begin();
    note_speed(journey_, o_.speed);
    if (o_.play.empty()) offer_progress({});
  } else {
    loading_ = std::make_unique<Loading>(journey_, *initial_, keeper_, [this](Run& r) { return notice(r, false); });
    if (!loading_->start()) {
      loading_.reset();
      new_journey();
      offer_progress({});
    }
  }
  // The first start says what the game is and which keys play it.
  if (first && !loading_ && screens_.empty()) {
    open(welcome(keys_line(settings_->settings())), Answer::none);
    screens_.back().closes_at = now_() + WELCOME_SECONDS;
  }
  return true;
}

App::Turn App::step() {
  display::pump_events();
  // A signal or a lost display: end as Escape does, recording included.
  if (base::stop_requested() || !display::ISWIN()) over_ = true;
  if (over_) return {true, 0};
  const double now = now_();
  Turn t{false, now};
  if (loading_) {
    if (loading_->step()) {
      loaded();
      return t;
    }
    // Escape ends the game at once, the save untouched.
    while (display::ISNEXTMSG())
      if (display::MS.MESSAGE == WM_KEYDOWN && display::MS.WPARAM == K_ESC) return {over_ = true, now};
    loading_->draw(v_, display::GETTIME());
    return t;
  }
  if (player_.playing()) return play_scripts();
  Run& r = practice_ ? *practice_ : journey_;
  if (std::exchange(fed_, false)) playing_.resume(r, false);  // the next frame is due 1/60 s after the played one
  if (!screens_.empty()) return menu_step(now);
  for (Answer a = playing_.turn(r); a.kind != Answer::none; a = playing_.turn(practice_ ? *practice_ : journey_)) {
    apply(a);
    if (over_ || !screens_.empty()) break;
  }
  keeper_.say_unkept_bests();
  if (journey_.rec.files().trouble() != trouble_) {
    trouble_ = journey_.rec.files().trouble();
    display::SETTITLE(trouble_.empty() ? "Tervalon" : "Tervalon: " + trouble_);
  }
  if (over_ || !screens_.empty()) return {over_, now};
  return {false, playing_.wake(practice_ ? *practice_ : journey_)};
}

// No frame runs while a screen is open: its messages are its own, but for
// the key-ups of the game's keys, so that a key let go in a menu is not held
// on afterwards.
App::Turn App::menu_step(double now) {
  while (!screens_.empty() && !over_ && display::ISNEXTMSG()) {
    const display::MSG m = display::MS;
    Run& r = practice_ ? *practice_ : journey_;
    if (m.MESSAGE == WM_KEYUP && (m.WPARAM == K_LEFT || m.WPARAM == K_RIGHT || m.WPARAM == K_UP)) {
      if ((m.WPARAM == K_LEFT && r.g.KL) || (m.WPARAM == K_RIGHT && r.g.KR) || (m.WPARAM == K_UP && r.g.KU)) {
        r.rec.message(m.MESSAGE, m.WPARAM);
        handle_message(r.g, m.MESSAGE, m.WPARAM);
      }
      continue;
    }
    if (const Answer a = screens_.back().screen->message(m, r.g); a.kind != Answer::none) apply(a);
  }
  if (!screens_.empty() && screens_.back().closes_at > 0 && now >= screens_.back().closes_at) apply({Answer::back});
  if (over_ || screens_.empty()) return {over_, now};
  screens_.back().screen->draw(practice_ ? practice_->g : journey_.g, v_);
  const double closes = screens_.back().closes_at;
  return {false, closes > 0 ? std::min(now + 0.1, closes) : now + 0.1};
}

// What a screen or the run answered, between frames.
void App::apply(const Answer& a) {
  Run& r = practice_ ? *practice_ : journey_;
  switch (a.kind) {
    case Answer::none: return;
    case Answer::resume: screens_.clear(); break;
    case Answer::go_on:
      screens_.clear();
      keeper_.go_on(journey_);
      hold_keys(journey_, false, false, false);  // the keys held when it was left are not
      break;
    case Answer::ask_new_journey:
      open(std::make_unique<MenuScreen>(confirm_new_journey(journey_.log.current(), journey_.g.FRAME)),
           Answer::ask_new_journey);
      return;
    case Answer::new_journey:
      screens_.clear();
      new_journey();
      break;
    case Answer::restart_level:
      screens_.clear();
      playing_.restart_level(r);
      break;
    case Answer::pause_menu:
      open(std::make_unique<MenuScreen>(
               pause_menu(practice_ != nullptr, settings_ != nullptr,
                          settings_ ? keys_line(settings_->settings()) : keys_line(default_settings()))),
           Answer::pause_menu);
      return;
    case Answer::practice_menu:
      open(std::make_unique<MenuScreen>(practice_menu(reached(), keeper_.bests(), {})), Answer::practice_menu);
      return;
    case Answer::practice: start_practice(a.entry); break;
    case Answer::leave_practice: return leave_practice();
    case Answer::settings:
      open(std::make_unique<SettingsScreen>(*settings_, platform_,
                                            [this](const Settings& s) {
                                              o_.guide = s.guide;
                                              o_.speed = s.speed;
                                              playing_.set_guide(s.guide);
                                              playing_.set_goal(s.goal);
                                              playing_.set_speed(s.speed);
                                              Options shown;  // the picture's colours and text change at once
                                              take_settings(shown, s);
                                              v_.palette = shown.palette;
                                              v_.text = shown.text;
                                            }),
           Answer::settings);
      return;
    case Answer::back:
      if (screens_.empty()) {  // Escape in play
        if (practice_) return leave_practice();
        over_ = true;
        return;
      }
      screens_.pop_back();
      // The pause menu shows the keys as they are bound now.
      if (!screens_.empty() && screens_.back().kind == Answer::pause_menu) {
        screens_.pop_back();
        apply({Answer::pause_menu});
      }
      if (!screens_.empty()) return;
      break;
    case Answer::mute:
      if (platform_.mute) platform_.mute(muted_ = !muted_);
      return;
    case Answer::ended:
      if (practice_) return leave_practice();
      finished_ = true;
      keeper_.progress().finish(journey_.g.FRAME);
      if (platform_.sound) platform_.sound(static_cast<std::uint32_t>(Sound::journey_end));
      open(std::make_unique<MenuScreen>(ending(journey_, keeper_.bests())), Answer::ended);
      return;
    case Answer::quit: over_ = true; return;
  }
  // Play goes on from the frame shown, as if no time had passed.
  if (!over_ && screens_.empty()) playing_.resume(practice_ ? *practice_ : journey_);
}

void App::open(std::unique_ptr<Screen> s, Answer::Kind kind) { screens_.push_back({std::move(s), kind}); }

// One playback is over: the journey goes on, or begins anew, and the start
// menu says where it is.
void App::loaded() {
  const Loading::Outcome o = loading_->outcome();
  loading_.reset();
  if (o.kind == Loading::Outcome::fresh) {
    new_journey();
    return offer_progress({});
  }
  std::vector<std::string> lines = o.lines;
  const bool resumable = o.kind == Loading::Outcome::go_on;
  if (resumable) {
    journey_.rec.continue_from(o.text, initial_->FRAME);
    journey_.rec.mark(o.entered);
    note_speed(journey_, o_.speed);
    keeper_.adopt(o.adopted);
    const Entry& at = journey_.log.current();
    const std::string time = play_time(journey_.g.FRAME);
    if (at.level == 0 && journey_.log.reached().size() > 1) {  // home again: only the end cell is left
      lines.push_back("上次已经回到起点，用时 " + time + "；红色的终点格结束旅程");
      lines.push_back("You were home at the hub, " + time + " played; the red end cell ends the journey");
    } else {
      lines.push_back("上次到了" + level_zh(at) + "，用时 " + time);
      lines.push_back("You were at " + level_en(at) + ", " + time + " played");
    }
    // A save from before progress was kept beside it gives what it reached.
    for (const Entry& e : journey_.log.reached())
      if (!keeper_.progress().has(e)) {
        std::string text = o.text;
        split_at_frame(text, e.frame - initial_->FRAME);
        keeper_.progress().reach(e, std::move(text));
      }
    if (settings_) lines = with(std::move(lines), settings_trouble(*settings_));
    open(std::make_unique<MenuScreen>(start_menu(lines, true, !reached().empty(), settings_ != nullptr)), Answer::none);
    return;
  }
  offer_progress(std::move(lines));
}

// No journey goes on: a new one is being played, and the start menu comes
// first when there is something to say or to practise.
void App::offer_progress(std::vector<std::string> lines) {
  if (const std::uint64_t done = keeper_.progress().finished(); done > 0 && lines.empty()) {
    lines.push_back("上次的旅程已经走完，用时 " + play_time(done) + "。");
    lines.push_back("Your last journey was finished in " + play_time(done) + ".");
  }
  const std::vector<std::string> trouble = settings_ ? settings_trouble(*settings_) : std::vector<std::string>{};
  if (lines.empty() && reached().empty()) {
    // Nothing to choose: play begins, and the settings' trouble is said over it.
    std::string note;
    for (const std::string& line : trouble) note += (note.empty() ? "" : "　") + line;
    if (!note.empty()) playing_.note(note, journey_.g.FRAME + NOTE_FRAMES);
    return;
  }
  open(std::make_unique<MenuScreen>(
           start_menu(with(std::move(lines), trouble), false, !reached().empty(), settings_ != nullptr)),
       Answer::none);
}

// Every level and pass ever reached on this level file, the journey's own
// included, in the journey's order.
std::vector<Entry> App::reached() const {
  std::vector<Entry> all;
  for (const Entry& e : keeper_.progress().reached()) all.push_back(e);
  for (const Entry& e : journey_.log.reached())
    if (e.level > 0 && std::find(all.begin(), all.end(), e) == all.end()) all.push_back(e);
  std::sort(all.begin(), all.end(), journey_order);
  return all;
}

// --play scripts feed the game instead of the keyboard; of the window's
// messages only Escape counts (it quits).
App::Turn App::play_scripts() {
  if (display::ISNEXTMSG() && display::MS.MESSAGE == WM_KEYDOWN && display::MS.WPARAM == K_ESC)
    return {over_ = true, 0};
  const double now = now_();
  const Player::Turn t = player_.step(static_cast<std::uint64_t>(now * 1000.0));
  using Picture = Player::Turn::Picture;
  if (t.picture == Picture::show) DRAWALL(journey_.g, v_);
  if (t.picture == Picture::compose) compose_frame(journey_.g, v_);
  if (t.picture == Picture::show_last) display::FRESHWIN();
  if (!t.mismatch.empty()) display::SETTITLE("Tervalon: " + t.mismatch);
  over_ = t.ended;
  return {over_, t.due_ms / 1000.0};
}

// Sounds come from what the state did, never from inside the rules; a saved
// run being played back is silent.
JourneyLog::Event App::notice(Run& r, bool sounds) {
  const EventState now = event_state(r.g);
  if (const std::uint32_t events = events_between(r.heard, now, false); events && sounds && platform_.sound)
    for (std::uint32_t i = 0; i < SOUND_COUNT; ++i)
      if (events >> i & 1) platform_.sound(i);
  r.heard = now;
  const JourneyLog::Event e = r.log.see(r.g);
  if (e == JourneyLog::Event::entered) {
    if (r.entry)
      *r.entry = r.g;
    else
      r.entry = std::make_unique<Game>(r.g);
    r.rec.mark();
  }
  return e;
}

// A level left through its exit (or home) may be a best; a practice is then over.
Answer App::seen(Run& r) {
  const JourneyLog::Event event = notice(r, true);
  if (event == JourneyLog::Event::entered && &r == &journey_) keeper_.progress().reach(r.log.current(), r.rec.text());
  if (event != JourneyLog::Event::left) return {};
  const Entry& at = r.log.current();
  std::string result;
  // Runs played with the cheat marker or slower than full speed, and games
  // whose bests cannot be kept, set none.
  if (at.level > 0) {
    const std::uint64_t frames = r.log.left_frames(), before = keeper_.bests().best(at.level, at.pass);
    const bool best = !r.g.CHEAT && keeper_.keeps() && o_.speed == 100 &&
                      keeper_.bests().offer(at.level, at.pass, frames, r.rec.text());
    if (best) playing_.note("新纪录 New best: " + level_en(at) + ", " + seconds(frames), r.g.FRAME + NOTE_FRAMES);
    result = (best ? "新纪录 New best! " : "") + level_zh(at) + " " + seconds(frames) + "　" + level_en(at) + ": " +
             seconds(frames) + (before ? ", best before " + seconds(before) : "");
  }
  if (&r == &journey_) return {};
  practice_result_ = result;
  return {Answer::leave_practice};
}

// A journey that was played is kept aside as a recording, never replaced:
// a new one is never more than two keys away, and neither is the old one.
void App::new_journey() {
  const bool played = journey_.g.FRAME > initial_->FRAME;
  journey_.g = *initial_;
  journey_.log = JourneyLog();
  journey_.heard = event_state(journey_.g);
  seen(journey_);
  keeper_.begin(journey_, played, speed_note(o_.speed), std::exchange(finished_, false) ? "finished" : "replaced");
}

// Practice plays the journey's text up to the level's entry on a fresh copy
// of the game, without touching the journey's save.
void App::start_practice(const Entry& e) {
  auto game = std::make_unique<Game>(*initial_);
  const auto here = std::find(journey_.log.reached().begin(), journey_.log.reached().end(), e);
  std::string text, why;
  if (here != journey_.log.reached().end()) {
    text = journey_.rec.text();
    play_through(*game, text, here->frame);
  } else if (!keeper_.progress().recording(e, text, why) || !play_through(*game, text).ok || game->BDLV != e.level ||
             game->GSIT != e.pass || game->PAUSE != 0) {
    const std::string said = level_zh(e) + "无法练习。　" + level_en(e) +
                             " cannot be practised: " + (why.empty() ? "what reached it does not play here" : why) +
                             ".";
    screens_.pop_back();
    open(std::make_unique<MenuScreen>(practice_menu(reached(), keeper_.bests(), {said})), Answer::practice_menu);
    return;
  }
  split_at_frame(text, game->FRAME - initial_->FRAME);
  practice_ = std::make_unique<Run>(std::move(game));
  practice_->rec.continue_from(std::move(text), initial_->FRAME);
  note_speed(*practice_, o_.speed);
  practice_->rec.note("# practice of " + level_en(e));
  seen(*practice_);
  // The menus it was chosen from come back when it ends.
  practice_screens_ = std::move(screens_);
  practice_screens_.pop_back();
  screens_.clear();
}

void App::leave_practice() {
  playing_.note("", 0);  // a practice's note says nothing of the journey
  practice_.reset();
  screens_ = std::move(practice_screens_);
  practice_screens_.clear();
  std::vector<std::string> lines;
  if (!practice_result_.empty()) lines.push_back(std::exchange(practice_result_, ""));
  open(std::make_unique<MenuScreen>(practice_menu(reached(), keeper_.bests(), lines)), Answer::practice_menu);
}

int App::finish() {
  // The window goes at once; a lost display is not touched again.
  if (!base::stop_requested()) display::CLOSEWIN();
  practice_.reset();
  journey_.rec.end();
  keeper_.bests().flush();
  keeper_.progress().flush();
  keeper_.say_unkept_bests();
  if (finished_ && keeper_.keeps()) keeper_.keep_finished();
  if (base::stop_requested()) base::end_as_asked();
  return journey_.rec.files().complete() ? 0 : RECORDING_INCOMPLETE;
}

}  // namespace tervalon
